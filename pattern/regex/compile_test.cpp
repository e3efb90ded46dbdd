#include "pattern/regex/compile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pattern/regex/disasm.h"
#include "pattern/regex/program.h"
#include "pattern/regex/search_aids.h"

namespace fromsel::regex {
namespace {

std::string Hex(const std::uint8_t* bytes, int length) {
  std::string text;
  char hex[4];
  for (int i = 0; i < length; ++i) {
    std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", bytes[i]);
    text += hex;
  }
  return text;
}

// One compilation of a pattern held in a heap buffer of exactly its length,
// so that a read past the end is caught by the address sanitizer.
class Compiled {
 public:
  explicit Compiled(const std::string& pattern, std::uint32_t options = 0) : program_(options) {
    std::vector<char> exact(pattern.begin(), pattern.end());
    const char* error = CompileRegex(exact.data(), exact.size(), *program_);
    error_ = error == nullptr ? "" : error;
  }

  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  std::string code() const { return Hex(program_->code, program_->codeLength); }
  std::string listing() const { return Disassemble(*program_); }
  const RegexProgram& program() const { return *program_; }
  long required() const {
    return program_->requiredLiteral ? program_->requiredLiteral - program_->code : -1;
  }
  long leadingSet() const {
    return program_->leadingSet ? program_->leadingSet - program_->code : -1;
  }

 private:
  RegexProgramOwner program_;
  std::string error_;
};

class CompileTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallCaseTable(); }
};

// --- Exact byte code --------------------------------------------------------

struct BytesCase {
  const char* pattern;
  std::uint32_t options;
  const char* code;
};

class CompileBytes : public CompileTest, public ::testing::WithParamInterface<BytesCase> {};

TEST_P(CompileBytes, ProducesExactCode) {
  const BytesCase& c = GetParam();
  Compiled compiled(c.pattern, c.options);
  ASSERT_TRUE(compiled.ok()) << c.pattern << ": " << compiled.error();
  EXPECT_EQ(compiled.code(), c.code) << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, CompileBytes,
    ::testing::Values(
        BytesCase{"", 0, ""},
        BytesCase{"x*", 0, "0A 06 00 01 01 78 0C F7 FF"},
        BytesCase{"^(?:x*)$", SingleLine, "04 1B 0A 06 00 01 01 78 0C F7 FF 1C 05"},
        BytesCase{"^$", 0, "02 03"},
        BytesCase{"[a-c]", 0, "17 0D 00 00 00 00 00 00 00 00 00 00 00 00 0E 00 00"},
        BytesCase{"\\s", 0, "17 05 00 36 00 00 01 00 00"},
        BytesCase{"\\S", 0, "18 05 00 36 00 00 01 00 00"},
        BytesCase{"\\d", 0, "17 08 00 00 00 00 00 00 FF 03 00 00"},
        BytesCase{"(a)", 0, "19 01 01 01 01 61 1A 01 01"},
        BytesCase{"\\x41", 0, "01 02 FF 41"},
        BytesCase{"\\x41", IgnoreCase, "01 02 FF 41"},
        BytesCase{"ab*", 0, "01 01 61 0A 06 00 01 01 62 0C F7 FF"},
        BytesCase{"abc", 0, "01 03 61 62 63"},
        BytesCase{"ab^", 0, "01 01 61 01 01 62 02"},
        BytesCase{"a{3}", 0, "01 03 61 61 61"},
        BytesCase{"(?:ab){2}", 0, "1B 01 02 61 62 1B 01 02 61 62 1C"},
        BytesCase{"(a){2}", 0, "19 01 01 01 01 61 1A 01 01 19 01 01 01 01 61 1A 01 01"},
        BytesCase{"a{,3}", 0, "01 05 61 7B 2C 33 7D"},
        BytesCase{"a{x}", 0, "01 04 61 7B 78 7D"},
        BytesCase{"a{2", 0, "01 03 61 7B 32"},
        BytesCase{"a{1}", 0, "01 01 61"},
        BytesCase{"a{0}", 0, "08 03 00 01 01 61"},
        BytesCase{"x{2,}", 0,
                  "14 12 00 FE 7F 14 05 00 02 00 0F 0A 00 02 00 01 01 78 10 F5 FF FE 7F"},
        BytesCase{"\\8", 0, "24 08"},
        BytesCase{"\\12", 0, "01 02 FF 0A"},
        BytesCase{"\\18", 0, "01 03 FF 01 38"},
        BytesCase{"\\xx1", 0, "01 02 FF 01"},
        BytesCase{"\\x", 0, "01 02 FF 00"},
        BytesCase{"\\0101", 0, "01 02 FF 41"},
        BytesCase{"\\0777", 0, "01 02 FF FF"},
        BytesCase{"\\M-\\nz", 0, "01 03 FF 8A 7A"},
        BytesCase{"\\ca", 0, "01 02 FF 01"},
        BytesCase{"\\cA", 0, "01 02 FF 01"},
        BytesCase{"\\c?", 0, "01 02 FF 7F"},
        BytesCase{"\\C-a", 0, "01 02 FF 01"},
        BytesCase{"\\M-a", 0, "01 02 FF E1"},
        BytesCase{"\\M-\\C-a", 0, "01 02 FF 81"},
        BytesCase{"\\C-\\M-a", 0, "01 02 FF 81"},
        BytesCase{"\\M-\\c?", 0, "01 02 FF FF"},
        BytesCase{"\\c\\c?", 0, "01 02 FF 1F"},
        BytesCase{"\\t\\n\\e\\q", 0, "01 04 09 0A 1B 71"},
        BytesCase{"\xff", 0, "01 02 FF FF"},
        BytesCase{"(?i:a)", 0, "1B 1D 01 01 61 1E 1C"},
        BytesCase{"(?m)", IgnoreCase | SingleLine, "1F 0D"},
        BytesCase{"(?x) a b", 0, "01 02 61 62"},
        BytesCase{"a # note\nb", FreeSpacing, "01 02 61 62"},
        BytesCase{"a(?#note)b", 0, "01 02 61 62"},
        // What lies between a literal and its quantifier does not widen the piece.
        BytesCase{"ab(?#note)*", 0, "01 01 61 0A 06 00 01 01 62 0C F7 FF"},
        BytesCase{"(?x)ab *", 0, "01 01 61 0A 06 00 01 01 62 0C F7 FF"},
        BytesCase{"ab #c\n?", FreeSpacing, "01 01 61 0A 03 00 01 01 62"},
        BytesCase{"a\\x41(?x){2}", 0, "01 01 61 01 04 FF 41 FF 41"},
        BytesCase{"\\x41(?#)+", 0, "0D 03 00 0A 07 00 01 02 FF 41 0C F6 FF"},
        BytesCase{"a{3}*", 0, "0A 08 00 01 03 61 61 61 0C F5 FF"},
        BytesCase{"ABC", IgnoreCase, "01 03 61 62 63"},
        BytesCase{"\\Q", IgnoreCase, "01 01 51"},
        BytesCase{"\\A\\z\\Z\\G\\b\\B\\<\\>", 0, "04 05 06 07 2A 2B 28 29"},
        BytesCase{"\\Z", SingleLine, "05"},
        BytesCase{"\\w\\W", 0, "26 27"},
        BytesCase{".*", 0, "16"},
        BytesCase{".+", 0, "15 16"},
        BytesCase{"[a-\\x7a]B", IgnoreCase,
                  "17 10 00 00 00 00 00 00 00 00 00 00 00 00 FE FF FF 07 00 00 01 01 62"},
        BytesCase{"[A-C]", IgnoreCase, "17 0D 00 00 00 00 00 00 00 00 00 00 00 00 0E 00 00"}));

// --- Every error text, where it is raised -------------------------------------

struct ErrorCase {
  const char* pattern;
  std::uint32_t options;
  const char* error;
};

class CompileErrors : public CompileTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(CompileErrors, FailsWithExactText) {
  const ErrorCase& c = GetParam();
  Compiled compiled(c.pattern, c.options);
  EXPECT_EQ(compiled.error(), c.error) << c.pattern;
  EXPECT_EQ(compiled.program().startSlots, nullptr);
  EXPECT_EQ(compiled.program().skipTable, nullptr);
}

constexpr const char* kPremature = "premature end of regular expression";
constexpr const char* kNested = "nested *?+ in regexp";
constexpr const char* kBadEscape = "Invalid escape character syntax";

INSTANTIATE_TEST_SUITE_P(
    Table, CompileErrors,
    ::testing::Values(
        ErrorCase{"(", 0, kPremature},
        ErrorCase{"a(?", 0, kPremature},
        ErrorCase{"(?#comment", 0, kPremature},
        ErrorCase{"(?i", 0, kPremature},
        ErrorCase{"(?i-", 0, kPremature},
        ErrorCase{"[a", 0, kPremature},
        ErrorCase{"[a\\", 0, kPremature},
        ErrorCase{"[a-", 0, kPremature},
        ErrorCase{"(a", 0, "unmatched ("},
        ErrorCase{"(?:a|b", 0, "unmatched ("},
        ErrorCase{"a)", 0, "unmatched )"},
        ErrorCase{"(?i))", 0, "unmatched )"},
        ErrorCase{"(?y)", 0, "undefined (?...) sequence"},
        ErrorCase{"(?I)", 0, "undefined (?...) sequence"},
        ErrorCase{"(?iq)", 0, "undefined (?...) inline option"},
        ErrorCase{"(?-I:a)", 0, "undefined (?...) inline option"},
        ErrorCase{"*a", 0,
                  "invalid regular expression; there's no previous pattern, to which '*' would "
                  "define cardinality at 1"},
        ErrorCase{"^(?:*a)$", IgnoreCase | SingleLine,
                  "invalid regular expression; there's no previous pattern, to which '*' would "
                  "define cardinality at 5"},
        ErrorCase{"ab|+", 0,
                  "invalid regular expression; there's no previous pattern, to which '+' would "
                  "define cardinality at 4"},
        ErrorCase{"^?", 0,
                  "invalid regular expression; there's no previous pattern, to which '?' would "
                  "define cardinality at 2"},
        ErrorCase{"{1}", 0,
                  "invalid regular expression; there's no previous pattern, to which '{' would "
                  "define cardinality at 1"},
        ErrorCase{"a|{", 0,
                  "invalid regular expression; there's no previous pattern, to which '{' would "
                  "define cardinality at 3"},
        ErrorCase{"a**", 0, kNested},
        ErrorCase{"a?+", 0, kNested},
        ErrorCase{"a+*", 0, kNested},
        ErrorCase{"a{", 0, "invalid regular expression; '{' can't be last character"},
        ErrorCase{"x{32767}", 0, "too big quantifier in {,}"},
        ErrorCase{"x{1,32767}", 0, "too big quantifier in {,}"},
        ErrorCase{"x{99999999999999999999}", 0, "too big quantifier in {,}"},
        ErrorCase{"x{3,2}", 0, "can't do {n,m} with n > m"},
        ErrorCase{"a\\", 0, "invalid regular expression; '\\' can't be last character"},
        ErrorCase{"\\c", 0, kBadEscape},
        ErrorCase{"\\C", 0, kBadEscape},
        ErrorCase{"\\Ca", 0, kBadEscape},
        ErrorCase{"\\M-", 0, kBadEscape},
        ErrorCase{"\\Mx", 0, kBadEscape},
        ErrorCase{"\\M-\\", 0, kBadEscape},
        ErrorCase{"\\M-\\C", 0, kBadEscape},
        ErrorCase{"[\\c", 0, kBadEscape},
        ErrorCase{"[\\M-\\Ca]", 0, kBadEscape},
        ErrorCase{"[", 0,
                  "invalid regular expression; '[' can't be the last character ie. can't start "
                  "range at the end of pattern"},
        ErrorCase{"[]", 0, "invalid regular expression; empty character class"},
        ErrorCase{"[^]", 0, "invalid regular expression; empty character class"},
        ErrorCase{"[\\d-z]", 0,
                  "invalid regular expression; can't use character class as a start value of "
                  "range"},
        ErrorCase{"[[:digit:]-z]", 0,
                  "invalid regular expression; can't use character class as a start value of "
                  "range"},
        ErrorCase{"[a-\\d]", 0,
                  "invalid regular expression; can't use character class as an end value of "
                  "range"},
        ErrorCase{"[z-a]", 0, "invalid regular expression"},
        ErrorCase{"[Z-a]", IgnoreCase, "invalid regular expression"},
        ErrorCase{"[[:", 0, "invalid regular expression; re can't end '[[:'"},
        ErrorCase{"[[:foo:]]", 0, "invalid regular expression; [:foo:] is not a character class"},
        ErrorCase{"[[:Alpha:]]", 0,
                  "invalid regular expression; [:Alpha:] is not a character class"},
        ErrorCase{"[[:alpha:]", 0,
                  "invalid regular expression; range doesn't have ending ']' after a character "
                  "class"}));

TEST_F(CompileTest, AlphaClassHoldsTheAsciiLettersUnderEitherCase) {
  for (const std::uint32_t options : {0u, static_cast<std::uint32_t>(IgnoreCase)}) {
    Compiled compiled(options ? "[[:ALPHA:]]" : "[[:alpha:]]", options);
    ASSERT_TRUE(compiled.ok()) << compiled.error();
    EXPECT_EQ(compiled.listing(), "0: ByteSet [A-Za-z] L=16\n");
  }
}

TEST_F(CompileTest, ClassItemsFollowTheirRules) {
  struct Case {
    const char* pattern;
    std::uint32_t options;
    const char* listing;
  };
  const Case cases[] = {
      {"[]a]", 0, "0: ByteSet [\\]a] L=13\n"},
      {"[a-]", 0, "0: ByteSet [\\-a] L=13\n"},
      {"[[:ab]", 0, "0: ByteSet [:[ab] L=13\n"},
      {"[\\s]", 0, "0: ByteSet [\\x09-\\x0d ] L=5\n"},
      {"[^\\d]", 0, "0: NegatedByteSet [0-9] L=8\n"},
      {"[\\D]", 0, "0: ByteSet [\\x00-/:-\\xff] L=32\n"},
      {"[\\w]", 0, "0: ByteSet [0-9A-Z_a-z] L=16\n"},
      {"[\\x41-\\x43]", IgnoreCase, "0: ByteSet [A-C] L=9\n"},
      {"[\\101]", 0, "0: ByteSet [A] L=9\n"},
      {"[\\0101]", 0, "0: ByteSet [\\x081] L=7\n"},
      {"[\\8]", 0, "0: ByteSet [\\x008] L=8\n"},
      {"[\\n\\t]", 0, "0: ByteSet [\\x09\\x0a] L=2\n"},
      {"[\\M-a]", 0, "0: ByteSet [\\xe1] L=29\n"},
      {"[\\[:digit:]]", 0, "0: ByteSet [0-9] L=8\n"},
      {"[[:upper:]]", IgnoreCase, "0: ByteSet [A-Z] L=12\n"},
      {"[[:cntrl:]]", 0, "0: ByteSet [\\x00-\\x1f\\x7f] L=16\n"},
      {"[[:punct:]]", 0, "0: ByteSet [!-/:-@[-`{-~] L=16\n"},
      {"[[:xdigit:][:blank:]]", 0, "0: ByteSet [\\x09 0-9A-Fa-f] L=13\n"},
      {"[[:digit:]-]", 0, "0: ByteSet [\\-0-9] L=8\n"},
      {"[[:toolong:]]", 0, "0: ByteSet [:[glnot] L=15\n19: LiteralRun \"]\"\n"},
      // An octal value above 255 counts with its low 8 bits, also as a range end.
      {"[\\0-\\501]", 0, "0: ByteSet [\\x00-A] L=9\n"},
  };
  for (const Case& c : cases) {
    Compiled compiled(c.pattern, c.options);
    ASSERT_TRUE(compiled.ok()) << c.pattern << ": " << compiled.error();
    EXPECT_EQ(compiled.listing(), c.listing) << c.pattern;
  }
}

// --- Code shapes -------------------------------------------------------------

struct ShapeCase {
  const char* pattern;
  std::uint32_t options;
  const char* listing;
};

class CompileShapes : public CompileTest, public ::testing::WithParamInterface<ShapeCase> {};

TEST_P(CompileShapes, MatchesTheShape) {
  const ShapeCase& c = GetParam();
  Compiled compiled(c.pattern, c.options);
  ASSERT_TRUE(compiled.ok()) << c.pattern << ": " << compiled.error();
  EXPECT_EQ(compiled.listing(), c.listing) << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompileShapes,
    ::testing::Values(
        ShapeCase{"a|b", 0,
                  "0: PushBacktrack -> 9\n3: LiteralRun \"a\"\n6: Goto -> 12\n"
                  "9: LiteralRun \"b\"\n"},
        ShapeCase{"a|b|c", 0,
                  "0: PushBacktrack -> 9\n3: LiteralRun \"a\"\n6: AlternativeExit -> 15\n"
                  "9: PushBacktrack -> 18\n12: LiteralRun \"b\"\n15: Goto -> 21\n"
                  "18: LiteralRun \"c\"\n"},
        ShapeCase{"a|b|c|d", 0,
                  "0: PushBacktrack -> 9\n3: LiteralRun \"a\"\n6: AlternativeExit -> 15\n"
                  "9: PushBacktrack -> 18\n12: LiteralRun \"b\"\n15: AlternativeExit -> 24\n"
                  "18: PushBacktrack -> 27\n21: LiteralRun \"c\"\n24: Goto -> 30\n"
                  "27: LiteralRun \"d\"\n"},
        ShapeCase{"(?:a|b)", 0,
                  "0: PlainGroupStart\n1: PushBacktrack -> 10\n4: LiteralRun \"a\"\n"
                  "7: Goto -> 14\n10: LiteralRun \"b\"\n13: PushMarker\n14: PlainGroupEnd\n"},
        ShapeCase{"(a|b|c)", 0,
                  "0: CaptureStart 1 span 1\n3: PushBacktrack -> 12\n6: LiteralRun \"a\"\n"
                  "9: AlternativeExit -> 18\n12: PushBacktrack -> 21\n15: LiteralRun \"b\"\n"
                  "18: Goto -> 25\n21: LiteralRun \"c\"\n24: PushMarker\n25: CaptureEnd 1 span 1\n"},
        ShapeCase{"a|", 0, "0: PushBacktrack -> 9\n3: LiteralRun \"a\"\n6: Goto -> 9\n"},
        ShapeCase{"x?", 0, "0: PushBacktrack -> 6\n3: LiteralRun \"x\"\n"},
        ShapeCase{"x??", 0,
                  "0: LazySkip -> 9\n3: PushBacktrack -> 9\n6: LiteralRun \"x\"\n"},
        ShapeCase{"x*", 0,
                  "0: PushBacktrack -> 9\n3: LiteralRun \"x\"\n6: GreedyLoopEnd -> 0\n"},
        ShapeCase{"x*?", 0,
                  "0: LazySkip -> 12\n3: PushBacktrack -> 12\n6: LiteralRun \"x\"\n"
                  "9: LazyLoopEnd -> 3\n"},
        ShapeCase{"x+", 0,
                  "0: GotoWithMarker -> 6\n3: PushBacktrack -> 12\n6: LiteralRun \"x\"\n"
                  "9: GreedyLoopEnd -> 3\n"},
        ShapeCase{"x+?", 0,
                  "0: GotoWithMarker -> 6\n3: PushBacktrack -> 12\n6: LiteralRun \"x\"\n"
                  "9: LazyLoopEnd -> 3\n"},
        ShapeCase{".*?", 0, "0: LazySkip -> 10\n3: PushBacktrack -> 10\n6: Dot\n7: LazyLoopEnd -> 3\n"},
        ShapeCase{".+?", 0,
                  "0: GotoWithMarker -> 6\n3: PushBacktrack -> 10\n6: Dot\n7: LazyLoopEnd -> 3\n"},
        ShapeCase{".?", 0, "0: PushBacktrack -> 4\n3: Dot\n"},
        ShapeCase{"(?:.)*", 0,
                  "0: PushBacktrack -> 9\n3: PlainGroupStart\n4: Dot\n5: PlainGroupEnd\n"
                  "6: GreedyLoopEnd -> 0\n"},
        // Two dots in a row are not one dot: the loop keeps the pair whole.
        ShapeCase{".{2}*", 0,
                  "0: PushBacktrack -> 8\n3: Dot\n4: Dot\n5: GreedyLoopEnd -> 0\n"},
        ShapeCase{".$+", 0,
                  "0: GotoWithMarker -> 6\n3: PushBacktrack -> 11\n6: Dot\n7: AtLineEnd\n"
                  "8: GreedyLoopEnd -> 3\n"},
        ShapeCase{"x{0}", 0, "0: Goto -> 6\n3: LiteralRun \"x\"\n"},
        ShapeCase{"x{0,1}", 0, "0: PushBacktrack -> 6\n3: LiteralRun \"x\"\n"},
        ShapeCase{"x{0,}", 0,
                  "0: PushBacktrack -> 9\n3: LiteralRun \"x\"\n6: GreedyLoopEnd -> 0\n"},
        ShapeCase{"x{1,}?", 0,
                  "0: GotoWithMarker -> 6\n3: PushBacktrack -> 12\n6: LiteralRun \"x\"\n"
                  "9: LazyLoopEnd -> 3\n"},
        ShapeCase{"x{1,1}?", 0, "0: LiteralRun \"x\"\n"},
        ShapeCase{"x{2,5}", 0,
                  "0: SetCounter -> 21 value 4\n5: SetCounter -> 13 value 2\n"
                  "10: CountedRepeatStart -> 23 count 2\n15: LiteralRun \"x\"\n"
                  "18: CountedLoopEnd -> 10 count 4\n"},
        ShapeCase{"x{2,5}?", 0,
                  "0: SetCounter -> 21 value 4\n5: SetCounter -> 13 value 2\n"
                  "10: CountedRepeatStart -> 23 count 2\n15: LiteralRun \"x\"\n"
                  "18: LazyCountedLoopEnd -> 10 count 4\n"},
        ShapeCase{"x{0,3}", 0,
                  "0: SetCounter -> 21 value 2\n5: SetCounter -> 13 value 0\n"
                  "10: CountedRepeatStart -> 23 count 0\n15: LiteralRun \"x\"\n"
                  "18: CountedLoopEnd -> 10 count 2\n"},
        ShapeCase{"\\d{5}", 0,
                  "0: SetCounter -> 30 value 4\n5: SetCounter -> 13 value 5\n"
                  "10: CountedRepeatStart -> 32 count 5\n15: ByteSet [0-9] L=8\n"
                  "27: CountedLoopEnd -> 10 count 4\n"},
        ShapeCase{"\\w{3}", 0, "0: WordByte\n1: WordByte\n2: WordByte\n"},
        ShapeCase{"a{2}*", 0,
                  "0: PushBacktrack -> 10\n3: LiteralRun \"aa\"\n7: GreedyLoopEnd -> 0\n"},
        ShapeCase{"(?=a)", 0,
                  "0: AssertionStart -> 7\n3: LiteralRun \"a\"\n6: LookAheadEnd slot 0\n"},
        ShapeCase{"(?!a)", 0,
                  "0: AssertionStart -> 11\n3: PushBacktrack -> 10\n6: LiteralRun \"a\"\n"
                  "9: NegativeLookAheadFail\n10: LookAheadEnd slot 0\n"},
        ShapeCase{"(?>a)", 0,
                  "0: AssertionStart -> 7\n3: LiteralRun \"a\"\n6: AtomicGroupEnd slot 0\n"},
        ShapeCase{"(?>a|b)", 0,
                  "0: AssertionStart -> 17\n3: PushBacktrack -> 12\n6: LiteralRun \"a\"\n"
                  "9: Goto -> 16\n12: LiteralRun \"b\"\n15: PushMarker\n"
                  "16: AtomicGroupEnd slot 0\n"},
        // A quantifier after a look-ahead repeats nothing.
        ShapeCase{"(?=a)*", 0,
                  "0: AssertionStart -> 7\n3: LiteralRun \"a\"\n6: LookAheadEnd slot 0\n"
                  "9: PushBacktrack -> 15\n12: GreedyLoopEnd -> 9\n"},
        ShapeCase{"(?i)a(?-i)b", 0,
                  "0: IgnoreCaseOn\n1: LiteralRun \"a\"\n4: IgnoreCaseOff\n5: LiteralRun \"b\"\n"},
        ShapeCase{"(?i:a)b", 0,
                  "0: PlainGroupStart\n1: IgnoreCaseOn\n2: LiteralRun \"a\"\n5: IgnoreCaseOff\n"
                  "6: PlainGroupEnd\n7: LiteralRun \"b\"\n"},
        ShapeCase{"(?m:a)", 0,
                  "0: PlainGroupStart\n1: SetRunOptions 0x04\n3: LiteralRun \"a\"\n"
                  "6: SetRunOptions 0x00\n8: PlainGroupEnd\n"},
        ShapeCase{"(?p)", IgnoreCase, "0: SetRunOptions 0x0d\n"},
        ShapeCase{"(?-p)", IgnoreCase | SingleLine | DotMatchesNewline, "0: SetRunOptions 0x01\n"},
        ShapeCase{"(?-p)", SingleLine, "0: SetRunOptions 0x08\n"},
        ShapeCase{"(?im-i)", 0, "0: SetRunOptions 0x04\n2: IgnoreCaseOff\n"},
        ShapeCase{"(a(?i)b)c", 0,
                  "0: CaptureStart 1 span 1\n3: LiteralRun \"a\"\n6: IgnoreCaseOn\n"
                  "7: LiteralRun \"b\"\n10: IgnoreCaseOff\n11: CaptureEnd 1 span 1\n"
                  "14: LiteralRun \"c\"\n"},
        ShapeCase{"((a)(b))\\2", 0,
                  "0: CaptureStart 1 span 3\n3: CaptureStart 2 span 1\n6: LiteralRun \"a\"\n"
                  "9: CaptureEnd 2 span 1\n12: CaptureStart 3 span 1\n15: LiteralRun \"b\"\n"
                  "18: CaptureEnd 3 span 1\n21: CaptureEnd 1 span 3\n24: BackReference 2\n"}));

TEST_F(CompileTest, LongLiteralRunsCloseAt127Bytes) {
  Compiled compiled(std::string(300, 'a'));
  ASSERT_TRUE(compiled.ok());
  const RegexProgram& program = compiled.program();
  EXPECT_EQ(program.codeLength, 300 + 3 * 2);
  EXPECT_EQ(program.code[1], 127);
  EXPECT_EQ(program.code[2 + 127 + 1], 127);
  EXPECT_EQ(program.code[2 * 129 + 1], 46);
}

TEST_F(CompileTest, EscapePairMayTakeARunTo128) {
  Compiled compiled(std::string(126, 'a') + "\\x41b");
  ASSERT_TRUE(compiled.ok());
  EXPECT_EQ(compiled.program().code[1], 128);
  EXPECT_EQ(compiled.program().code[130], LiteralRun);
}

TEST_F(CompileTest, ExactCountRepeatsARunUpTo255Bytes) {
  Compiled fits("(?:abc)x{255}");
  ASSERT_TRUE(fits.ok());
  EXPECT_NE(fits.listing().find("LiteralRun \"" + std::string(255, 'x') + "\""), std::string::npos);
  Compiled tooLong("x{256}");
  ASSERT_TRUE(tooLong.ok());
  EXPECT_NE(tooLong.listing().find("CountedRepeatStart"), std::string::npos);
}

TEST_F(CompileTest, ByteOfPlainGroupEndValueInsideARunIsNotTakenForTheInstruction) {
  // The run's last byte has the value of PlainGroupEnd; the copy must keep
  // the run whole.
  Compiled compiled("\x1b\x1c{2}");
  ASSERT_TRUE(compiled.ok());
  EXPECT_EQ(compiled.code(), "01 01 1B 01 02 1C 1C");
  Compiled options("(?:a)(?m){2}", LongestMatch | SingleLine);
  ASSERT_TRUE(options.ok());
  EXPECT_EQ(options.code(), "1B 01 01 61 1C 1F 1C 1B 01 01 61 1C 1F 1C");
}

TEST_F(CompileTest, BackReferencesVersusOctal) {
  std::string twelveGroups;
  for (int i = 0; i < 12; ++i) twelveGroups += "()";
  Compiled reference(twelveGroups + "\\12");
  ASSERT_TRUE(reference.ok());
  EXPECT_EQ(reference.program().code[reference.program().codeLength - 2], BackReference);
  EXPECT_EQ(reference.program().code[reference.program().codeLength - 1], 12);
  Compiled later("\\1(a)");
  ASSERT_TRUE(later.ok());
  EXPECT_EQ(later.code(), "24 01 19 01 01 01 01 61 1A 01 01");
  Compiled octal("\\89");
  ASSERT_TRUE(octal.ok());
  EXPECT_EQ(octal.code(), "01 04 FF 00 38 39");
}

TEST_F(CompileTest, NothingIsFoldedWithoutACaseTable) {
  RemoveCaseTableForTesting();
  Compiled compiled("AB", IgnoreCase);
  InstallCaseTable();
  ASSERT_TRUE(compiled.ok());
  EXPECT_EQ(compiled.code(), "01 02 41 42");
}

// --- Groups and limits ---------------------------------------------------------

TEST_F(CompileTest, Accepts253CapturingGroupsAndRefusesThe254th) {
  std::string groups;
  for (int i = 0; i < 253; ++i) groups += "(a)";
  Compiled most(groups);
  ASSERT_TRUE(most.ok()) << most.error();
  EXPECT_EQ(most.program().registerCount, 254);
  Compiled tooMany(groups + "(a)");
  EXPECT_EQ(tooMany.error(), "regular expression too big");
}

TEST_F(CompileTest, DeeplyNestedGroupsUseTheHeapStack) {
  std::string pattern;
  for (int i = 0; i < 5000; ++i) pattern += "(?:";
  pattern += "a";
  for (int i = 0; i < 5000; ++i) pattern += ")";
  Compiled compiled(pattern);
  ASSERT_TRUE(compiled.ok()) << compiled.error();
  EXPECT_EQ(compiled.program().codeLength, 10000 + 3);
}

TEST_F(CompileTest, CodeBufferDoublesFromItsStartAndStaysBelowTheLimit) {
  Compiled compiled(std::string(1000, 'a'));
  ASSERT_TRUE(compiled.ok());
  EXPECT_EQ(compiled.program().codeCapacity, 1024);
  EXPECT_LT(compiled.program().codeLength, compiled.program().codeCapacity);

  RegexProgram bare{};  // no buffer at all: the compiler gives it 28 bytes
  ASSERT_EQ(CompileRegex("ab", 2, bare), nullptr);
  EXPECT_EQ(bare.codeCapacity, 28);
  EXPECT_EQ(bare.codeLength, 4);
  std::free(bare.code);
  std::free(bare.skipTable);
  ReleaseWorkArrays(bare);
}

TEST_F(CompileTest, CodeBeyond65536BytesIsTooBig) {
  Compiled compiled(std::string(70000, 'a'));
  EXPECT_EQ(compiled.error(), "regular expression too big");
  EXPECT_EQ(compiled.program().codeCapacity, MaxCodeCapacity);
  // A class asks for 41 free bytes before it starts.
  Compiled classAtLimit(std::string(65500, '.') + "[a]");
  EXPECT_EQ(classAtLimit.error(), "regular expression too big");
  Compiled classBelowLimit(std::string(65400, '.') + "[a]");
  EXPECT_TRUE(classBelowLimit.ok()) << classBelowLimit.error();
}

TEST_F(CompileTest, JumpsThatWouldNotFitSixteenBitsMakeTheProgramTooBig) {
  const std::string body(40000, 'a');
  for (const std::string& pattern :
       {"(?:" + body + ")*", "(?:" + body + ")?", body + "|b", "(?:" + body + "){2,3}",
        "(?:" + body + "){0}", "(?=" + body + ")", "(?:a|" + body + ")"}) {
    Compiled compiled(pattern);
    EXPECT_EQ(compiled.error(), "regular expression too big") << pattern.substr(0, 4);
  }
  Compiled fits("(?:" + std::string(30000, 'a') + ")*");
  EXPECT_TRUE(fits.ok()) << fits.error();
}

// --- Search aids -------------------------------------------------------------

struct AidsCase {
  const char* pattern;
  std::uint32_t options;
  std::uint32_t optionsAfter;
  long required;
  long leadingSet;
};

class CompileSearchAids : public CompileTest, public ::testing::WithParamInterface<AidsCase> {};

TEST_P(CompileSearchAids, AreDerivedFromTheCode) {
  const AidsCase& c = GetParam();
  Compiled compiled(c.pattern, c.options);
  ASSERT_TRUE(compiled.ok()) << compiled.error();
  EXPECT_EQ(compiled.program().options, c.optionsAfter) << c.pattern;
  EXPECT_EQ(compiled.required(), c.required) << c.pattern << "\n" << compiled.listing();
  EXPECT_EQ(compiled.leadingSet(), c.leadingSet) << c.pattern;
  const bool skip = c.required >= 0 && !(c.optionsAfter & NoSkipSearch);
  EXPECT_EQ(compiled.program().skipTable != nullptr, skip) << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CompileSearchAids,
    ::testing::Values(
        AidsCase{"", 0, 0, -1, -1},
        AidsCase{"abc", 0, StartsWithLiteral, 1, -1},
        AidsCase{"(abc)", 0, StartsWithLiteral, 4, -1},
        AidsCase{"((abc))", 0, 0, 7, -1},
        AidsCase{".*abc", 0, StartsWithDotRepeat, 2, -1},
        AidsCase{"(.*)x", 0, StartsWithDotRepeat, 8, -1},
        AidsCase{".+", 0, 0, -1, -1},
        AidsCase{"[a-c]*x", 0, 0, 24, 3},
        AidsCase{"\\d+x", 0, 0, 22, 6},
        AidsCase{"(\\s*)", 0, 0, -1, 6},
        AidsCase{"[^a]*?", 0, 0, -1, -1},
        AidsCase{"x*abcd", 0, 0, 10, -1},
        AidsCase{"a|bcd", 0, 0, -1, -1},
        AidsCase{"(?:ab|c)de", 0, 0, 17, -1},
        AidsCase{"(?:ab|c|xyz)de", 0, 0, 28, -1},
        AidsCase{"x?ab(?:c)?cd", 0, 0, 7, -1},
        AidsCase{"a+bb", 0, 0, 13, -1},
        AidsCase{"x{0}abc", 0, 0, 7, -1},
        AidsCase{"x{2,3}abc", 0, 0, 24, -1},
        AidsCase{"x*(?i)abc", 0, 0, -1, -1},
        AidsCase{"(?=abc)x", 0, 0, 4, -1},
        AidsCase{"(?!abc)x", 0, 0, 16, -1},
        AidsCase{"\\x41bc", 0, StartsWithLiteral | NoSkipSearch, 1, -1},
        AidsCase{"ab\\x41", 0, StartsWithLiteral | NoSkipSearch, 1, -1},
        AidsCase{"^(?:abc)$", IgnoreCase | SingleLine, IgnoreCase | SingleLine, 3, -1}));

TEST_F(CompileTest, RequiredLiteralWalkTakesOnlyRealGotoInstructions) {
  // The optional piece ends in the bytes 08 1F 00 (a literal 0x08, then
  // SetRunOptions 0), which look like a forward Goto into the next run.
  const std::string text = std::string("abcdefghijklmnopqrstuvwxyzABC") + "\x01\x03yz";
  Compiled compiled("\x08(?-m)?" + text + ".");
  ASSERT_TRUE(compiled.ok()) << compiled.error();
  ASSERT_EQ(compiled.code().substr(0, 29), "0A 05 00 01 01 08 1F 00 01 21");
  EXPECT_EQ(compiled.required(), 9);
}

TEST_F(CompileTest, SkipTableFoldsUnderIgnoreCaseOrFoldForSearch) {
  for (const std::uint32_t options : {0u, static_cast<std::uint32_t>(IgnoreCase),
                                      static_cast<std::uint32_t>(FoldForSearch)}) {
    Compiled compiled("xABC", options);
    ASSERT_TRUE(compiled.ok());
    const std::int32_t* skip = compiled.program().skipTable;
    ASSERT_NE(skip, nullptr);
    EXPECT_EQ(skip[std::uint8_t{'z'}], 4);
    EXPECT_EQ(skip[std::uint8_t{'x'}], 3);
    if (options == 0) {
      EXPECT_EQ(skip[std::uint8_t{'A'}], 2);
      EXPECT_EQ(skip[std::uint8_t{'a'}], 4);
    } else {
      EXPECT_EQ(skip[std::uint8_t{'a'}], 2) << options;
      EXPECT_EQ(skip[std::uint8_t{'b'}], 1) << options;
      EXPECT_EQ(skip[std::uint8_t{'C'}], 4) << options;
    }
  }
}

TEST_F(CompileTest, BuildSkipTableKeepsTheLastOccurrence) {
  std::int32_t skip[256];
  const std::uint8_t literal[] = {'a', 'b', 'a', 'c'};
  BuildSkipTable(literal, 4, false, skip);
  EXPECT_EQ(skip[std::uint8_t{'a'}], 1);
  EXPECT_EQ(skip[std::uint8_t{'b'}], 2);
  EXPECT_EQ(skip[std::uint8_t{'c'}], 4);
  EXPECT_EQ(skip[0], 4);
}

TEST_F(CompileTest, FindRequiredLiteralPrefersTheFirstOfEqualLengths) {
  const std::uint8_t code[] = {LiteralRun, 2, 'a', 'b', Dot, LiteralRun, 2, 'c', 'd'};
  EXPECT_EQ(FindRequiredLiteral(code, code + sizeof code), code + 1);
  EXPECT_EQ(FindRequiredLiteral(code, code + 4), code + 1);
  // A run cut off by the end is not taken.
  EXPECT_EQ(FindRequiredLiteral(code, code + 3), nullptr);
}

TEST_F(CompileTest, WorkArraysHaveOneEntryPerRegister) {
  Compiled compiled("(a)(b)");
  ASSERT_TRUE(compiled.ok());
  const RegexProgram& program = compiled.program();
  EXPECT_EQ(program.registerCount, 3);
  for (std::int32_t* array : {program.startSlots, program.endSlots, program.groupStates}) {
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array[2], 0);
  }
  EXPECT_EQ(program.fastmapValid, 0);
}

// --- Allocation failures ---------------------------------------------------------

int allocationsLeft = 0;
bool CountingGate(std::size_t) { return allocationsLeft-- > 0; }

class AllocationFailure : public CompileTest {
 protected:
  void TearDown() override { SetAllocationGateForTesting(nullptr); }
};

TEST_F(AllocationFailure, EveryFailingAllocationGivesMemoryExhausted) {
  const std::string pattern = std::string(100, 'a') + std::string(20, '(') + "b" +
                              std::string(20, ')') + "cde";
  // Count the allocations one compilation makes, then fail each in turn.
  SetAllocationGateForTesting(CountingGate);
  allocationsLeft = 1000;
  {
    Compiled reference(pattern);
    ASSERT_TRUE(reference.ok());
  }
  const int needed = 1000 - allocationsLeft;
  ASSERT_GE(needed, 10);  // growth, group stack, skip table, work arrays
  for (int fail = 0; fail < needed; ++fail) {
    allocationsLeft = fail;
    Compiled compiled(pattern);
    EXPECT_EQ(compiled.error(), "memory exhausted") << "allocation " << fail;
    EXPECT_EQ(compiled.program().startSlots, nullptr);
    EXPECT_EQ(compiled.program().groupStates, nullptr);
    EXPECT_EQ(compiled.program().skipTable, nullptr);
    EXPECT_EQ(compiled.program().requiredLiteral, nullptr);
    EXPECT_EQ(compiled.program().options, 0u);
  }
}

TEST_F(AllocationFailure, RecordWithoutBufferReportsMemoryExhausted) {
  SetAllocationGateForTesting([](std::size_t) { return false; });
  RegexProgram bare{};
  EXPECT_STREQ(CompileRegex("a", 1, bare), "memory exhausted");
  EXPECT_EQ(bare.code, nullptr);
}

// --- Escape helpers ----------------------------------------------------------------

TEST(EscapeHelpers, ScanOctalAndHex) {
  struct Case {
    const char* text;
    int available;
    int maxDigits;
    bool hex;
    std::uint32_t value;
    int digits;
  };
  const Case cases[] = {
      {"777", 3, 3, false, 0777, 3}, {"1234", 4, 3, false, 0123, 3}, {"78", 2, 3, false, 7, 1},
      {"8", 1, 3, false, 0, 0},      {"777", 1, 3, false, 7, 1},     {"", 0, 3, false, 0, 0},
      {"41", 2, 2, true, 0x41, 2},   {"fF9", 3, 2, true, 0xFF, 2},   {"x1", 2, 2, true, 0x01, 2},
      {"g", 1, 2, true, 0, 0},       {"4", 1, 2, true, 4, 1},        {"12", 1, 2, true, 1, 1},
  };
  for (const Case& c : cases) {
    const ScanResult result = c.hex ? ScanHex(c.text, c.text + c.available, c.maxDigits)
                                    : ScanOctal(c.text, c.text + c.available, c.maxDigits);
    EXPECT_EQ(result.value, c.value) << c.text;
    EXPECT_EQ(result.digits, c.digits) << c.text;
  }
}

TEST(EscapeHelpers, EscapeLetterValues) {
  const std::pair<char, int> cases[] = {{'a', 0x07}, {'b', 0x08}, {'e', 0x1B}, {'f', 0x0C},
                                        {'n', 0x0A}, {'r', 0x0D}, {'t', 0x09}, {'v', 0x0B},
                                        {'q', 'q'},  {'.', '.'},  {'N', 'N'}};
  for (const auto& [letter, value] : cases) {
    EXPECT_EQ(EscapeLetterValue(static_cast<std::uint8_t>(letter)), value) << letter;
  }
}

TEST_F(CompileTest, CountedPatternIsNeverReadPastItsLength) {
  // The bytes after the counted length would change the result if read.
  const char text[] = "a{2}\\x41[ab]";
  const struct {
    std::size_t length;
    const char* error;
  } cases[] = {{2, "invalid regular expression; '{' can't be last character"},
               {5, "invalid regular expression; '\\' can't be last character"},
               {9, "invalid regular expression; '[' can't be the last character ie. can't "
                   "start range at the end of pattern"},
               {11, "premature end of regular expression"}};
  for (const auto& c : cases) {
    const RegexProgramOwner program(0);
    EXPECT_STREQ(CompileRegex(text, c.length, *program), c.error) << c.length;
  }
}

}  // namespace
}  // namespace fromsel::regex
