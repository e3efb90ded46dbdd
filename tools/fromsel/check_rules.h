// What `fromsel check` finds in one rule: things that make a rule silently
// never match, or that the settings file cannot hold, each with what to do.
#pragma once

#include <string>
#include <vector>

#include "rules/address_rule.h"

namespace fromsel::cli {

// One problem of a rule: what is wrong, and what to do about it.
struct RuleProblem {
  std::string text;
  std::string todo;
};

// True when some `{` of the pattern has no matching `}`. Braces are counted
// as brace expansion counts them: backslashes and brackets do not protect.
bool HasUnmatchedBrace(const std::string& pattern);

// Problems of the rule, in a fixed order; empty when none.
std::vector<RuleProblem> RuleProblems(const AddressRule& rule);

// The compiler's text for a rule's pattern as its author can use it: a
// position counted from the pattern as written (not from the ^(?: that
// rules add), and a hint when the pattern looks like a wildcard pattern.
std::string CompileErrorForAuthor(const std::string& pattern, const std::string& errorText);

// True when the rule surely matches every address a reply offers: a
// wildcard pattern with an entry of stars alone, or a regular expression
// that is only "any text" (.* or .+, perhaps in a group or anchored).
bool MatchesEveryAddress(const AddressRule& rule);

}  // namespace fromsel::cli
