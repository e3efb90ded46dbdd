// Does a rule's pattern match a candidate address?
#pragma once

#include <cstdint>
#include <string>

#include "pattern/regex/match.h"
#include "pattern/work_budget.h"
#include "rules/address_rule.h"

namespace fromsel {

// The rule work one reply may do, in steps (pattern/work_budget.h), for
// every address and every rule it tests: about 50 ms on the machine the
// benchmarks run on, whatever the message and the rules, which leaves the
// rest of a reply's 100 ms to reading a header of up to 10 MiB. Ordinary
// replies use a small fraction of it (rewrite_test.cpp measures it).
inline constexpr std::int64_t ReplyWorkBudget = 10'000'000;

// How one rule test ended. Every outcome but Match answers no; the others
// say why, for `fromsel try --explain`.
enum class RuleOutcome {
  Match,
  NoMatch,
  CompileError,    // a regular expression that does not compile never matches
  OverBraceLimit,  // a wildcard pattern that expands beyond the limits never matches
  WorkBoundReached,  // the reply's work bound ran out before or during the test
};

// The branches of a rule test, each telling why it answered no: the
// wildcard branch (the cache's expandedPatterns filled once, first matching
// entry wins) and the regular-expression branch (compiled once as
// ^(?:pattern)$ with RuleRegexOptions, kept in the cache). A test during
// which the budget runs out ends in WorkBoundReached unless it matched; a
// budget spent before the test is TestRule's to see.
RuleOutcome WildcardRuleOutcome(AddressRule& rule, const std::string& address, WorkBudget& budget);
RuleOutcome RegexRuleOutcome(AddressRule& rule, const std::string& address,
                             regex::RegexRegisters& registers, WorkBudget& budget);

// The outcome of a branch that answered no for `reason`: the bound, if the
// budget ran out during the test.
inline RuleOutcome MissOutcome(const WorkBudget& budget, RuleOutcome reason) {
  return budget.spent() ? RuleOutcome::WorkBoundReached : reason;
}

// Fills the rule's caches on first use, charging the work of the test (the
// first test's expansion or compilation too) to `budget`, except one read
// of the address, which the caller charges (ApplyRules does so for all the
// rules of an address at once). A spent budget makes the outcome
// WorkBoundReached, and so does a test during which it runs out. Only
// regular-expression rules touch the registers (filled on a match).
// Inline: a reply makes one call per rule per address.
inline RuleOutcome TestRule(AddressRule& rule, const std::string& address,
                            regex::RegexRegisters& registers, WorkBudget& budget) {
  if (budget.spent()) return RuleOutcome::WorkBoundReached;
  if (rule.regex) return RegexRuleOutcome(rule, address, registers, budget);
  return WildcardRuleOutcome(rule, address, budget);
}

// TestRule answered yes.
inline bool RuleMatches(AddressRule& rule, const std::string& address,
                        regex::RegexRegisters& registers, WorkBudget& budget) {
  return TestRule(rule, address, registers, budget) == RuleOutcome::Match;
}
// The same with a budget of its own (ReplyWorkBudget).
inline bool RuleMatches(AddressRule& rule, const std::string& address,
                        regex::RegexRegisters& registers) {
  WorkBudget budget{ReplyWorkBudget};
  return RuleMatches(rule, address, registers, budget);
}

// The wildcard branch alone, answering yes or no, with a budget of its own
// (ReplyWorkBudget).
inline bool WildcardRuleMatches(AddressRule& rule, const std::string& address) {
  WorkBudget budget{ReplyWorkBudget};
  return WildcardRuleOutcome(rule, address, budget) == RuleOutcome::Match;
}

}  // namespace fromsel
