#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pattern/wildcard/brace_expansion.h"
#include "pattern/wildcard/wildcard.h"
#include "rules/address_rule.h"
#include "sender/rule_cache.h"
#include "sender/rule_match.h"

namespace fromsel {
namespace {

AddressRule WildcardRule(const std::string& pattern) {
  AddressRule rule;
  rule.pattern = pattern;
  return rule;
}

struct RuleCase {
  const char* pattern;
  const char* address;
  bool matches;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
  *os << "'" << c.pattern << "' vs '" << c.address << "'";
}

class WildcardRuleCases : public ::testing::TestWithParam<RuleCase> {};

TEST_P(WildcardRuleCases, MatchesWholeAddressIgnoringCase) {
  AddressRule rule = WildcardRule(GetParam().pattern);
  EXPECT_EQ(WildcardRuleMatches(rule, GetParam().address), GetParam().matches);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, WildcardRuleCases,
    ::testing::Values(RuleCase{"*@{example.com,example.org}", "Me@Example.ORG", true},
                      RuleCase{"*@{example.com,example.org}", "me@example.net", false},
                      RuleCase{"*", "anyone@example.com", true},
                      RuleCase{"*", ".dot@example.com", false},
                      RuleCase{"me", "me@example.com", false},
                      RuleCase{"{a,b", "{a,b", true},
                      RuleCase{"", "", true}, RuleCase{"", "a", false}));

TEST(WildcardRule, ExpandsOnlyOnce) {
  AddressRule rule = WildcardRule("{a,b}@example.com");
  EXPECT_TRUE(WildcardRuleMatches(rule, "b@example.com"));
  MatcherCache& cache = MatcherCacheOf(rule);
  ASSERT_EQ(cache.expandedPatterns, (std::vector<std::string>{"a@example.com", "b@example.com"}));
  // A filled cache is used as it stands; the pattern is not read again.
  cache.expandedPatterns = {"c@example.com"};
  cache.literalForms.clear();
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(WildcardRuleMatches(rule, "a@example.com"));
    EXPECT_TRUE(WildcardRuleMatches(rule, "C@example.com"));
  }
  EXPECT_EQ(&MatcherCacheOf(rule), &cache);
  EXPECT_EQ(cache.expandedPatterns, std::vector<std::string>{"c@example.com"});
}

TEST(WildcardRule, TooManyAlternativesNeverMatch) {
  std::string pattern;
  for (int i = 0; i < 13; ++i) pattern += "{a,b}";
  AddressRule rule = WildcardRule(pattern);
  for (int i = 0; i < 2; ++i) {
    EXPECT_FALSE(WildcardRuleMatches(rule, std::string(13, 'a')));
    EXPECT_TRUE(MatcherCacheOf(rule).expandedPatterns.empty());
    // The refusal is kept, so later addresses do not count the pattern again.
    EXPECT_TRUE(MatcherCacheOf(rule).expansionRefused);
  }
  // A copy starts without a cache and refuses by itself; an assigned rule
  // takes the refusal over.
  AddressRule copy(rule);
  EXPECT_FALSE(WildcardRuleMatches(copy, std::string(13, 'a')));
  AddressRule assigned;
  assigned = rule;
  ASSERT_NE(FindMatcherCache(assigned), nullptr);
  EXPECT_TRUE(FindMatcherCache(assigned)->expansionRefused);
  EXPECT_FALSE(WildcardRuleMatches(assigned, std::string(13, 'a')));
}

TEST(WildcardRule, LeavesTheRegistersAlone) {
  int starts[2] = {3, 4};
  int ends[2] = {5, 6};
  regex::RegexRegisters registers;
  registers.allocatedCount = 2;
  registers.registerCount = 2;
  registers.startOffsets = starts;
  registers.endOffsets = ends;
  AddressRule rule = WildcardRule("*@example.com");
  EXPECT_TRUE(RuleMatches(rule, "me@example.com", registers));
  EXPECT_FALSE(RuleMatches(rule, "me@example.org", registers));
  EXPECT_EQ(registers.allocatedCount, 2);
  EXPECT_EQ(registers.registerCount, 2);
  EXPECT_EQ(registers.startOffsets, starts);
  EXPECT_EQ(registers.endOffsets, ends);
  EXPECT_EQ(starts[0] + starts[1] + ends[0] + ends[1], 3 + 4 + 5 + 6);
}

// The rule has a cache with a literal form for each expanded entry.
void ExpectFormPerEntry(const AddressRule& rule) {
  const MatcherCache* cache = FindMatcherCache(rule);
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(cache->literalForms.size(), cache->expandedPatterns.size());
}

// Rules mixing literal, star-literal and general entries decide as the
// wildcard matcher does entry by entry, on the rule, a copy (caches empty)
// and an assigned rule (caches taken along).
TEST(WildcardRule, LiteralEntriesDecideAsTheMatcher) {
  const std::vector<std::string> patterns = {
      "me@example.com", "*@Example.com", "{me,*}@example.{com,org}", "*.org", "*",
      "{*@x.net,a?@x.net,b@x.net}", "{,*}"};
  const std::vector<std::string> addresses = {
      "me@example.com", "ME@EXAMPLE.ORG", ".me@example.com", "a1@x.net", "B@X.NET",
      "@example.com", "x.org", ".org", "", "me@example.co"};
  for (const std::string& pattern : patterns) {
    AddressRule rule = WildcardRule(pattern);
    for (const std::string& address : addresses) {
      std::vector<std::string> entries;
      ExpandBraces(pattern, entries);
      bool expected = false;
      for (const std::string& entry : entries) expected = expected || WildcardMatches(entry, address);
      EXPECT_EQ(WildcardRuleMatches(rule, address), expected) << pattern << " vs " << address;
      AddressRule copy(rule);
      EXPECT_EQ(copy.cache, nullptr);
      EXPECT_EQ(WildcardRuleMatches(copy, address), expected) << pattern << " vs " << address;
      AddressRule assigned;
      assigned = rule;
      ExpectFormPerEntry(assigned);
      EXPECT_EQ(WildcardRuleMatches(assigned, address), expected) << pattern << " vs " << address;
    }
    ExpectFormPerEntry(rule);
  }
}

}  // namespace
}  // namespace fromsel
