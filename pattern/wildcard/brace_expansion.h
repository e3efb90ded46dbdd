// Expansion of {a,b} alternatives in wildcard patterns.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fromsel {

// A pattern expanding to more entries than this expands to none, so that a
// hostile pattern cannot exhaust the host's memory.
inline constexpr std::size_t MaxBraceExpansions = 4096;

// Entries times pattern length (what the entries could take at most) above
// this expands to none as well: a very long pattern with many alternatives
// would otherwise fill a 32-bit host's memory and take seconds to build.
inline constexpr std::size_t MaxBraceExpansionBytes = 16 * 1024 * 1024;

// Appends every brace-free pattern of `pattern` to `list`, first group
// varying slowest. Appends nothing when CountBraceExpansions is above
// MaxBraceExpansions.
void ExpandBraces(const std::string& pattern, std::vector<std::string>& list);

// The exact number of entries ExpandBraces would produce, saturating just
// above MaxBraceExpansions; a pattern refused for MaxBraceExpansionBytes
// also counts as MaxBraceExpansions + 1.
std::size_t CountBraceExpansions(const std::string& pattern);

}  // namespace fromsel
