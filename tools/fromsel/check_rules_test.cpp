#include "tools/fromsel/check_rules.h"

#include <gtest/gtest.h>

#include "pattern/regex/program.h"
#include "pattern/wildcard/brace_expansion.h"

namespace fromsel::cli {
namespace {

TEST(CheckRules, UnmatchedBraceAsExpansionSeesIt) {
  const struct {
    const char* pattern;
    bool unmatched;
  } cases[] = {
      {"", false},         {"abc", false},      {"{a,b}", false},   {"{a,{b,c}}x", false},
      {"a}b,c", false},    {"}{a}", false},     {"{a,b", true},     {"[{]", true},
      {"\\{a", true},      {"{a,b}{", true},    {"{{a}", true},     {"}{", true},
      {"{a}}{b", true},    {"x{}", false},
  };
  for (const auto& c : cases) EXPECT_EQ(HasUnmatchedBrace(c.pattern), c.unmatched) << c.pattern;
}

AddressRule Rule(bool regex, std::string pattern, std::string name = "",
                 std::string address = "") {
  AddressRule rule;
  rule.regex = regex;
  rule.pattern = std::move(pattern);
  rule.name = std::move(name);
  rule.address = std::move(address);
  return rule;
}

std::string Joined(const std::vector<RuleProblem>& problems) {
  std::string text;
  for (const RuleProblem& problem : problems) {
    text += problem.text + "|";
    EXPECT_FALSE(problem.todo.empty()) << problem.text;  // every problem says what to do
  }
  return text;
}

TEST(CheckRules, SoundRulesHaveNoProblem) {
  regex::InstallCaseTable();
  for (const AddressRule& rule :
       {Rule(false, "*@{example.com,example.org}", "Me", "me@example.com"),
        Rule(true, "(.+)@lists\\.example\\.org", "", "me+\\1@example.net"),
        Rule(true, "a|b"), Rule(false, "[!]a")}) {
    EXPECT_EQ(Joined(RuleProblems(rule)), "") << rule.pattern;
  }
}

TEST(CheckRules, EachProblemIsNamed) {
  regex::InstallCaseTable();
  // 13 groups of two alternatives: 8192 patterns.
  std::string wide;
  for (int i = 0; i < 13; ++i) wide += "{a,b}";
  ASSERT_GT(CountBraceExpansions(wide), MaxBraceExpansions);
  // 4096 patterns of 5 KiB each: 20 MiB.
  const std::string longAndWide = wide.substr(0, 12 * 5) + std::string(5000, 'x');
  ASSERT_GT(CountBraceExpansions(longAndWide), MaxBraceExpansions);
  const char* kBeyondLimit =
      "wildcard pattern expands beyond the limit of 4096 patterns or 16 MiB and never matches|";
  const struct {
    AddressRule rule;
    const char* problems;
  } cases[] = {
      {Rule(false, ""), "empty pattern|"},
      {Rule(true, ""), "empty pattern|"},
      {Rule(false, "{a,b"), "unmatched { in wildcard pattern|"},
      {Rule(false, wide), kBeyondLimit},
      {Rule(false, longAndWide), kBeyondLimit},
      {Rule(true, "x\\{"), ""},  // brace counting is for wildcard patterns only
      {Rule(false, "a\tb"), "pattern holds a TAB|"},
      {Rule(false, "*", "Me\r"), "name holds a CR|"},
      {Rule(false, "*", "", std::string("me\0x", 4)), "address holds a NUL byte|"},
      {Rule(false, "*", "", "a\r\n\t"), "address holds a TAB|address holds a CR|address holds an LF|"},
      {Rule(false, "", "\t"), "empty pattern|name holds a TAB|"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Joined(RuleProblems(c.rule)), c.problems) << c.rule.pattern;
}

TEST(CheckRules, RegexCompiledInItsRuleFormWithTheCompilerText) {
  regex::InstallCaseTable();
  const std::string unbalanced = Joined(RuleProblems(Rule(true, "(a")));
  EXPECT_EQ(unbalanced.rfind("regular expression does not compile: ", 0), 0u) << unbalanced;
  // A pattern that closes the wrapper's group is wrong only in its rule form.
  const std::string closing = Joined(RuleProblems(Rule(true, "a)")));
  EXPECT_EQ(closing.rfind("regular expression does not compile: ", 0), 0u) << closing;
}

}  // namespace
}  // namespace fromsel::cli
