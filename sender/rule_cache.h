// What rule matching keeps in a rule between tests (AddressRule::cache):
// for a wildcard rule the brace expansion of its pattern with a literal form
// per entry, for a regular-expression rule its compiled program. All of it
// is derived from the pattern alone and filled at the rule's first test.
#pragma once

#include <cassert>
#include <memory>
#include <string>
#include <vector>

#include "pattern/wildcard/literal_form.h"
#include "rules/address_rule.h"
#include "sender/regex_rule.h"

namespace fromsel {

struct MatcherCache final : RuleCache {
  std::vector<std::string> expandedPatterns;  // empty: not expanded (or refused)
  // The pattern expands to more entries than the limit: it never matches.
  bool expansionRefused = false;
  // One per expandedPatterns entry, filled with it; cleared by whoever
  // changes that list.
  std::vector<LiteralForm> literalForms;
  // Made at the first regular-expression test, kept whether or not the
  // pattern compiled.
  std::unique_ptr<CompiledRule> compiledRule;

  // The expansion and its literal forms, without the compiled program.
  std::unique_ptr<RuleCache> CopyForAssignment() const override;
};

// The rule's cache, made empty at its first use. Rule matching is the only
// maker of rule caches, so a rule's cache is always a MatcherCache. Inline:
// every rule test asks for it.
inline MatcherCache& MatcherCacheOf(AddressRule& rule) {
  if (!rule.cache) rule.cache = std::make_unique<MatcherCache>();
  assert(dynamic_cast<MatcherCache*>(rule.cache.get()) != nullptr);
  return static_cast<MatcherCache&>(*rule.cache);
}

// The rule's cache, or null before its first test.
inline const MatcherCache* FindMatcherCache(const AddressRule& rule) {
  assert(!rule.cache || dynamic_cast<const MatcherCache*>(rule.cache.get()) != nullptr);
  return static_cast<const MatcherCache*>(rule.cache.get());
}

// The compiler's text for a regular-expression rule whose pattern did not
// compile; empty when it compiled or has not been tested yet.
std::string RuleCompileError(const AddressRule& rule);

}  // namespace fromsel
