#include "pattern/regex/liveness.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "pattern/regex/automaton.h"
#include "pattern/regex/compile.h"
#include "pattern/regex/guarded_walk.h"
#include "pattern/regex/search.h"

namespace fromsel::regex {
namespace {

// One family of generated patterns: the pieces they are made of and the
// bytes of their subjects.
struct Family {
  const char* name;
  std::vector<const char*> atoms;
  std::vector<const char*> quantifiers;
  std::vector<const char*> openers;  // group openers; ")" closes each
  const char* alphabet;
};

const std::vector<Family>& Families() {
  static const std::vector<Family> families = {
      {"nested loops",
       {"a", "b", "ab", ".", "[ab]", "x", "\\w"},
       {"*", "+", "?", "*?", "+?", "??", "{2}", "{0,2}", "{1,3}", "{2,}", "{1,3}?", "{0,40}"},
       {"(", "(?:"},
       "aabbx"},
      {"anchors and look-arounds",
       {"a", "b", "\\b", "\\B", "\\<", "\\>", "^", "$", "\\A", "\\z", "\\Z", "\\G", "\\n", "."},
       {"*", "+", "?", "{1,2}", "*?"},
       {"(", "(?:", "(?=", "(?!", "(?>"},
       "ab \n"},
      {"inline options",
       {"a", "A", "b", ".", "\\n", "(?i)", "(?-i)", "(?m)", "(?-m)", "[a-b]", "[^a]"},
       {"*", "+", "?", "{1,2}", "+?"},
       {"(", "(?:", "(?i:", "(?-i:", "(?m:", "(?p:"},
       "aAbB\n"},
      // An escaped byte (\x61) compares exactly, and the matcher takes its
      // escape for the byte when it decides that a loop is possessive.
      {"loops the matcher makes possessive",
       {"a", "A", "b", "[a-z]", "[^@]", "@", "x", "X", "\\x61", "\\x41"},
       {"*", "+", "*?", "{1,3}", "{2,}"},
       {"(", "(?:"},
       "aAb@xX"},
      {"counted repeats",
       {"a", "b", "a?", "b??", "(?:)", "[ab]"},
       {"{0,3}", "{1,3}", "{2}", "{3,}", "{2,4}?", "{1,100}", "{0,2}?", "*"},
       {"(", "(?:"},
       "aab"},
  };
  return families;
}

class PatternMaker {
 public:
  PatternMaker(const Family& family, unsigned seed) : family_(family), random_(seed) {}

  std::string Pattern() { return Alternation(0); }
  std::string Subject() {
    std::string s;
    for (int n = Pick(11); n > 0; --n) s += family_.alphabet[Pick(static_cast<int>(std::strlen(family_.alphabet)))];
    return s;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  template <typename T> const T& Any(const std::vector<T>& items) { return items[Pick(static_cast<int>(items.size()))]; }

  std::string Alternation(int depth) {
    std::string text = Sequence(depth);
    if (depth < 3 && Pick(4) == 0) text += "|" + Sequence(depth);
    return text;
  }
  std::string Sequence(int depth) {
    std::string text;
    for (int n = 1 + Pick(3); n > 0; --n) {
      std::string piece = depth < 3 && Pick(3) == 0
                              ? std::string(Any(family_.openers)) + Alternation(depth + 1) + ")"
                              : Any(family_.atoms);
      if (Pick(2) == 0) piece += Any(family_.quantifiers);
      text += piece;
    }
    return text;
  }

  const Family& family_;
  std::mt19937 random_;
};

// Caller options the raw patterns are compiled with; rule form uses 9.
constexpr std::uint32_t kRawOptions[] = {0, IgnoreCase, DotMatchesNewline, IgnoreCase | SingleLine};
constexpr int kPatternsPerFamily = 600;
constexpr int kSubjectsPerPattern = 4;
// Enough for every walk over these short subjects that is not exponential.
constexpr std::int64_t kWalkBudget = 1000000;

// The guarded matcher against the plain one, on generated patterns and
// subjects: the same answer and registers at every start the plain run
// finishes, raw and in the rule form, with starts anywhere and with one.
TEST(Liveness, GuardedMatcherAgreesWithThePlainOne) {
  InstallCaseTable();
  for (const Family& family : Families()) {
    PatternMaker maker(family, 2027);
    GuardedWalkCounts counts;
    int programs = 0;
    // Patterns that do not compile (a quantified anchor) are drawn again.
    for (int i = 0; programs < kPatternsPerFamily && i < 4 * kPatternsPerFamily; ++i) {
      const std::string pattern = maker.Pattern();
      const bool ruleForm = i % 3 == 0;
      const std::string text = ruleForm ? "^(?:" + pattern + ")$" : pattern;
      RegexProgramOwner program(ruleForm ? 9u : kRawOptions[i % 4]);
      if (CompileRegex(text.data(), text.size(), *program) != nullptr) continue;
      ++programs;
      for (int k = 0; k < kSubjectsPerPattern; ++k) {
        const std::string subject = maker.Subject();
        const int attemptStart = k % 2 == 0 ? -1 : 0;
        const std::string mismatch =
            CompareGuardedWalk(*program, subject, 0, attemptStart, kWalkBudget, &counts);
        ASSERT_EQ(mismatch, "") << family.name << ": /" << text << "/ options "
                                << program->options << " on \"" << subject << "\"";
      }
    }
    // The comparison is not empty: most attempts finish, and the table
    // refuses many starts.
    EXPECT_EQ(programs, kPatternsPerFamily) << family.name;
    EXPECT_GT(counts.compared, programs * 4) << family.name;
    EXPECT_GT(counts.refused, counts.compared / 10) << family.name;
  }
}

}  // namespace
}  // namespace fromsel::regex
