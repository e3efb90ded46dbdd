#include "rules/address_rule.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace fromsel {
namespace {

// A cache as rule matching might keep one: `taken` is what an assigned
// rule takes over, `kept` what stays behind (a compiled program).
struct ProbeCache final : RuleCache {
  int taken = 0;
  int kept = 0;
  std::unique_ptr<RuleCache> CopyForAssignment() const override {
    auto copy = std::make_unique<ProbeCache>();
    copy->taken = taken;
    return copy;
  }
};

const ProbeCache* ProbeOf(const AddressRule& rule) {
  return static_cast<const ProbeCache*>(rule.cache.get());
}

AddressRule RuleWithCache(int taken = 2, int kept = 7) {
  AddressRule rule;
  rule.regex = true;
  rule.verp = true;
  rule.pattern = "a{b,c}";
  rule.name = "N";
  rule.address = "x@y";
  auto cache = std::make_unique<ProbeCache>();
  cache->taken = taken;
  cache->kept = kept;
  rule.cache = std::move(cache);
  return rule;
}

TEST(AddressRule, CopyStartsWithoutCaches) {
  const AddressRule original = RuleWithCache();
  const AddressRule copy(original);
  EXPECT_TRUE(SameRule(copy, original));
  EXPECT_EQ(copy.cache, nullptr);
}

TEST(AddressRule, AssignmentTakesOnlyWhatTheCacheHandsOver) {
  const AddressRule source = RuleWithCache(2, 7);
  AddressRule target = RuleWithCache(5, 9);
  target.pattern = "other";
  target = source;
  EXPECT_TRUE(SameRule(target, source));
  ASSERT_NE(target.cache, nullptr);
  EXPECT_NE(target.cache, source.cache);
  EXPECT_EQ(ProbeOf(target)->taken, 2);
  EXPECT_EQ(ProbeOf(target)->kept, 0);
}

TEST(AddressRule, AssignmentFromARuleWithoutCacheDropsTheTargets) {
  const AddressRule source;
  AddressRule target = RuleWithCache();
  target = source;
  EXPECT_TRUE(SameRule(target, source));
  EXPECT_EQ(target.cache, nullptr);
}

TEST(AddressRule, SelfAssignmentChangesNothing) {
  AddressRule rule = RuleWithCache(2, 7);
  const RuleCache* cache = rule.cache.get();
  const AddressRule& same = rule;
  rule = same;
  EXPECT_EQ(rule.cache.get(), cache);
  EXPECT_EQ(ProbeOf(rule)->taken, 2);
  EXPECT_EQ(ProbeOf(rule)->kept, 7);
}

TEST(AddressRule, ListsCopyRulesWithoutCaches) {
  std::vector<AddressRule> rules(1);
  rules[0] = RuleWithCache();
  const std::vector<AddressRule> copy = rules;
  EXPECT_EQ(copy[0].cache, nullptr);
}

}  // namespace
}  // namespace fromsel
