#include "rules/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

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
  int FilesIn(const std::string& directory) const {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(folder.path() / directory))
      ++count;
    return count;
  }
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

  EXPECT_TRUE(SaveSettingsTableTo(data(), table, {}).empty());
  EXPECT_EQ(folder.ReadFile("Work.mb/fromsel.ini"),
            ">Enable=1\n>Delivered-To=0\n::*@{a,b}.example\tMe\tme@a.example\n");
  EXPECT_EQ(folder.ReadFile("Other.mb/fromsel.ini"), ">Enable=0\n>Delivered-To=0\n");
  EXPECT_EQ(folder.ReadFile("Plain.mb"), "keep me");
  EXPECT_FALSE(folder.Exists("gone.mb"));
  EXPECT_EQ(table.count("other.mb"), 1u);

  SettingsTable back;
  LoadSettingsTableFrom(data(), back);
  EXPECT_TRUE(SameSettings(back.at("work.mb"), table.at("work.mb")));
  EXPECT_EQ(FilesIn("Work.mb"), 1);  // no temporary file left behind
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
  // A changed mailbox whose file could not be written is named.
  EXPECT_EQ(SaveSettingsTableTo(data(), table, {"work.mb"}),
            std::vector<std::string>{data() + "Work.mb\\fromsel.ini"});
  EXPECT_EQ(folder.ReadFile("Work.mb/fromsel.ini"), old);
  EXPECT_EQ(FilesIn("Work.mb"), 1);
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


// What a save does with a mailbox's file, by what the file held when it was
// read, what it holds now and whether the user changed the mailbox.
struct SaveCase {
  const char* name;
  const char* atLoad;    // the file when the table is loaded; null: none
  bool unreadableAtLoad; // a folder where the file should be: cannot be read
  const char* atSave;    // the file just before the save; null: none
  bool changed;          // the user enabled the mailbox in the dialog
  const char* expected;  // the file after the save; null: none
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

class SaveCases : public SettingsFiles, public ::testing::WithParamInterface<SaveCase> {};

constexpr const char* kHandWritten = ">Enable=1\r\n::*@hand.example\tHand\th@x\r\n";
constexpr const char* kRestored = ">Enable=1\n::*@backup.example\tB\tb@x\n";
constexpr const char* kDefaults = ">Enable=0\n>Delivered-To=0\n";
constexpr const char* kHandWrittenSaved = ">Enable=1\n>Delivered-To=0\n::*@hand.example\tHand\th@x\n";
constexpr const char* kEnabledSaved = ">Enable=1\n>Delivered-To=0\n";

TEST_P(SaveCases, WritesOnlyWhatItReadOrTheUserChanged) {
  const SaveCase& c = GetParam();
  folder.MakeDirectory("Work.mb");
  const std::string file = "Work.mb/fromsel.ini";
  if (c.unreadableAtLoad) folder.MakeDirectory(file);
  if (c.atLoad) folder.WriteFile(file, c.atLoad);
  LoadSettingsTable(data());
  std::filesystem::remove_all(folder.path() / "Work.mb" / "fromsel.ini");
  if (c.atSave) folder.WriteFile(file, c.atSave);
  SettingsTable& table = *CurrentSettingsTable();
  ChangedMailboxes changed;
  if (c.changed) {
    SettingsFor(table, "work.mb").enabled = true;
    changed.insert("work.mb");
  }

  EXPECT_TRUE(SaveSettingsTable(data(), changed).empty());
  if (c.expected)
    EXPECT_EQ(folder.ReadFile(file), c.expected);
  else
    EXPECT_FALSE(folder.Exists(file));
}

INSTANTIATE_TEST_SUITE_P(
    Saves, SaveCases,
    ::testing::Values(
        SaveCase{"StillAsReadIsRewritten", kHandWritten, false, kHandWritten, false,
                 kHandWrittenSaved},
        SaveCase{"StillAbsentGetsTheDefaults", nullptr, false, nullptr, false, kDefaults},
        SaveCase{"LockedAtLoadIsKept", nullptr, true, kHandWritten, false, kHandWritten},
        SaveCase{"RestoredAfterLoadIsKept", nullptr, false, kRestored, false, kRestored},
        SaveCase{"EditedAfterLoadIsKept", kHandWritten, false, kRestored, false, kRestored},
        SaveCase{"RemovedAfterLoadStaysRemoved", kHandWritten, false, nullptr, false, nullptr},
        SaveCase{"ChangedIsWrittenOverTheEdit", kHandWritten, false, kRestored, true,
                 ">Enable=1\n>Delivered-To=0\n::*@hand.example\tHand\th@x\n"},
        SaveCase{"ChangedIsWrittenOverALockedOne", nullptr, true, kRestored, true,
                 kEnabledSaved}),
    [](const ::testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

TEST_F(SettingsFiles, ASavedFileIsTheNewRecord) {
  folder.MakeDirectory("Work.mb");
  LoadSettingsTable(data());
  EXPECT_TRUE(SaveSettingsTable(data(), {"work.mb"}).empty());
  // Written by the save, so still as recorded: the next save rewrites it.
  SettingsFor(*CurrentSettingsTable(), "work.mb").enabled = true;
  EXPECT_TRUE(SaveSettingsTable(data(), {}).empty());
  EXPECT_EQ(folder.ReadFile("Work.mb/fromsel.ini"), kEnabledSaved);
}

TEST_F(SettingsFiles, AReadOnlyFileIsLeftAloneAndNamed) {
  folder.MakeDirectory("Work.mb");
  folder.WriteFile("Work.mb/fromsel.ini", kHandWritten);
  const std::filesystem::path file = folder.path() / "Work.mb" / "fromsel.ini";
  LoadSettingsTable(data());
  std::filesystem::permissions(file, std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  SettingsFor(*CurrentSettingsTable(), "work.mb").rules.clear();
  EXPECT_TRUE(SaveSettingsTable(data(), {}).empty());  // unchanged: silently kept
  EXPECT_EQ(SaveSettingsTable(data(), {"work.mb"}),
            std::vector<std::string>{data() + "Work.mb\\fromsel.ini"});
  EXPECT_EQ(folder.ReadFile("Work.mb/fromsel.ini"), kHandWritten);
  std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

}  // namespace
}  // namespace fromsel
