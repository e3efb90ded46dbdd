#include "pattern/wildcard/brace_expansion.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace fromsel {
namespace {

using List = std::vector<std::string>;

List Expand(const std::string& pattern) {
  List list;
  ExpandBraces(pattern, list);
  return list;
}

struct ExpansionCase {
  const char* pattern;
  List expected;
};

void PrintTo(const ExpansionCase& c, std::ostream* os) { *os << "'" << c.pattern << "'"; }

class BraceCases : public ::testing::TestWithParam<ExpansionCase> {};

TEST_P(BraceCases, ExpandsInOrder) {
  const ExpansionCase& c = GetParam();
  EXPECT_EQ(Expand(c.pattern), c.expected) << c.pattern;
  EXPECT_EQ(CountBraceExpansions(c.pattern), c.expected.size()) << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Groups, BraceCases,
    ::testing::Values(ExpansionCase{"abc", {"abc"}}, ExpansionCase{"", {""}},
                      ExpansionCase{"{a,b}{c,d}", {"ac", "ad", "bc", "bd"}},
                      ExpansionCase{"{a,{b,c}}x", {"ax", "bx", "cx"}},
                      ExpansionCase{"{a,{b,{c,d}}}", {"a", "b", "c", "d"}},
                      ExpansionCase{"x{,y}", {"x", "xy"}}, ExpansionCase{"a{}b", {"ab"}},
                      ExpansionCase{"{a,}", {"a", ""}}, ExpansionCase{"{a,a}", {"a", "a"}},
                      ExpansionCase{"a}b,c", {"a}b,c"}},
                      ExpansionCase{"\\{a,b}", {"\\a", "\\b"}},
                      ExpansionCase{"[{a,b}]", {"[a]", "[b]"}},
                      ExpansionCase{"{x,{a,b}{c,d}}", {"x", "ac", "ad", "bc", "bd"}},
                      ExpansionCase{"*@{example.com,example.org}",
                                    {"*@example.com", "*@example.org"}}));

INSTANTIATE_TEST_SUITE_P(
    UnmatchedOpeners, BraceCases,
    ::testing::Values(ExpansionCase{"{a,b", {"{a,b"}}, ExpansionCase{"[{]", {"[{]"}},
                      ExpansionCase{"{c{a,b}", {"{ca", "{cb"}},
                      ExpansionCase{"{a,b}{c", {"a{c", "b{c"}},
                      ExpansionCase{"{{a,b}", {"{a", "{b"}},
                      ExpansionCase{"{x{a,b}{", {"{xa{", "{xb{"}}));

TEST(ExpandBraces, AppendsWithoutClearing) {
  List list{"kept"};
  ExpandBraces("{a,b}", list);
  EXPECT_EQ(list, (List{"kept", "a", "b"}));
}

TEST(ExpandBraces, LongPatternExpandsLikeAShortOne) {
  const std::string padding(300, 'p');
  EXPECT_EQ(Expand(padding + "{a,b}" + padding),
            (List{padding + "a" + padding, padding + "b" + padding}));
  EXPECT_EQ(Expand(padding), List{padding});
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(ExpandBraces, StopsAtTheLimit) {
  // 2^12 = 4096 entries is allowed, 2^13 is not.
  const std::string allowed = Repeat("{a,b}", 12);
  EXPECT_EQ(CountBraceExpansions(allowed), 4096u);
  const List entries = Expand(allowed);
  ASSERT_EQ(entries.size(), 4096u);
  EXPECT_EQ(entries.front(), std::string(12, 'a'));
  EXPECT_EQ(entries.back(), std::string(12, 'b'));

  const std::string refused = Repeat("{a,b}", 13);
  EXPECT_EQ(CountBraceExpansions(refused), MaxBraceExpansions + 1);
  List list{"kept"};
  ExpandBraces(refused, list);
  EXPECT_EQ(list, List{"kept"});

  // Saturation must not wrap around however many groups follow.
  EXPECT_EQ(CountBraceExpansions(Repeat("{a,b,c,d}", 200)), MaxBraceExpansions + 1);
  // Nested alternatives count what they expand to: 1 + 64 * 64.
  EXPECT_EQ(CountBraceExpansions("{x," + Repeat("{a,b}", 6) + Repeat("{a,b}", 6) + "}"), 4097u);
}

TEST(ExpandBraces, LongPatternsWithManyEntriesAreRefused) {
  // 2048 entries of up to 5000 bytes fit within the byte limit, 4096 do not.
  const std::string halfPadding(5000 - 11 * 5, 'p');
  EXPECT_EQ(Expand(Repeat("{a,b}", 11) + halfPadding).size(), 2048u);
  const std::string padding(5000 - 12 * 5, 'p');
  EXPECT_EQ(CountBraceExpansions(Repeat("{a,b}", 12) + padding), MaxBraceExpansions + 1);
  EXPECT_TRUE(Expand(Repeat("{a,b}", 12) + padding).empty());
}

TEST(ExpandBraces, DeepNestingNeedsNoRecursion) {
  const int depth = 200000;
  const std::string nested = std::string(depth, '{') + "a,b" + std::string(depth, '}');
  EXPECT_EQ(CountBraceExpansions(nested), 2u);
  EXPECT_EQ(Expand(nested), (List{"a", "b"}));
  const std::string unclosed(depth, '{');
  EXPECT_EQ(Expand(unclosed), List{unclosed});
  const std::string manySingles = Repeat("{a}", 50000);
  EXPECT_EQ(Expand(manySingles), List{std::string(50000, 'a')});
}

// The expansion written out as a recursion over strings: find the first
// '{' whose nesting count returns to zero, split at its own commas, expand
// prefix + alternative + suffix again.
void ReferenceExpand(const std::string& pattern, List& out) {
  for (std::size_t open = 0; open < pattern.size(); ++open) {
    if (pattern[open] != '{') continue;
    int depth = 0;
    std::vector<std::size_t> commas;
    std::size_t close = std::string::npos;
    for (std::size_t i = open; i < pattern.size(); ++i) {
      if (pattern[i] == '{') ++depth;
      if (pattern[i] == '}' && --depth == 0) {
        close = i;
        break;
      }
      if (pattern[i] == ',' && depth == 1) commas.push_back(i);
    }
    if (close == std::string::npos) continue;  // plain text: look further
    commas.push_back(close);
    std::size_t start = open + 1;
    for (std::size_t end : commas) {
      ReferenceExpand(pattern.substr(0, open) + pattern.substr(start, end - start) +
                          pattern.substr(close + 1),
                      out);
      start = end + 1;
    }
    return;
  }
  out.push_back(pattern);
}

TEST(ExpandBraces, AgreesWithTheRecursiveExpansion) {
  const std::string alphabet = "{{}},,ab";
  std::mt19937 random(42);
  std::uniform_int_distribution<std::size_t> size(0, 14);
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  for (int i = 0; i < 50000; ++i) {
    std::string pattern;
    for (std::size_t n = size(random); n > 0; --n) pattern.push_back(alphabet[pick(random)]);
    List expected;
    ReferenceExpand(pattern, expected);
    ASSERT_EQ(Expand(pattern), expected) << pattern;
    ASSERT_EQ(CountBraceExpansions(pattern), expected.size()) << pattern;
  }
}

}  // namespace
}  // namespace fromsel
