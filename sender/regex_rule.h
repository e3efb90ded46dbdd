// Regular-expression rules: the compiled holder kept in a rule's cache,
// and the expansion of \& and \1..\9 in a rule's address.
#pragma once

#include <cstdint>
#include <string>

#include "pattern/regex/match.h"
#include "pattern/regex/program.h"

namespace fromsel {

// Option word of rule matching: letters match either case, and ^ and $
// stand for the ends of the address alone.
inline constexpr std::uint32_t RuleRegexOptions = regex::IgnoreCase | regex::SingleLine;
// Option word of the settings dialog's test compilation.
inline constexpr std::uint32_t DialogRegexOptions = regex::IgnoreCase;

struct CompiledRule {
  regex::RegexProgramOwner program;  // null when memory could not be had
  std::string errorText;             // empty when compiled

  CompiledRule(const std::string& pattern, std::uint32_t options);
  CompiledRule(const CompiledRule&) = delete;
  CompiledRule& operator=(const CompiledRule&) = delete;
};

// The pattern text rule matching compiles: ^(?: pattern )$
std::string RuleRegexText(const std::string& pattern);

// The template with \\ (a backslash), \& (the matched address) and \1..\9
// (group texts from the registers of the match; empty when unset or one
// past the groups, kept as written beyond that) replaced; any other
// backslash is kept as it stands.
std::string ExpandTemplate(const std::string& templateText, const std::string& matchedAddress,
                           const regex::RegexRegisters& registers);

}  // namespace fromsel
