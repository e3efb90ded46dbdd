#include "sender/rule_cache.h"

#include <cassert>

namespace fromsel {

std::unique_ptr<RuleCache> MatcherCache::CopyForAssignment() const {
  auto copy = std::make_unique<MatcherCache>();
  copy->expandedPatterns = expandedPatterns;
  copy->literalForms = literalForms;
  return copy;
}

MatcherCache& MatcherCacheOf(AddressRule& rule) {
  if (!rule.cache) rule.cache = std::make_unique<MatcherCache>();
  assert(dynamic_cast<MatcherCache*>(rule.cache.get()) != nullptr);
  return static_cast<MatcherCache&>(*rule.cache);
}

const MatcherCache* FindMatcherCache(const AddressRule& rule) {
  assert(!rule.cache || dynamic_cast<const MatcherCache*>(rule.cache.get()) != nullptr);
  return static_cast<const MatcherCache*>(rule.cache.get());
}

std::string RuleCompileError(const AddressRule& rule) {
  const MatcherCache* cache = FindMatcherCache(rule);
  if (!cache || !cache->compiledRule) return std::string();
  return cache->compiledRule->errorText;
}

}  // namespace fromsel
