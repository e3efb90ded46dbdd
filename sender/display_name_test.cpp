#include "sender/display_name.h"

#include <gtest/gtest.h>

namespace fromsel {
namespace {

struct NameCase {
  const char* name;
  std::string stored;
  std::string written;
};

class DisplayNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(DisplayNameTest, IsWrittenAsAPhrase) {
  EXPECT_EQ(DisplayNameForFrom(GetParam().stored), GetParam().written);
  // Whatever is written is a phrase, and stays as it is when written again.
  EXPECT_TRUE(IsPhrase(GetParam().written));
  EXPECT_EQ(DisplayNameForFrom(GetParam().written), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DisplayNameTest,
    ::testing::Values(
        NameCase{"Atoms", "Jane Doe", "Jane Doe"},
        NameCase{"AtomSymbols", "J!m #1 O'Neil", "J!m #1 O'Neil"},
        NameCase{"QuotedAlready", "\"Doe, Jane\"", "\"Doe, Jane\""},
        NameCase{"QuotedAndAtom", "\"Doe, J.\" Work", "\"Doe, J.\" Work"},
        NameCase{"QuotedWithEscapes", "\"a \\\" b\"", "\"a \\\" b\""},
        NameCase{"Comma", "Doe, Jane", "\"Doe, Jane\""},
        NameCase{"Comment", "Jane Doe (Example Corp)", "\"Jane Doe (Example Corp)\""},
        NameCase{"Period", "Jane Q. Doe", "\"Jane Q. Doe\""},
        NameCase{"AngleAddress", "Jane <jane@x.example>", "\"Jane <jane@x.example>\""},
        NameCase{"QuoteInside", "Jane \"JD\" Doe, Jr", "\"Jane \\\"JD\\\" Doe, Jr\""},
        NameCase{"UnclosedQuote", "\"Doe, Jane", "\"\\\"Doe, Jane\""},
        NameCase{"Backslash", "a\\b", "\"a\\\\b\""},
        NameCase{"Blanks", "  ", "\"  \""},
        NameCase{"HighBytesStayRaw", "J\xC3\xA9r\xC3\xB4me", "J\xC3\xA9r\xC3\xB4me"},
        NameCase{"HighBytesQuotedRaw", "M\xFCller, Hans", "\"M\xFCller, Hans\""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace fromsel
