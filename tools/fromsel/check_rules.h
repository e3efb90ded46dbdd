// The problems `fromsel check` finds in one rule: things that make a rule
// silently never match, or that the settings file cannot hold.
#pragma once

#include <string>
#include <vector>

#include "rules/address_rule.h"

namespace fromsel::cli {

// True when some `{` of the pattern has no matching `}`. Braces are counted
// as brace expansion counts them: backslashes and brackets do not protect.
bool HasUnmatchedBrace(const std::string& pattern);

// One text per problem of the rule, in a fixed order; empty when none.
std::vector<std::string> RuleProblems(const AddressRule& rule);

}  // namespace fromsel::cli
