#include "pattern/regex/disasm.h"

#include <gtest/gtest.h>

#include <string>

namespace fromsel::regex {
namespace {

std::string List(const std::string& bytes) {
  return Disassemble(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                     static_cast<int>(bytes.size()));
}

TEST(Disassemble, ListsEveryOperandKind) {
  struct Case {
    std::string code;
    const char* listing;
  };
  const Case cases[] = {
      {std::string("\x0A\x06\x00\x01\x01x\x0C\xF7\xFF", 9),
       "0: PushBacktrack -> 9\n3: LiteralRun \"x\"\n6: GreedyLoopEnd -> 0\n"},
      {std::string("\x01\x06" "a\"\\\xFF" "A\x07", 8), "0: LiteralRun \"a\\\"\\\\\\!A\\x07\"\n"},
      {std::string("\x14\x03\x00\x02\x00", 5), "0: SetCounter -> 6 value 2\n"},
      {std::string("\x0F\x00\x00\x02\x00\x13\xF8\xFF\x01\x00", 10),
       "0: CountedRepeatStart -> 3 count 2\n5: LazyCountedLoopEnd -> 0 count 1\n"},
      {std::string("\x17\x02\x00\x07\x01\x00" "12345678", 14),
       "0: ByteSet [\\x08-\\x0a] L=2 ranges=1\n"},
      {std::string("\x18\x0C\x00\x00\x00\x00\x00\x20\x00\x00\x00\x00\x00\x20\x00\x00", 16),
       "0: NegatedByteSet [\\-\\]] L=12\n"},
      {std::string("\x19\x02\x03\x1A\x02\x03", 6), "0: CaptureStart 2 span 3\n3: CaptureEnd 2 span 3\n"},
      {std::string("\x1F\x0D\x21\x05\x00\x24\x09", 7),
       "0: SetRunOptions 0x0d\n2: LookAheadEnd slot 5\n5: BackReference 9\n"},
      {std::string("\x00\x25\x2C\xFF", 4), "0: NoOperation\n1: UnusedOpcode37\n2: op 44\n3: op 255\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(List(c.code), c.listing);
}

TEST(Disassemble, StopsAtAnInstructionCutOffByTheEnd) {
  EXPECT_EQ(List(std::string("\x02\x01\x05" "ab", 5)), "0: AtLineStart\n1: LiteralRun (cut off)\n");
  EXPECT_EQ(List(std::string("\x08\x00", 2)), "0: Goto (cut off)\n");
  EXPECT_EQ(List(""), "");
}

TEST(Disassemble, ListsAWholeProgram) {
  RegexProgram program{};
  std::uint8_t code[] = {AtTextStart, Dot, DotRepeat};
  program.code = code;
  program.codeLength = 2;
  EXPECT_EQ(Disassemble(program), "0: AtTextStart\n1: Dot\n");
}

}  // namespace
}  // namespace fromsel::regex
