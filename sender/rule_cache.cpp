#include "sender/rule_cache.h"

namespace fromsel {

std::unique_ptr<RuleCache> MatcherCache::CopyForAssignment() const {
  auto copy = std::make_unique<MatcherCache>();
  copy->expandedPatterns = expandedPatterns;
  copy->literalForms = literalForms;
  copy->expansionRefused = expansionRefused;
  return copy;
}

std::string RuleCompileError(const AddressRule& rule) {
  const MatcherCache* cache = FindMatcherCache(rule);
  if (!cache || !cache->compiledRule) return std::string();
  return cache->compiledRule->errorText;
}

}  // namespace fromsel
