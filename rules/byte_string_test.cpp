#include "rules/byte_string.h"

#include <gtest/gtest.h>

namespace fromsel {
namespace {

TEST(ByteString, TrimBlanks) {
  struct Case { std::string in, out; };
  for (const Case& c : {Case{" \t a b \r\n", "a b"}, Case{"\x01x\x20", "x"}, Case{"   ", ""},
                        Case{"\xA0x\xA0", "\xA0x\xA0"}, Case{"", ""}}) {
    std::string text = c.in;
    TrimBlanks(text);
    EXPECT_EQ(text, c.out);
  }
}

TEST(ByteString, ParseLeadingDecimal) {
  EXPECT_EQ(ParseLeadingDecimal("255abc"), 255u);
  EXPECT_EQ(ParseLeadingDecimal(" 1"), 0u);
  EXPECT_EQ(ParseLeadingDecimal("-1"), 0u);
  EXPECT_EQ(ParseLeadingDecimal(""), 0u);
  EXPECT_EQ(ParseLeadingDecimal("4294967296"), 0u);  // wraps in 32 bits
  EXPECT_EQ(ParseLeadingDecimal("4294967297x"), 1u);
}

TEST(ByteString, SplitAtFirst) {
  std::string text = "a=b=c";
  EXPECT_EQ(SplitAtFirst(text, '='), "a");
  EXPECT_EQ(text, "b=c");
  text = "abc";
  EXPECT_EQ(SplitAtFirst(text, '='), "abc");
  EXPECT_EQ(text, "");
  text = "=";
  EXPECT_EQ(SplitAtFirst(text, '='), "");
  EXPECT_EQ(text, "");
}

TEST(ByteString, ToLowerAnsiWholeBuffer) {
  std::string text("AbC\0D\xC0\xD7", 7);
  ToLowerAnsi(text);
  EXPECT_EQ(text, std::string("abc\0d\xE0\xD7", 7));
}

}  // namespace
}  // namespace fromsel
