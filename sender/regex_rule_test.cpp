#include "sender/regex_rule.h"

#include <gtest/gtest.h>

#include <string>

#include "rules/address_rule.h"
#include "sender/rule_cache.h"
#include "sender/rule_match.h"

namespace fromsel {
namespace {

// Registers of one test, with the case table the plug-in installs at start.
class Registers : public regex::RegexRegistersOwner {
 public:
  Registers() { regex::InstallCaseTable(); }
};

AddressRule RegexRule(const std::string& pattern, const std::string& address = "") {
  AddressRule rule;
  rule.regex = true;
  rule.pattern = pattern;
  rule.address = address;
  return rule;
}

// The rule's compiled pattern, or null before its first test.
const CompiledRule* CompiledOf(const AddressRule& rule) {
  const MatcherCache* cache = FindMatcherCache(rule);
  return cache ? cache->compiledRule.get() : nullptr;
}

struct RuleCase {
  const char* pattern;
  const char* address;
  bool matches;
};

class RegexRuleCases : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RegexRuleCases, MatchesTheWholeAddressIgnoringCase) {
  const RuleCase& c = GetParam();
  AddressRule rule = RegexRule(c.pattern);
  Registers registers;
  EXPECT_EQ(RuleMatches(rule, c.address, registers.get()), c.matches)
      << "/" << c.pattern << "/ " << c.address;
}

INSTANTIATE_TEST_SUITE_P(
    Anchored, RegexRuleCases,
    ::testing::Values(RuleCase{"me", "me", true}, RuleCase{"me", "ME", true},
                      RuleCase{"me", "me@example.com", false},
                      RuleCase{"me", "xme", false},
                      RuleCase{"a|b", "a", true}, RuleCase{"a|b", "b", true},
                      RuleCase{"a|b", "ab", false},
                      RuleCase{".*@example\\.(com|org)", "Me@Example.ORG", true},
                      RuleCase{".*@example\\.(com|org)", "me@example.org.evil", false},
                      // $ is the text end: a trailing newline is not skipped.
                      RuleCase{"me", "me\n", false},
                      RuleCase{"", "", true}, RuleCase{"", "a", false},
                      RuleCase{"(", "(", false}, RuleCase{"[", "[", false}));

TEST(RegexRule, CompilesOnceAndRemembersAFailure) {
  Registers registers;
  AddressRule good = RegexRule("[a-z]+@example\\.com");
  ASSERT_TRUE(RuleMatches(good, "a@example.com", registers.get()));
  const CompiledRule* compiled = CompiledOf(good);
  ASSERT_NE(compiled, nullptr);
  EXPECT_TRUE(compiled->errorText.empty());
  for (const char* address : {"b@example.com", "x@y", "zz@example.com"})
    RuleMatches(good, address, registers.get());
  EXPECT_EQ(CompiledOf(good), compiled);

  AddressRule bad = RegexRule("(unbalanced");
  EXPECT_FALSE(RuleMatches(bad, "(unbalanced", registers.get()));
  ASSERT_NE(CompiledOf(bad), nullptr);
  EXPECT_EQ(CompiledOf(bad)->errorText, "unmatched (");
  const CompiledRule* failed = CompiledOf(bad);
  EXPECT_FALSE(RuleMatches(bad, "anything", registers.get()));
  EXPECT_EQ(CompiledOf(bad), failed);
}

TEST(RegexRule, CardinalityErrorCountsTheWrapper) {
  Registers registers;
  AddressRule rule = RegexRule("*a");
  EXPECT_FALSE(RuleMatches(rule, "a", registers.get()));
  ASSERT_NE(CompiledOf(rule), nullptr);
  EXPECT_EQ(CompiledOf(rule)->errorText,
            "invalid regular expression; there's no previous pattern, to which '*' would "
            "define cardinality at 5");
}

TEST(RegexRule, RunawayPatternCountsAsNoMatch) {
  Registers registers;
  AddressRule rule = RegexRule("(a+)+b");
  EXPECT_FALSE(RuleMatches(rule, std::string(30, 'a'), registers.get()));
  EXPECT_TRUE(RuleMatches(rule, "aab", registers.get()));
}

TEST(RegexRule, FillsTheRegistersOnAMatch) {
  Registers registers;
  AddressRule rule = RegexRule("(.+)@(example)\\.org");
  ASSERT_TRUE(RuleMatches(rule, "news@example.org", registers.get()));
  EXPECT_EQ(registers.get().registerCount, 3);
  EXPECT_EQ(registers.get().startOffsets[1], 0);
  EXPECT_EQ(registers.get().endOffsets[1], 4);
  EXPECT_EQ(registers.get().startOffsets[2], 5);
  EXPECT_EQ(registers.get().endOffsets[0], 16);
}

TEST(RegexRule, CopiesStartWithoutTheCompiledPattern) {
  Registers registers;
  AddressRule rule = RegexRule("x");
  ASSERT_TRUE(RuleMatches(rule, "X", registers.get()));
  AddressRule copy(rule);
  EXPECT_EQ(CompiledOf(copy), nullptr);
  EXPECT_TRUE(RuleMatches(copy, "x", registers.get()));
  EXPECT_NE(CompiledOf(copy), CompiledOf(rule));
}

struct TemplateCase {
  const char* pattern;
  const char* address;
  const char* templateText;
  const char* expected;
};

class ExpandTemplateCases : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(ExpandTemplateCases, ReplacesTheBackslashPairs) {
  const TemplateCase& c = GetParam();
  AddressRule rule = RegexRule(c.pattern);
  Registers registers;
  ASSERT_TRUE(RuleMatches(rule, c.address, registers.get())) << c.pattern;
  EXPECT_EQ(ExpandTemplate(c.templateText, c.address, registers.get()), c.expected)
      << c.templateText;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ExpandTemplateCases,
    ::testing::Values(
        TemplateCase{"(.+)@example\\.org", "news@example.org", "me+\\1@example.net",
                     "me+news@example.net"},
        TemplateCase{"(.+)@example\\.org", "news@example.org", "a\\2b", "ab"},
        TemplateCase{"(.+)@example\\.org", "news@example.org", "a\\3b", "a\\3b"},
        TemplateCase{"(.+)@example\\.org", "news@example.org", "\\9", "\\9"},
        TemplateCase{"(x)?(.+)", "abc", "[\\1][\\2]", "[][abc]"},
        TemplateCase{".*", "a@b", "<\\&>", "<a@b>"},
        TemplateCase{".*", "a@b", "\\\\1", "\\1"},
        TemplateCase{".*", "a@b", "\\x\\", "\\x\\"},
        TemplateCase{".*", "a@b", "\\0", "\\0"},
        TemplateCase{".*", "a@b", "", ""},
        TemplateCase{"(a)(b)(c)(d)(e)(f)(g)(h)(i)", "abcdefghi", "\\9\\1", "ia"}));

TEST(ExpandTemplate, EmptyRegistersGiveNoGroupText) {
  regex::RegexRegisters none;
  EXPECT_EQ(ExpandTemplate("\\1|\\2|\\&", "addr", none), "\\1|\\2|addr");
}

}  // namespace
}  // namespace fromsel
