// Does a rule's pattern match a candidate address?
#pragma once

#include <string>

#include "pattern/regex/match.h"
#include "rules/address_rule.h"

namespace fromsel {

// Fills the rule's caches on first use. Only regular-expression rules touch
// the registers (filled on a match).
bool RuleMatches(AddressRule& rule, const std::string& address, regex::RegexRegisters& registers);

// The wildcard branch: the cache's expandedPatterns filled once, first
// matching entry wins.
bool WildcardRuleMatches(AddressRule& rule, const std::string& address);

// The regular-expression branch: compiled once as ^(?:pattern)$ with
// RuleRegexOptions, kept in the cache.
bool RegexRuleMatches(AddressRule& rule, const std::string& address,
                      regex::RegexRegisters& registers);

}  // namespace fromsel
