#include "sender/rule_match.h"

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

}  // namespace fromsel
