// Expansion of {a,b} alternatives in wildcard patterns.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace fromsel {

// A pattern expanding to more entries than this expands to none, so that a
// hostile pattern cannot exhaust the host's memory.
inline constexpr std::size_t MaxBraceExpansions = 4096;

// Appends every brace-free pattern of `pattern` to `list`, first group
// varying slowest. Appends nothing when the count is above the limit.
void ExpandBraces(const std::string& pattern, std::vector<std::string>& list);

// The exact number of entries ExpandBraces would produce, saturating just
// above MaxBraceExpansions.
std::size_t CountBraceExpansions(const std::string& pattern);

}  // namespace fromsel
