#include "sender/rule_cache.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace fromsel {
namespace {

// A rule as after its first wildcard and regular-expression tests: an
// expansion with its literal forms, and a compiled program.
AddressRule RuleWithCaches() {
  AddressRule rule;
  rule.pattern = "a{b,c}";
  rule.address = "x@y";
  MatcherCache& cache = MatcherCacheOf(rule);
  cache.expandedPatterns = {"ab", "ac"};
  cache.literalForms = {FindLiteralForm("ab"), FindLiteralForm("ac")};
  cache.compiledRule = std::make_unique<CompiledRule>("^(?:a)$", RuleRegexOptions);
  return rule;
}

TEST(MatcherCache, CopyStartsWithoutCaches) {
  const AddressRule original = RuleWithCaches();
  const AddressRule copy(original);
  EXPECT_TRUE(SameRule(copy, original));
  EXPECT_EQ(FindMatcherCache(copy), nullptr);
}

TEST(MatcherCache, AssignmentTakesExpansionButNeverCompiledRule) {
  const AddressRule source = RuleWithCaches();
  AddressRule target = RuleWithCaches();
  target.pattern = "other";
  target = source;
  EXPECT_TRUE(SameRule(target, source));
  const MatcherCache* cache = FindMatcherCache(target);
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache->expandedPatterns, FindMatcherCache(source)->expandedPatterns);
  EXPECT_EQ(cache->literalForms.size(), 2u);
  EXPECT_EQ(cache->compiledRule, nullptr);
  EXPECT_NE(FindMatcherCache(source)->compiledRule, nullptr);
}

TEST(MatcherCache, SelfAssignmentChangesNothing) {
  AddressRule rule = RuleWithCaches();
  const CompiledRule* compiled = FindMatcherCache(rule)->compiledRule.get();
  const AddressRule& same = rule;
  rule = same;
  EXPECT_EQ(FindMatcherCache(rule)->compiledRule.get(), compiled);
  EXPECT_EQ(FindMatcherCache(rule)->expandedPatterns.size(), 2u);
}

TEST(MatcherCache, ListsCopyRulesWithoutCaches) {
  std::vector<AddressRule> rules(1);
  rules[0] = RuleWithCaches();
  ASSERT_NE(FindMatcherCache(rules[0]), nullptr);
  const std::vector<AddressRule> copy = rules;
  EXPECT_EQ(FindMatcherCache(copy[0]), nullptr);
}

TEST(MatcherCache, MadeOnceAtFirstUse) {
  AddressRule rule;
  EXPECT_EQ(FindMatcherCache(rule), nullptr);
  MatcherCache& cache = MatcherCacheOf(rule);
  EXPECT_EQ(&MatcherCacheOf(rule), &cache);
  EXPECT_EQ(FindMatcherCache(rule), &cache);
}

}  // namespace
}  // namespace fromsel
