#include "rules/address_rule.h"

#include <gtest/gtest.h>

#include <vector>

#include "sender/regex_rule.h"

namespace fromsel {
namespace {

AddressRule RuleWithCaches() {
  AddressRule rule;
  rule.regex = true;
  rule.verp = true;
  rule.pattern = "a{b,c}";
  rule.name = "N";
  rule.address = "x@y";
  rule.expandedPatterns = {"ab", "ac"};
  rule.compiledRule.reset(new CompiledRule("^(?:a)$", RuleRegexOptions));
  return rule;
}

TEST(AddressRule, CopyStartsWithoutCaches) {
  const AddressRule original = RuleWithCaches();
  const AddressRule copy(original);
  EXPECT_TRUE(SameRule(copy, original));
  EXPECT_TRUE(copy.expandedPatterns.empty());
  EXPECT_EQ(copy.compiledRule, nullptr);
}

TEST(AddressRule, AssignmentTakesExpansionButNeverCompiledRule) {
  const AddressRule source = RuleWithCaches();
  AddressRule target = RuleWithCaches();
  target.pattern = "other";
  target = source;
  EXPECT_TRUE(SameRule(target, source));
  EXPECT_EQ(target.expandedPatterns, source.expandedPatterns);
  EXPECT_EQ(target.compiledRule, nullptr);
}

TEST(AddressRule, SelfAssignmentChangesNothing) {
  AddressRule rule = RuleWithCaches();
  rule.compiledRule.reset(new CompiledRule("^(?:a)$", RuleRegexOptions));
  const CompiledRule* compiled = rule.compiledRule.get();
  const AddressRule& same = rule;
  rule = same;
  EXPECT_EQ(rule.compiledRule.get(), compiled);
  EXPECT_EQ(rule.expandedPatterns.size(), 2u);
}

TEST(AddressRule, ListsCopyRulesWithoutCaches) {
  std::vector<AddressRule> rules(1);
  rules[0] = RuleWithCaches();
  const std::vector<AddressRule> copy = rules;
  EXPECT_TRUE(copy[0].expandedPatterns.empty());
}

}  // namespace
}  // namespace fromsel
