#include "pattern/regex/match.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>

#include "pattern/regex/compile.h"
#include "pattern/regex/search.h"

namespace fromsel::regex {
namespace {

// A compiled program with the caller's registers, released at scope end.
class Compiled {
 public:
  Compiled(const std::string& pattern, std::uint32_t options) : program_(options) {
    InstallCaseTable();
    error_ = CompileRegex(pattern.data(), pattern.size(), *program_);
  }

  bool ok() const { return error_ == nullptr; }
  RegexProgram& program() { return *program_; }
  RegexRegisters& registers() { return registers_.get(); }

  // "position (s,e) (s,e) ..." for a match, the bare result otherwise.
  std::string Search(const std::string& subject, int start = 0, int range = -1) {
    const int size = static_cast<int>(subject.size());
    if (range < 0) range = size - start;
    const int result = SearchRegex(*program_, subject.data(), size, start, range, &registers());
    return Describe(result);
  }
  std::string Match(const std::string& subject, int position) {
    const int result = MatchRegex(*program_, subject.data(), static_cast<int>(subject.size()),
                                  position, &registers());
    return Describe(result);
  }

 private:
  std::string Describe(int result) const {
    std::ostringstream out;
    out << result;
    if (result >= 0) {
      for (int i = 0; i < program_->registerCount; ++i)
        out << " (" << registers_.get().startOffsets[i] << "," << registers_.get().endOffsets[i]
            << ")";
    }
    return out.str();
  }

  RegexProgramOwner program_;
  const char* error_ = nullptr;
  RegexRegistersOwner registers_;
};

struct MatchCase {
  const char* pattern;
  std::uint32_t options;
  std::string subject;
  const char* expected;  // SearchRegex result and registers
};

class MatchCases : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchCases, SearchGivesPositionAndRegisters) {
  const MatchCase& c = GetParam();
  Compiled compiled(c.pattern, c.options);
  ASSERT_TRUE(compiled.ok()) << c.pattern;
  EXPECT_EQ(compiled.Search(c.subject), c.expected) << "/" << c.pattern << "/ on " << c.subject;
  // The rewrites of the first run leave the answer alone.
  EXPECT_EQ(compiled.Search(c.subject), c.expected) << "again /" << c.pattern << "/";
}

const std::string kLf = "\n";

INSTANTIATE_TEST_SUITE_P(
    Instructions, MatchCases,
    ::testing::Values(
        // Literals, folding, escaped bytes.
        MatchCase{"abc", 0, "xxabcxx", "2 (2,5)"},
        MatchCase{"abc", 1, "xABC", "1 (1,4)"},
        MatchCase{"abc", 0, "xABC", "-1"},
        MatchCase{"\\x41", 1, "a", "-1"},
        MatchCase{"\\x41", 1, "A", "0 (0,1)"},
        MatchCase{"\xe9", 1, "\xc9", "-1"},
        // A set under IgnoreCase is consulted with the folded byte only.
        MatchCase{"[[:upper:]]", 1, "A", "-1"},
        MatchCase{"[A-C]+", 1, "xaBc", "1 (1,4)"},
        // Dot and newline.
        MatchCase{"a.c", 0, "a\nc", "-1"},
        MatchCase{"a.c", DotMatchesNewline, "a\nc", "0 (0,3)"},
        MatchCase{"[^x]", 0, "\n", "0 (0,1)"},
        MatchCase{".*", 0, "ab\ncd", "0 (0,2)"},
        MatchCase{".*c", 0, "abcabc", "0 (0,6)"},
        // Groups, alternation, abandoned branches.
        MatchCase{"a(b)?c", 0, "ac", "0 (0,2) (-1,-1)"},
        MatchCase{"(a|ab)(c|bcd)(d*)", 0, "abcd", "0 (0,4) (0,1) (1,4) (4,4)"},
        MatchCase{"(?:(a)b|ac)", 0, "ac", "0 (0,2) (-1,-1)"},
        MatchCase{"(a)|b", 0, "b", "0 (0,1) (-1,-1)"},
        // Quantifiers.
        MatchCase{"a+?", 0, "aaa", "0 (0,1)"},
        MatchCase{"a*?b", 0, "aab", "0 (0,3)"},
        MatchCase{"a{2,3}", 0, "aaaa", "0 (0,3)"},
        MatchCase{"(ab){2}", 0, "ababab", "0 (0,4) (2,4)"},
        MatchCase{"x{2,}", 0, "xxxxx", "0 (0,5)"},
        MatchCase{"a{1,2}a{2}", 0, "aaa", "0 (0,3)"},
        MatchCase{"(..+?){2,}", 0, "bacaa", "0 (0,4) (2,4)"},
        MatchCase{"((bc?){1,2}x){2}", 0, "bcxbbx", "0 (0,6) (3,6) (4,5)"},
        MatchCase{"(?:[a-c](?:[a-c]?|x))*", 0, "c", "0 (0,1)"},
        MatchCase{"(a*)*b", 0, "aab", "0 (0,3) (0,2)"},
        // Loops whose bodies leave backtrack points of their own.
        MatchCase{"(?:a|)*b", 0, "aab", "0 (0,3)"},
        MatchCase{"(?:x(?:b?|y))+", 0, "xxx", "0 (0,3)"},
        MatchCase{"(?:a.*?)+.", 0, "aa1", "0 (0,3)"},
        MatchCase{"(\\w{2,}.)+?b", 0, "cbbab ", "0 (0,5) (0,4)"},
        MatchCase{"((b.{0,2})+?\\w)", 0, "AbA", "1 (1,3) (1,3) (1,2)"},
        MatchCase{"(?:b{1,2}?){1,2}", 0, "b", "0 (0,1)"},
        MatchCase{"a{0,2}?", 0, "aa", "0 (0,0)"},
        MatchCase{"a{0,2}?b", 0, "aab", "0 (0,3)"},
        MatchCase{"(?:ab|a){0,3}?c", 0, "aabac", "0 (0,5)"},
        MatchCase{"(?:a{1,2}){2}?", 0, "aa", "0 (0,2)"},
        // A leading .* with a back-reference may match after a line start.
        MatchCase{"(.*((?=.[^ab\\n])|b))\\1.", 0, "ab  1aca", "1 (1,2) (1,1) (1,1)"},
        // Back-references.
        MatchCase{"(a+)\\1", 0, "aaaa", "0 (0,4) (0,2)"},
        MatchCase{"(b)?a\\1", 0, "a", "-1"},
        MatchCase{"()a\\1", 0, "a", "0 (0,1) (0,0)"},
        MatchCase{"(a\\1)", 0, "aa", "-1"},
        MatchCase{"(a)\\1", 1, "aA", "0 (0,2) (0,1)"},
        MatchCase{"a\\8", 0, "a", "-1"},
        // Look-ahead and atomic groups.
        MatchCase{"a(?=b)", 0, "ac ab", "3 (3,4)"},
        MatchCase{"a(?!b)", 0, "ab ac", "3 (3,4)"},
        MatchCase{"(?>a+)a", 0, "aaa", "-1"},
        MatchCase{"(?>a|ab)c", 0, "abc", "-1"},
        MatchCase{"(?=(a+))a", 0, "aaa", "0 (0,1) (0,3)"},
        // Line and text anchors without SingleLine.
        MatchCase{"^b", 0, "a\nb", "2 (2,3)"},
        MatchCase{"b$", 0, "ab\n", "1 (1,2)"},
        MatchCase{"$", 0, "ab\n", "2 (2,2)"},
        MatchCase{"a\\Z", 0, "a\n", "0 (0,1)"},
        MatchCase{"a\\z", 0, "a\n", "-1"},
        MatchCase{"\\Ab", 0, "ab", "-1"},
        MatchCase{"\\n^", 0, "a\n", "-1"},
        // Word assertions.
        MatchCase{"\\bfoo\\b", 0, "a foo", "2 (2,5)"},
        MatchCase{"\\Bo", 0, "foo", "1 (1,2)"},
        MatchCase{"\\b", 0, "", "-1"},
        MatchCase{"\\B", 0, "", "0 (0,0)"},
        MatchCase{"\\<b", 0, "ab b", "3 (3,4)"},
        MatchCase{"b\\>", 0, "bb b", "1 (1,2)"},
        MatchCase{"\\w\\W", 0, "ab_-", "2 (2,4)"},
        // Inline options.
        MatchCase{"a(?i)b", 0, "aB", "0 (0,2)"},
        MatchCase{"(?i:a)b", 0, "AB", "-1"},
        MatchCase{"(?m:.)", 0, "\n", "0 (0,1)"}));

TEST(MatchRegex, RegistersAfterFailureAreAllUnset) {
  Compiled compiled("(a)(b)", 0);
  ASSERT_EQ(compiled.Match("ab", 0), "2 (0,2) (0,1) (1,2)");
  EXPECT_EQ(compiled.Match("ax", 0), "-1");
  const RegexRegisters& r = compiled.registers();
  ASSERT_GE(r.allocatedCount, 10);
  for (int i = 0; i < r.allocatedCount; ++i) {
    EXPECT_EQ(r.startOffsets[i], -1) << i;
    EXPECT_EQ(r.endOffsets[i], -1) << i;
  }
}

TEST(MatchRegex, RegistersBeyondTheProgramStayUnsetAfterAMatch) {
  Compiled compiled("(a)(x)?", 0);
  EXPECT_EQ(compiled.Match("a", 0), "1 (0,1) (0,1) (-1,-1)");
  EXPECT_EQ(compiled.registers().registerCount, 3);
  for (int i = 3; i < 10; ++i) EXPECT_EQ(compiled.registers().startOffsets[i], -1);
}

TEST(MatchRegex, ManyGroupsGrowTheRegisters) {
  std::string pattern;
  for (int i = 0; i < 12; ++i) pattern += "(a)";
  Compiled compiled(pattern, 0);
  EXPECT_EQ(compiled.Match(std::string(12, 'a'), 0).substr(0, 9), "12 (0,12)");
  EXPECT_EQ(compiled.registers().allocatedCount, 13);
  EXPECT_EQ(compiled.registers().startOffsets[12], 11);
}

// Patterns that backtrack exponentially: regular ones get their true answer
// (the search runs them with the automaton), one with a back-reference
// stops with -2 when the budget runs out.
TEST(MatchRegex, CatastrophicPatternsGetTheirTrueAnswer) {
  // The subjects hold the required literal, so the search has to try.
  const std::string as(30, 'a');
  const std::pair<const char*, std::string> cases[] = {
      {"(a+)+b", as}, {"(a|aa)*c", as + "!c"}, {"(.*)*x", as + "\nx"}, {"(?:a*)*b", as + "!b"}};
  const char* const answers[] = {"-1", "31 (31,32) (-1,-1)", "31 (31,32) (-1,-1)", "31 (31,32)"};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    Compiled compiled(cases[i].first, 0);
    EXPECT_EQ(compiled.Search(cases[i].second), answers[i]) << cases[i].first;
  }
  Compiled backReference("(a+)+\\1b", 0);
  EXPECT_EQ(backReference.Search(as + "!b"), "-2");
}

// A lazy construct tries its exit first; once a further pass fails, that
// exit is not tried again from the same state. Retried, it doubled the work
// per nested lazy repeat: the plain matcher gives up on the longer repeat,
// and where it finishes, both give the same answer.
TEST(MatchRegex, FailedLazyExitsAreNotRetried) {
  struct Run {
    int result;
    std::int64_t work;
    int groupStart, groupEnd;
  };
  auto run = [](const char* counts, bool plain) {
    // "??" written apart, so that no compiler reads a trigraph.
    Compiled compiled(std::string("^(?:(?:(a?" "?)") + counts + ")*)b?$", 0);
    EXPECT_TRUE(compiled.ok()) << counts;
    WorkBudget budget{200000};
    SetPlainMatchForTesting(plain);
    const int result = MatchRegex(compiled.program(), "", 0, 0, &compiled.registers(), &budget);
    SetPlainMatchForTesting(false);
    const RegexRegisters& registers = compiled.registers();
    return Run{result, 200000 - budget.left, registers.startOffsets[1], registers.endOffsets[1]};
  };
  const Run shortRepeat = run("{3,10}?", false);
  const Run shortPlain = run("{3,10}?", true);
  EXPECT_EQ(shortRepeat.result, 0);
  EXPECT_EQ(shortPlain.result, 0);
  EXPECT_EQ(shortRepeat.groupStart, shortPlain.groupStart);
  EXPECT_EQ(shortRepeat.groupEnd, shortPlain.groupEnd);
  EXPECT_LT(shortRepeat.work * 10, shortPlain.work);
  EXPECT_EQ(run("{3,40}?", false).result, 0);
  EXPECT_EQ(run("{3,40}?", true).result, MatchStopped);
}

// Work an instruction does beyond constant time is charged to the budget
// too: the walk of a loop's back jump past the points its body left, and
// the bytes a back-reference compares. Uncharged, each of these ran for
// hours inside the instruction budget.
TEST(MatchRegex, WorkInsideOneInstructionCountsAgainstTheBudget) {
  // "??" written apart, so that no compiler reads a trigraph.
  Compiled nestedLazy("(?:(?:x?" "?){1,4000}?" "?)*[a-]\\S", 0);
  EXPECT_EQ(nestedLazy.Search("aB"), "-2");
  Compiled backReference("^(?:(.*)\\1x)$", 0);
  EXPECT_EQ(backReference.Search(std::string(120000, 'a') + "xb"), "-2");
  // Ordinary uses stay well inside it.
  EXPECT_EQ(backReference.Search("abcabcx"), "0 (0,7) (0,3)");
  Compiled lazy("(?:(?:x?" "?){1,4}?" "?)*[a-]\\S", 0);
  EXPECT_EQ(lazy.Search("aB"), "0 (0,2)");
}

TEST(MatchRegex, StackBudgetStopsTheSearch) {
  // .* leaves a backtrack point per byte: four million of them need more
  // than the stack budget, long before the instruction budget runs out.
  Compiled compiled(".*(?:x|y)z", 0);
  const std::string subject = "z" + std::string(4'000'000, 'a');
  EXPECT_EQ(compiled.Search(subject), "-2");
  EXPECT_EQ(compiled.Search("z" + std::string(1000, 'a') + "xz"), "0 (0,1003)");
}

// Fresh backtrack stack is paid for like instructions: .* leaves a point of
// five words per byte, so three steps a byte, enough for the instructions,
// cannot buy the stack 200,000 bytes need.
TEST(MatchRegex, GrowingTheStackCountsAgainstTheBudget) {
  Compiled compiled(".*x", 0);
  const std::string subject(200'000, 'a');
  const int size = static_cast<int>(subject.size());
  WorkBudget instructionsOnly{3 * size + 1000};
  EXPECT_EQ(MatchRegex(compiled.program(), subject.data(), size, 0, nullptr, &instructionsOnly),
            MatchStopped);
  WorkBudget withTheStack{12 * size};
  EXPECT_EQ(MatchRegex(compiled.program(), subject.data(), size, 0, nullptr, &withTheStack), NoMatch);
}

TEST(MatchRegex, BudgetIsSharedByTheCallsOfOneSearch) {
  Compiled compiled("(a+)+b", 0);
  WorkBudget budget{50};
  const std::string as(30, 'a');
  EXPECT_EQ(MatchRegex(compiled.program(), as.data(), 30, 0, nullptr, &budget), MatchStopped);
  EXPECT_LT(budget.left, 0);
}

TEST(MatchRegex, DeepLookAheadReportsMinusTwo) {
  // Every byte that .* consumes leaves a backtrack point; the look-ahead
  // then starts above the depth its 16-bit slot can record.
  Compiled compiled(".*(?=b)", 0);
  EXPECT_EQ(compiled.Search("b" + std::string(7000, 'a')), "-2");
  EXPECT_EQ(compiled.Search(std::string(100, 'a') + "b"), "0 (0,100)");
}

TEST(MatchRegex, LongSubjectsGrowTheStackOnTheHeap) {
  Compiled compiled("(?:a|b)*c", 0);
  std::string subject(20000, 'a');
  subject += 'c';
  EXPECT_EQ(compiled.Search(subject), "0 (0,20001)");
}

TEST(MatchRegex, SubjectIsACountedBuffer) {
  Compiled compiled("ab\\z", 0);
  const char bytes[] = {'a', 'b', 'c'};  // no NUL anywhere
  EXPECT_EQ(MatchRegex(compiled.program(), bytes, 2, 0, &compiled.registers()), 2);
  EXPECT_EQ(MatchRegex(compiled.program(), bytes, 3, 0, &compiled.registers()), NoMatch);
  Compiled withNul("a\\x00b", 0);
  const std::string subject("a\0b", 3);
  EXPECT_EQ(withNul.Search(subject), "0 (0,3)");
}

TEST(MatchRegex, PositionsOutsideTheSubjectDoNotMatch) {
  Compiled compiled("", 0);
  EXPECT_EQ(compiled.Match("ab", 3), "-1");
  EXPECT_EQ(compiled.Match("ab", -1), "-1");
  EXPECT_EQ(compiled.Match("ab", 2), "0 (2,2)");
}

TEST(MatchRegex, RepeatedMatchingAfterRewritesGivesTheSameAnswers) {
  Compiled compiled("(\\d1|c*A|c{1,2}?)+c{0,2}?", 0);
  const std::string subjects[] = {"c", "cc", "1", "ccA", "x"};
  std::string first;
  for (const std::string& s : subjects) first += compiled.Search(s) + ";";
  for (int round = 0; round < 3; ++round) {
    std::string again;
    for (const std::string& s : subjects) again += compiled.Search(s) + ";";
    EXPECT_EQ(again, first);
  }
}

TEST(MatchRegex, CountersLeftByOneSearchDoNotLeakIntoTheNext) {
  Compiled compiled("(?>a{2}^1*?)1{2}.|.{0,2}?A", 0);
  for (const char* subject : {"aa11x", "aa", "", "a1", "A"}) compiled.Search(subject);
  EXPECT_EQ(compiled.Search("abA_"), "0 (0,3)");
  EXPECT_EQ(compiled.Search("abA_"), "0 (0,3)");
}

TEST(RegexRegistersOwner, StartsEmptyAndKeepsWhatTheMatcherAllocates) {
  RegexRegistersOwner registers;
  EXPECT_EQ(registers.get().allocatedCount, 0);
  Compiled compiled("(a)", 0);
  ASSERT_EQ(MatchRegex(compiled.program(), "a", 1, 0, &registers.get()), 1);
  EXPECT_EQ(registers.get().allocatedCount, 10);
  EXPECT_EQ(registers.get().endOffsets[1], 1);
}

TEST(FreeRegisters, ReleasesAndClearsSoASecondReleaseIsHarmless) {
  RegexRegisters registers;
  FreeRegisters(registers);  // nothing held
  Compiled compiled("a", 0);
  ASSERT_EQ(MatchRegex(compiled.program(), "a", 1, 0, &registers), 1);
  EXPECT_EQ(registers.allocatedCount, 10);
  FreeRegisters(registers);
  EXPECT_EQ(registers.allocatedCount, 0);
  EXPECT_EQ(registers.startOffsets, nullptr);
  FreeRegisters(registers);
}

}  // namespace
}  // namespace fromsel::regex
