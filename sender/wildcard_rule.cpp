#include "pattern/wildcard/brace_expansion.h"
#include "pattern/wildcard/wildcard.h"
#include "sender/rule_match.h"

namespace fromsel {

bool WildcardRuleMatches(AddressRule& rule, const std::string& address) {
  // An empty cache means "not expanded yet" or "expansion refused"; the
  // latter costs only a count to refuse again.
  if (rule.expandedPatterns.empty()) ExpandBraces(rule.pattern, rule.expandedPatterns);
  for (const std::string& entry : rule.expandedPatterns) {
    if (WildcardMatches(entry, address)) return true;
  }
  return false;
}

}  // namespace fromsel
