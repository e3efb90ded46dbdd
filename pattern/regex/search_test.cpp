#include "pattern/regex/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "pattern/regex/compile.h"
#include "pattern/regex/search_aids.h"

namespace fromsel::regex {
namespace {

class Program {
 public:
  Program(const std::string& pattern, std::uint32_t options) : program_(options) {
    InstallCaseTable();
    error_ = CompileRegex(pattern.data(), pattern.size(), *program_);
  }

  bool ok() const { return error_ == nullptr; }
  RegexProgram& get() { return *program_; }
  int Search(const std::string& subject, int start, int range) {
    return SearchRegex(*program_, subject.data(), static_cast<int>(subject.size()), start, range,
                       nullptr);
  }
  int Search(const std::string& subject) {
    return Search(subject, 0, static_cast<int>(subject.size()));
  }

 private:
  RegexProgramOwner program_;
  const char* error_ = nullptr;
};

struct SearchCase {
  const char* pattern;
  std::uint32_t options;
  std::string subject;
  int start;
  int range;  // -1: to the end of the subject
  int expected;
};

class SearchCases : public ::testing::TestWithParam<SearchCase> {};

TEST_P(SearchCases, FindsTheFirstMatchingPosition) {
  const SearchCase& c = GetParam();
  Program program(c.pattern, c.options);
  ASSERT_TRUE(program.ok()) << c.pattern;
  const int size = static_cast<int>(c.subject.size());
  const int range = c.range < 0 ? size - c.start : c.range;
  EXPECT_EQ(program.Search(c.subject, c.start, range), c.expected)
      << "/" << c.pattern << "/ on \"" << c.subject << "\" from " << c.start;
}

INSTANTIATE_TEST_SUITE_P(
    Aids, SearchCases,
    ::testing::Values(
        // Start outside the subject.
        SearchCase{"a", 0, "aaa", -1, 1, -1},
        SearchCase{"a", 0, "aaa", 4, 0, -1},
        // Start at the end: tried only when the program can match empty and
        // is not anchored.
        SearchCase{"a", 0, "aaa", 3, 2, -1},
        SearchCase{"a*", 0, "bbb", 3, 2, 3},
        SearchCase{"^", 0, "ab\n", 3, 2, -1},
        // Text-start programs are tried once, at 0.
        SearchCase{"\\Aa", 0, "aa", 1, 1, -1},
        SearchCase{"\\Aa", 0, "aa", 0, 2, 0},
        SearchCase{"\\Ab", 0, "ab", 0, 2, -1},
        SearchCase{"\\Aa", 0, "aa", 1, 0, -1},
        // A leading .* is no text-start anchor, SingleLine or not: its dot
        // stops at a newline, and a later start may match on its own.
        SearchCase{".*b", SingleLine, "a\nb", 0, 3, 2},
        SearchCase{".*b", SingleLine, "ab", 1, 1, 1},
        SearchCase{".*b", DotMatchesNewline, "a\nb", 0, 3, 0},
        SearchCase{".*b", DotMatchesNewline, "a\nc", 0, 3, -1},
        SearchCase{".*", SingleLine, "ab", 2, 1, 2},
        SearchCase{".*", 0, "a", 1, 1, 1},
        // \G holds at the start of every attempt.
        SearchCase{"a|\\Gb", 0, "xb", 0, -1, 1},
        SearchCase{"\\Ga", 0, "xa", 1, 1, 1},
        // Line-anchored search jumps from line to line.
        SearchCase{"^b", 0, "a\nab\nb", 0, -1, 5},
        SearchCase{".*b", 0, "a\nab", 0, -1, 2},
        // Required literal: absent, after the start, with escapes, folded.
        SearchCase{"abc", 0, "xxabxabc", 0, -1, 5},
        SearchCase{"x[0-9]+yz", 0, "x1y x22yz", 0, -1, 4},
        SearchCase{"hello", 0, "help", 0, -1, -1},
        SearchCase{"\\x41\\x42", 0, "xxABab", 0, -1, 2},
        SearchCase{"\\x41\\x42", 1, "xxabAB", 0, -1, 4},
        SearchCase{"XY(?i)z", 0, "aXYz", 0, -1, 1},
        SearchCase{"XY(?i)z", 0, "aXYZ", 0, -1, 1},
        SearchCase{"AB", 1, "xxab", 0, -1, 2},
        // Fastmap and leading set.
        SearchCase{"[0-9]+", 0, "abc123", 0, -1, 3},
        SearchCase{"[a-z]*1", 0, "abc abc1", 0, -1, 4},
        SearchCase{"[^a]*z", 0, "aabz", 0, -1, 2},
        SearchCase{"[a-z]*(?i:1)", 0, "aB1", 0, -1, 2},
        // A back-reference sees where the leading loop began.
        SearchCase{"([a-c]+)(\\Ba)(\\1)", IgnoreCase, "abbbbbab", 0, -1, 5},
        SearchCase{"(.*)x\\1", 0, "abxb", 0, -1, 1},
        SearchCase{"(?i)b", 0, "aaB", 0, -1, 2},
        // Case-sensitive parts: the fastmap neither folds them nor misses
        // them when the search looks bytes up folded.
        SearchCase{"(?-i:A.)|b{2,}", 0, "aaaA1a", 0, -1, 3},
        SearchCase{"(?-i:A)", IgnoreCase, "aaA", 0, -1, 2},
        SearchCase{"(?-i:A)|(?i:q)", 0, "aaA", 0, -1, 2},
        SearchCase{"x*$", 0, "ab\n", 0, -1, 2},
        SearchCase{"\\w+", 0, "--ab", 0, -1, 2},
        SearchCase{"\\W", 0, "ab-", 0, -1, 2},
        SearchCase{"(a)\\1|z", 0, "xaa", 0, -1, 1},
        // Range limits the positions tried, not the bytes read.
        SearchCase{"ab", 0, "xxab", 0, 1, -1},
        SearchCase{"ab", 0, "xxab", 0, 2, 2},
        SearchCase{"b", 0, "ab", 1, 0, 1},
        SearchCase{"b", 0, "ab", 0, 0, -1},
        // Empty programs match at the start.
        SearchCase{"", 0, "abc", 0, -1, 0},
        SearchCase{"", 0, "abc", 2, -1, 2},
        SearchCase{"^(?:)$", SingleLine | IgnoreCase, "", 0, 0, 0}));

TEST(CompileFastmap, MarksTheBytesThatCanBeginAMatch) {
  Program program("[b-c]x|d", 0);
  CompileFastmap(program.get());
  EXPECT_EQ(program.get().fastmapValid, 1);
  EXPECT_EQ(program.get().canMatchEmpty, EmptyMatch::Never);
  std::string marked;
  for (int c = 0; c < 256; ++c)
    if (program.get().fastmap[c]) marked += static_cast<char>(c);
  EXPECT_EQ(marked, "bcd");
}

TEST(CompileFastmap, CanMatchEmptyFlags) {
  struct Case {
    const char* pattern;
    std::uint32_t options;
    EmptyMatch expected;
  };
  constexpr EmptyMatch never = EmptyMatch::Never;
  constexpr EmptyMatch possible = EmptyMatch::Possible;
  for (const Case& c : {Case{"a", 0, never}, Case{"a*", 0, possible}, Case{"a?b", 0, never},
                        Case{"$", 0, EmptyMatch::OnlyBeforeFastmapByte},
                        Case{"$", SingleLine, possible}, Case{"", 0, possible},
                        Case{"(a)\\1", 0, never}, Case{"\\1", 0, possible}}) {
    Program program(c.pattern, c.options);
    CompileFastmap(program.get());
    EXPECT_EQ(program.get().canMatchEmpty, c.expected) << c.pattern;
  }
}

TEST(CompileFastmap, FoldsUnderIgnoreCaseAndNotesInlineCaseChanges) {
  Program folded("B", IgnoreCase);
  CompileFastmap(folded.get());
  EXPECT_TRUE(folded.get().fastmap[std::uint8_t{'b'}]);
  EXPECT_FALSE(folded.get().fastmap[std::uint8_t{'B'}]);

  Program inlineCase("x|(?i:Y)", 0);
  CompileFastmap(inlineCase.get());
  EXPECT_TRUE(inlineCase.get().options & FoldForSearch);
  EXPECT_TRUE(inlineCase.get().fastmap[std::uint8_t{'y'}]);
}

TEST(CompileFastmap, TerminatesOnDeeplyNestedAndLoopingCode) {
  std::string pattern;
  for (int i = 0; i < 400; ++i) pattern += "(?:a|";
  pattern += "z";
  for (int i = 0; i < 400; ++i) pattern += ")*";
  Program program(pattern, 0);
  ASSERT_TRUE(program.ok());
  CompileFastmap(program.get());
  EXPECT_TRUE(program.get().fastmap[std::uint8_t{'a'}]);
  EXPECT_TRUE(program.get().fastmap[std::uint8_t{'z'}]);
  EXPECT_EQ(program.get().canMatchEmpty, EmptyMatch::Possible);
}

TEST(CompileFastmap, SameMapBeforeAndAfterTheMatcherRewritesTheCode) {
  // The inner group's PushMarker, followed by the outer alternative's exit,
  // becomes code 0 in the first match; the path through it reaches `d`.
  const std::string pattern = "(?:(?:a|)|e)d";
  Program before(pattern, 0);
  CompileFastmap(before.get());
  Program after(pattern, 0);
  ASSERT_EQ(MatchRegex(after.get(), "d", 1, 0, nullptr), 1);
  CompileFastmap(after.get());
  for (int c = 0; c < 256; ++c) EXPECT_EQ(before.get().fastmap[c], after.get().fastmap[c]) << c;
  EXPECT_TRUE(after.get().fastmap[std::uint8_t{'d'}]);
  EXPECT_EQ(after.Search("xd"), 1);
}

TEST(SearchRegex, RuleShapedProgramIsTriedOnceAtZero) {
  Program program("^(?:(a+)+b)$", IgnoreCase | SingleLine);
  EXPECT_EQ(program.Search(std::string(30, 'a')), NoMatch);
  Program backReference("^(?:(a+)+\\1b)$", IgnoreCase | SingleLine);
  EXPECT_EQ(backReference.Search(std::string(30, 'a')), MatchStopped);
  EXPECT_EQ(program.Search("aab"), 0);
  EXPECT_EQ(program.Search("xaab"), NoMatch);
}

std::string Repeated(const std::string& piece, std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += piece;
  return text;
}

// Rules that made the plain backtracking search give up (-2) on addresses
// they do not match, or (the last) backtrack quadratically within its
// budget, each with such an address and one it matches: the search answers
// both, in rule form, on its own budget.
TEST(SearchRegex, RegularRulesThatBacktrackFarGetTheirTrueAnswer) {
  const std::string sales = Repeated("sales", 3500);
  const struct {
    const char* pattern;
    std::string refused;
    std::string matched;
    int plainAnswer = MatchStopped;  // the plain search's on `refused`
  } cases[] = {
      {"(a+)+b", std::string(30, 'a') + "b!", std::string(30, 'a') + "b"},
      {"(x+x+)+y", std::string(30, 'x'), std::string(30, 'x') + "y"},
      {"([a-z]+)*[0-9]", std::string(30, 'a') + "0!", std::string(30, 'a') + "0"},
      {"(\\w+\\s?)*", Repeated("word ", 10000) + "!", Repeated("word ", 10000)},
      {"(([a-z])+.)+[A-Z]([a-z])+", std::string(30, 'a') + "!!", std::string(30, 'a') + "!Ab"},
      {"(?:[a-z0-9]+[._-]?)+@example\\.org", std::string(30, 'a') + "!@example.org",
       std::string(30, 'a') + "@example.org"},
      {".*a.*a.*a.*a.*b", std::string(10000, 'a') + "b!", std::string(10000, 'a') + "b"},
      {".*sales.*@example\\.com", sales + "@example.comX", sales + "@example.com", NoMatch},
  };
  for (const auto& c : cases) {
    Program program(std::string("^(?:") + c.pattern + ")$", IgnoreCase | SingleLine);
    ASSERT_TRUE(program.ok()) << c.pattern;
    SetPlainSearchForTesting(true);
    const int plain = program.Search(c.refused);
    SetPlainSearchForTesting(false);
    EXPECT_EQ(plain, c.plainAnswer) << c.pattern;
    EXPECT_EQ(program.Search(c.refused), NoMatch) << c.pattern;
    EXPECT_EQ(program.Search(c.matched), 0) << c.pattern;
  }
}


// Long subjects take the memchr search for the required literal, or the
// prefix table where candidates are dense or no byte suits memchr; each
// must find the leftmost occurrence as the skip table and the scan do. The
// reference folds with the same case table.
TEST(SearchRegex, RequiredLiteralInLongSubjects) {
  InstallCaseTable();
  const std::string bytes = std::string("aA@.1x") + "\xC0\xE0";
  std::mt19937 random(2026);
  std::uniform_int_distribution<std::size_t> pick(0, bytes.size() - 1);
  std::uniform_int_distribution<int> size(900, 3000);
  std::uniform_int_distribution<int> literalSize(1, 6);
  for (int n = 0; n < 3000; ++n) {
    std::string literal;
    for (int k = literalSize(random); k > 0; --k) literal.push_back(bytes[pick(random)]);
    std::string subject;
    for (int k = size(random); k > 0; --k) subject.push_back(bytes[pick(random)]);
    // The literal less its last byte over and over: a candidate every period.
    if (n % 7 == 6 && literal.size() > 1) {
      const std::string period = literal.substr(0, literal.size() - 1);
      for (std::size_t k = 0; k < subject.size(); ++k) subject[k] = period[k % period.size()];
    }
    // Planted copies, some in the other case.
    for (int k = n % 3; k > 0; --k) {
      std::string copy = literal;
      if (k == 1) for (char& c : copy) c = c == 'a' ? 'A' : c == '\xE0' ? '\xC0' : c;
      subject.insert(std::uniform_int_distribution<std::size_t>(0, subject.size())(random), copy);
    }
    std::string pattern;
    for (char c : literal) pattern += c == '.' ? std::string("\\.") : std::string(1, c);
    const std::uint32_t options = n % 2 ? static_cast<std::uint32_t>(IgnoreCase) : 0u;
    Program program(pattern, options);
    ASSERT_TRUE(program.ok()) << pattern;
    const int start = n % 5 == 0 ? static_cast<int>(subject.size() / 3) : 0;
    const std::uint8_t* fold = CaseTable();
    auto same = [&](char a, char b) {
      const auto x = static_cast<std::uint8_t>(a), y = static_cast<std::uint8_t>(b);
      return (options & IgnoreCase) != 0 ? fold[x] == fold[y] : x == y;
    };
    const auto found = std::search(subject.begin() + start, subject.end(), literal.begin(), literal.end(), same);
    const int expected =
        found == subject.end() ? NoMatch : static_cast<int>(found - subject.begin());
    ASSERT_EQ(program.Search(subject, start, static_cast<int>(subject.size()) - start), expected)
        << "/" << pattern << "/ options " << options << " in " << subject.size() << " bytes";
  }
}

// A run of failed memchr candidates hands the rest of the window to the
// prefix table; the literal may begin right after the last one that failed.
TEST(SearchRegex, RequiredLiteralAfterDenseCandidates) {
  Program program("@x", 0);
  ASSERT_TRUE(program.ok());
  for (int run = 2; run < 200; ++run) {
    const std::string subject = std::string(run, '@') + "x" + std::string(1100, 'y');
    ASSERT_EQ(program.Search(subject, 0, static_cast<int>(subject.size())), run - 1) << run;
  }
}

}  // namespace
}  // namespace fromsel::regex
