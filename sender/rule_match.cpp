#include "sender/rule_match.h"

#include "sender/rule_cache.h"

namespace fromsel {

bool RuleMatches(AddressRule& rule, const std::string& address, regex::RegexRegisters& registers,
                 WorkBudget& budget) {
  if (budget.spent()) return false;
  if (rule.regex) return RegexRuleMatches(rule, address, registers, budget);
  return WildcardRuleMatches(rule, address, budget);
}

bool WildcardRuleMatches(AddressRule& rule, const std::string& address) {
  WorkBudget budget{ReplyWorkBudget};
  return WildcardRuleMatches(rule, address, budget);
}

bool RegexRuleMatches(AddressRule& rule, const std::string& address,
                      regex::RegexRegisters& registers) {
  WorkBudget budget{ReplyWorkBudget};
  return RegexRuleMatches(rule, address, registers, budget);
}

RuleOutcome TestRule(AddressRule& rule, const std::string& address,
                     regex::RegexRegisters& registers, WorkBudget& budget) {
  if (RuleMatches(rule, address, registers, budget)) return RuleOutcome::Match;
  if (budget.spent()) return RuleOutcome::WorkBoundReached;
  // The first test filled the cache; what it holds tells why the rule is
  // inert. Read in place: every miss of every reply comes this way.
  const MatcherCache* cache = FindMatcherCache(rule);
  if (!cache) return RuleOutcome::NoMatch;
  if (rule.regex && cache->compiledRule && !cache->compiledRule->errorText.empty())
    return RuleOutcome::CompileError;
  if (!rule.regex && cache->expansionRefused) return RuleOutcome::OverBraceLimit;
  return RuleOutcome::NoMatch;
}

}  // namespace fromsel
