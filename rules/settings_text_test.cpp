#include "rules/settings_text.h"

#include <gtest/gtest.h>

namespace fromsel {
namespace {

MailboxSettings Parse(const std::string& text) {
  MailboxSettings settings;
  ParseSettingsText(text, settings);
  return settings;
}

struct SwitchCase {
  const char* text;
  bool enabled;
};

class SettingLineTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(SettingLineTest, EnableValue) {
  EXPECT_EQ(Parse(GetParam().text).enabled, GetParam().enabled) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Lines, SettingLineTest,
                         ::testing::Values(SwitchCase{">ENABLE = 1\n", true},
                                           SwitchCase{"> enable=1\n", false},
                                           SwitchCase{">Enable=yes\n", false},
                                           SwitchCase{">Enable=-1\n", false},
                                           SwitchCase{">Enable\n", false},
                                           SwitchCase{">Enable=2\n", true},
                                           SwitchCase{">Enable=1x\n", true},
                                           SwitchCase{">Enable=1\n>Enable=0\n", false},
                                           SwitchCase{">Other=1\n", false}));

TEST(SettingsText, DeliveredToLine) {
  EXPECT_TRUE(Parse(">Delivered-To=1\n").lookAtDeliveredTo);
  EXPECT_FALSE(Parse(">Delivered-To=1\n").enabled);
}

TEST(SettingsText, RuleLineFlagsAndFields) {
  const MailboxSettings s =
      Parse(":rsvx:*@a.example\tMe\tme@a.example\textra\n::p\n:R\n::only\tname\n");
  ASSERT_EQ(s.rules.size(), 4u);
  EXPECT_TRUE(s.rules[0].regex && s.rules[0].setSender && s.rules[0].verp);
  EXPECT_EQ(s.rules[0].pattern, "*@a.example");
  EXPECT_EQ(s.rules[0].name, "Me");
  EXPECT_EQ(s.rules[0].address, "me@a.example");
  EXPECT_FALSE(s.rules[1].regex || s.rules[1].setSender || s.rules[1].verp);
  EXPECT_EQ(s.rules[1].pattern, "p");
  EXPECT_TRUE(s.rules[2].regex);
  EXPECT_EQ(s.rules[2].pattern, "");
  EXPECT_EQ(s.rules[3].name, "name");
  EXPECT_EQ(s.rules[3].address, "");
}

TEST(SettingsText, BareLinesKeepEverything) {
  const MailboxSettings s = Parse("a\tb c\n#comment\n;x\n");
  ASSERT_EQ(s.rules.size(), 3u);
  EXPECT_EQ(s.rules[0].pattern, "a\tb c");
  EXPECT_EQ(s.rules[0].name, "");
  EXPECT_EQ(s.rules[1].pattern, "#comment");
  EXPECT_EQ(s.rules[2].pattern, ";x");
}

TEST(SettingsText, CrLfLines) {
  const MailboxSettings s = Parse(">Enable=1\r\n::a\tN\tA\r\n\r\n::b\tN\tA\r\r\n");
  EXPECT_TRUE(s.enabled);
  ASSERT_EQ(s.rules.size(), 3u);
  EXPECT_EQ(s.rules[0].address, "A");
  EXPECT_EQ(s.rules[1].pattern, "");  // a blank CR LF line is an empty bare pattern
  EXPECT_EQ(s.rules[2].address, "A\r");
}

// Notepad saves UTF-8 with a byte-order mark: it is skipped, only at the
// start, and never written back.
TEST(SettingsText, ByteOrderMarkIsNotContent) {
  const MailboxSettings s = Parse("\xEF\xBB\xBF>Enable=1\n\xEF\xBB\xBF::a\tN\tA\n");
  EXPECT_TRUE(s.enabled);
  ASSERT_EQ(s.rules.size(), 1u);
  EXPECT_EQ(s.rules[0].pattern, "\xEF\xBB\xBF::a\tN\tA");  // not at the start: a bare line
  EXPECT_EQ(Parse("\xEF\xBB\xBF::a\tN\tA\n").rules.at(0).pattern, "a");
  EXPECT_EQ(FormatSettingsText(s).compare(0, 8, ">Enable="), 0);
}

TEST(SettingsText, EmptyLinesAreSkipped) {
  const MailboxSettings s = Parse("::a\t\t\n\n\n::b\t\t\n");
  ASSERT_EQ(s.rules.size(), 2u);
  EXPECT_EQ(s.rules[1].pattern, "b");
}

// Files far beyond any hand-made one: each line is read once, so these take
// a moment and not minutes (the test would time out on a quadratic reader).
TEST(SettingsText, LargeFilesReadEveryLine) {
  constexpr std::size_t kRules = 200000;
  std::string text = ">Enable=1\n";
  for (std::size_t i = 0; i < kRules; ++i) text += ":S:*@d" + std::to_string(i) + ".example\tN\ta@b\n";
  const MailboxSettings many = Parse(text);
  ASSERT_EQ(many.rules.size(), kRules);
  EXPECT_TRUE(many.enabled);
  EXPECT_EQ(many.rules.back().pattern, "*@d" + std::to_string(kRules - 1) + ".example");

  constexpr std::size_t kEmptyLines = std::size_t{4} << 20;
  const MailboxSettings empty = Parse(std::string(kEmptyLines, '\n') + "::last\t\t\n");
  ASSERT_EQ(empty.rules.size(), 1u);
  EXPECT_EQ(empty.rules[0].pattern, "last");
}

TEST(SettingsText, FormatExactly) {
  MailboxSettings s;
  s.enabled = true;
  AddressRule plain;
  AddressRule all;
  all.regex = all.setSender = all.verp = true;
  all.pattern = "(.+)@x";
  all.name = "N";
  all.address = "\\1@y";
  s.rules = {plain, all};
  EXPECT_EQ(FormatSettingsText(s),
            ">Enable=1\n>Delivered-To=0\n::\t\t\n:RSV:(.+)@x\tN\t\\1@y\n");
}

TEST(SettingsText, ControlBytesInFieldsBecomeBlanks) {
  MailboxSettings s;
  AddressRule rule;
  rule.pattern = "a\tb";
  rule.name = "c\rd";
  rule.address = "e\nf";
  s.rules = {rule};
  const MailboxSettings back = Parse(FormatSettingsText(s));
  ASSERT_EQ(back.rules.size(), 1u);
  EXPECT_EQ(back.rules[0].pattern, "a b");
  EXPECT_EQ(back.rules[0].name, "c d");
  EXPECT_EQ(back.rules[0].address, "e f");
}

TEST(SettingsText, RoundTrip) {
  MailboxSettings s;
  s.lookAtDeliveredTo = true;
  for (int i = 0; i < 8; ++i) {
    AddressRule rule;
    rule.regex = i & 1;
    rule.setSender = i & 2;
    rule.verp = i & 4;
    rule.pattern = std::string("p") + char('0' + i) + " \xE9:{a,b}";
    rule.name = i % 3 ? "Name " + std::to_string(i) : "";
    rule.address = "a" + std::to_string(i) + "@example.org";
    s.rules.push_back(rule);
  }
  EXPECT_TRUE(SameSettings(Parse(FormatSettingsText(s)), s));
  EXPECT_EQ(FormatSettingsText(Parse(FormatSettingsText(s))), FormatSettingsText(s));
}

}  // namespace
}  // namespace fromsel
