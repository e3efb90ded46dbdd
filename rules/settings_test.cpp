#include "rules/settings.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/platform.h"
#include "rules/settings_text.h"
#include "testing/test_folder.h"

namespace fromsel {
namespace {

using testing::TestFolder;

// Stands for what rule matching keeps in a rule.
struct SomeCache final : RuleCache {
  std::unique_ptr<RuleCache> CopyForAssignment() const override {
    return std::make_unique<SomeCache>();
  }
};

TEST(MailboxKey, IsTheDirectoryNameLowerCased) {
  EXPECT_EQ(MailboxKey("Work.MB"), "work.mb");
  EXPECT_EQ(MailboxKey("\xC4rger.mb"), "\xE4rger.mb");  // code page 1252 letters too
  EXPECT_EQ(MailboxKey(""), "");
}

class SettingsFiles : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::InjectWriteFailureForTesting(platform::WriteStep::None);
    ReleaseSettingsTable();
  }
  std::string data() const { return folder.withSeparator(); }
  TestFolder folder;
};

TEST_F(SettingsFiles, LoadReadsEveryMailboxDirectory) {
  folder.MakeDirectory("Work.mb");
  folder.MakeDirectory("Home.mb");
  folder.MakeDirectory("NoFile.mb");
  folder.MakeDirectory("Empty.mb");
  folder.WriteFile("Plain.mb", "::x\t\t\n");  // a file, not a mailbox
  folder.WriteFile("Work.mb/fromsel.ini", ">Enable=1\r\n::*@work.example\tMe\tme@work.example\r\n");
  folder.WriteFile("Home.mb/fromsel.ini", ">Delivered-To=1\n:R:(.+)@home\t\t\\1@x\n");
  folder.WriteFile("Empty.mb/fromsel.ini", "");

  LoadSettingsTable(data());
  SettingsTable& table = *CurrentSettingsTable();
  EXPECT_EQ(table.size(), 3u);
  EXPECT_EQ(table.count("nofile.mb"), 0u);
  EXPECT_EQ(table.count("plain.mb"), 0u);
  const MailboxSettings& work = table.at("work.mb");
  EXPECT_TRUE(work.enabled);
  ASSERT_EQ(work.rules.size(), 1u);
  EXPECT_EQ(work.rules[0].address, "me@work.example");
  EXPECT_TRUE(table.at("home.mb").lookAtDeliveredTo);
  EXPECT_TRUE(table.at("home.mb").rules[0].regex);
  const MailboxSettings& empty = table.at("empty.mb");
  EXPECT_FALSE(empty.enabled || empty.lookAtDeliveredTo);
  EXPECT_TRUE(empty.rules.empty());
}

TEST_F(SettingsFiles, LoadWithoutMailboxesGivesEmptyTable) {
  LoadSettingsTable(data());
  ASSERT_NE(CurrentSettingsTable(), nullptr);
  EXPECT_TRUE(CurrentSettingsTable()->empty());
  EXPECT_FALSE(SettingsFor(*CurrentSettingsTable(), "any.mb").enabled);
}

TEST_F(SettingsFiles, SaveWritesEveryDirectoryAndNothingElse) {
  folder.MakeDirectory("Work.mb");
  folder.MakeDirectory("Other.mb");
  folder.WriteFile("Plain.mb", "keep me");
  SettingsTable table;
  MailboxSettings& work = SettingsFor(table, "work.mb");
  work.enabled = true;
  AddressRule rule;
  rule.pattern = "*@{a,b}.example";
  rule.name = "Me";
  rule.address = "me@a.example";
  work.rules.push_back(rule);
  SettingsFor(table, "gone.mb").enabled = true;  // no directory: stays in memory only

  SaveSettingsTableTo(data(), table);
  EXPECT_EQ(folder.ReadFile("Work.mb/fromsel.ini"),
            ">Enable=1\n>Delivered-To=0\n::*@{a,b}.example\tMe\tme@a.example\n");
  EXPECT_EQ(folder.ReadFile("Other.mb/fromsel.ini"), ">Enable=0\n>Delivered-To=0\n");
  EXPECT_EQ(folder.ReadFile("Plain.mb"), "keep me");
  EXPECT_FALSE(folder.Exists("gone.mb"));
  EXPECT_EQ(table.count("other.mb"), 1u);

  SettingsTable back;
  LoadSettingsTableFrom(data(), back);
  EXPECT_TRUE(SameSettings(back.at("work.mb"), table.at("work.mb")));
  EXPECT_FALSE(folder.Exists("Work.mb/fromsel.ini.new"));
}

class FailedSave : public SettingsFiles,
                   public ::testing::WithParamInterface<platform::WriteStep> {};

TEST_P(FailedSave, KeepsTheOldFileByteForByte) {
  folder.MakeDirectory("Work.mb");
  const std::string old = ">Enable=1\r\n::old\tOld\told@example.org\r\n";
  folder.WriteFile("Work.mb/fromsel.ini", old);
  SettingsTable table;
  SettingsFor(table, "work.mb").rules.resize(3);

  platform::InjectWriteFailureForTesting(GetParam());
  SaveSettingsTableTo(data(), table);
  EXPECT_EQ(folder.ReadFile("Work.mb/fromsel.ini"), old);
  EXPECT_FALSE(folder.Exists("Work.mb/fromsel.ini.new"));
}

INSTANTIATE_TEST_SUITE_P(Steps, FailedSave,
                         ::testing::Values(platform::WriteStep::Create, platform::WriteStep::Write,
                                           platform::WriteStep::Replace));

TEST_F(SettingsFiles, AssignmentDropsOldEntriesAndCaches) {
  LoadSettingsTable(data());
  AddressRule& live = SettingsFor(*CurrentSettingsTable(), "a.mb").rules.emplace_back();
  live.pattern = "x";
  live.cache = std::make_unique<SomeCache>();
  SettingsTable copy = *CurrentSettingsTable();
  EXPECT_EQ(copy.at("a.mb").rules[0].cache, nullptr);
  SettingsFor(copy, "b.mb").enabled = true;
  copy.erase("a.mb");
  AssignSettingsTable(copy);
  EXPECT_EQ(CurrentSettingsTable()->count("a.mb"), 0u);
  EXPECT_TRUE(CurrentSettingsTable()->at("b.mb").enabled);
  ReleaseSettingsTable();
  EXPECT_EQ(CurrentSettingsTable(), nullptr);
}

}  // namespace
}  // namespace fromsel
