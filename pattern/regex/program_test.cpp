#include "pattern/regex/program.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace fromsel::regex {
namespace {

TEST(RegexProgram, CreationGivesTheSmallBuffersAndTheOptions) {
  RegexProgram* program = CreateRegexProgram(9);
  ASSERT_NE(program, nullptr);
  EXPECT_NE(program->code, nullptr);
  EXPECT_EQ(program->codeCapacity, InitialCodeCapacity);
  EXPECT_EQ(program->codeLength, 0);
  EXPECT_NE(program->fastmap, nullptr);
  EXPECT_EQ(program->options, 9u);
  EXPECT_EQ(program->registerCount, 0);
  EXPECT_EQ(program->requiredLiteral, nullptr);
  EXPECT_EQ(program->skipTable, nullptr);
  EXPECT_EQ(program->leadingSet, nullptr);
  EXPECT_EQ(program->startSlots, nullptr);
  EXPECT_EQ(program->groupStates, nullptr);
  std::memset(program->fastmap, 1, 256);  // the fastmap holds 256 flags
  ReleaseRegexProgram(program);
  ReleaseRegexProgram(nullptr);
}

TEST(RegexProgram, OwnerHoldsACreatedProgram) {
  const RegexProgramOwner owner(9);
  ASSERT_TRUE(owner);
  EXPECT_EQ(owner.get(), &*owner);
  EXPECT_EQ(owner->options, 9u);
  EXPECT_EQ(owner->codeCapacity, InitialCodeCapacity);
}

TEST(RegexProgram, ReleaseWorkArraysClearsEveryArray) {
  RegexProgram program{};
  std::int32_t** arrays[] = {&program.startSlots, &program.endSlots, &program.groupStates};
  for (std::int32_t** array : arrays) {
    *array = static_cast<std::int32_t*>(std::malloc(4 * sizeof(std::int32_t)));
  }
  ReleaseWorkArrays(program);
  for (std::int32_t** array : arrays) EXPECT_EQ(*array, nullptr);
}

TEST(RegexTables, CaseTableFoldsOnlyAsciiUpperCaseOnceInstalled) {
  RemoveCaseTableForTesting();
  EXPECT_EQ(CaseTable(), nullptr);
  InstallCaseTable();
  const std::uint8_t* table = CaseTable();
  ASSERT_NE(table, nullptr);
  for (int c = 0; c < 256; ++c) {
    const int expected = c >= 'A' && c <= 'Z' ? c + 32 : c;
    EXPECT_EQ(table[c], expected) << c;
  }
}

TEST(RegexTables, WordTableHoldsAsciiLettersDigitsAndUnderscore) {
  const std::uint8_t* table = WordTable();
  int members = 0;
  for (int c = 0; c < 256; ++c) members += table[c];
  EXPECT_EQ(members, 26 + 26 + 10 + 1);
  for (const int c : {'a', 'z', 'A', 'Z', '0', '9', '_'}) EXPECT_EQ(table[c], 1) << c;
  for (const int c : {int{'@'}, int{'['}, int{'`'}, int{'{'}, int{'/'}, int{':'}, int{' '}, 0x80, 0xC0, 0xFF}) {
    EXPECT_EQ(table[c], 0) << c;
  }
}

TEST(ByteCode, OpcodeNames) {
  EXPECT_STREQ(OpcodeName(LiteralRun), "LiteralRun");
  EXPECT_STREQ(OpcodeName(PushBacktrack), "PushBacktrack");
  EXPECT_STREQ(OpcodeName(NotAtWordBoundary), "NotAtWordBoundary");
  EXPECT_STREQ(OpcodeName(NoOperation), "NoOperation");
  EXPECT_STREQ(OpcodeName(44), "op 44");
  EXPECT_STREQ(OpcodeName(255), "op 255");
}

TEST(ByteCode, InstructionLengths) {
  struct Case {
    std::string bytes;
    int length;
  };
  const Case cases[] = {
      {std::string("\x01\x03" "abc", 5), 5},
      {std::string("\x01\x03" "ab", 4), 0},  // cut off
      {std::string("\x01", 1), 0},
      {std::string("\x01\xFF", 2), 0},
      {std::string("\x02", 1), 1},
      {std::string("\x08\x00\x00", 3), 3},
      {std::string("\x08\x00", 2), 0},
      {std::string("\x0E", 1), 1},
      {std::string("\x0F\x00\x00\x02\x00", 5), 5},
      {std::string("\x14\x00\x00\x02", 4), 0},
      {std::string("\x17\x01\x80\x00\x00", 5), 5},
      {std::string("\x17\x01\x80\x01\x00" "12345678", 13), 13},
      {std::string("\x18\x01\x80\x01\x00" "1234567", 12), 0},
      {std::string("\x18\x02\x80", 3), 0},
      {std::string("\x19\x01\x01", 3), 3},
      {std::string("\x1F\x09", 2), 2},
      {std::string("\x20\x00\x00", 3), 3},
      {std::string("\x21\x00\x00", 3), 3},
      {std::string("\x23\x00\x00", 3), 3},
      {std::string("\x24\x01", 2), 2},
      {std::string("\x25", 1), 1},
      {std::string("\x2B", 1), 1},
      {std::string("\x63", 1), 1},
      {std::string(), 0},
  };
  for (const Case& c : cases) {
    const auto* at = reinterpret_cast<const std::uint8_t*>(c.bytes.data());
    EXPECT_EQ(InstructionLength(at, at + c.bytes.size()), c.length)
        << OpcodeName(c.bytes.empty() ? 0 : at[0]) << " of " << c.bytes.size() << " bytes";
  }
}

TEST(ByteCode, OperandHelpers) {
  std::uint8_t code[16] = {};
  std::uint8_t* field = code + 10;
  WriteU16(field, 0xFFF7);
  EXPECT_EQ(ReadDisp16(field), -9);
  EXPECT_EQ(JumpTarget(field), code + 3);
  const std::uint8_t set[] = {ByteSet, 2, 0x00, 0x02, 0, 0};
  EXPECT_TRUE(ByteSetHas(set, 9));
  EXPECT_FALSE(ByteSetHas(set, 8));
  EXPECT_FALSE(ByteSetHas(set, 200));
}

}  // namespace
}  // namespace fromsel::regex
