#include "sender/rule_match.h"

namespace fromsel {

bool RuleMatches(AddressRule& rule, const std::string& address, regex::RegexRegisters& registers) {
  if (rule.regex) return RegexRuleMatches(rule, address, registers);
  return WildcardRuleMatches(rule, address);
}

}  // namespace fromsel
