#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/codepage1252.h"
#include "platform/profile_text.h"
#include "testing/test_folder.h"

namespace fromsel::platform {
namespace {

using testing::TestFolder;

// Natively this checks the table against itself; in the Windows build it
// checks the code page 1252 table against the system's CharLowerBuffA.
TEST(Platform, BufferLowerCasingAgreesWithCodePage1252ForAllBytes) {
  char all[256];
  for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
  LowerAnsiBuffer(all, sizeof all);
  for (int i = 0; i < 256; ++i)
    EXPECT_EQ(static_cast<unsigned char>(all[i]), LowerCodePage1252(static_cast<unsigned char>(i)))
        << "byte " << i;
}

TEST(Platform, SingleByteLowerCasingAgreesWithCodePage1252) {
  for (int i = 1; i < 256; ++i)
    EXPECT_EQ(LowerAnsiChar(static_cast<unsigned char>(i)),
              LowerCodePage1252(static_cast<unsigned char>(i)))
        << "byte " << i;
}

TEST(Platform, CodePage1252LowerCaseLetters) {
  EXPECT_EQ(LowerCodePage1252('A'), 'a');
  EXPECT_EQ(LowerCodePage1252(0xC0), 0xE0);
  EXPECT_EQ(LowerCodePage1252(0xD7), 0xD7);
  EXPECT_EQ(LowerCodePage1252(0xDE), 0xFE);
  EXPECT_EQ(LowerCodePage1252(0xDF), 0xDF);
  EXPECT_EQ(LowerCodePage1252(0x9F), 0xFF);
}

TEST(Platform, ListsMailboxEntriesWithDirectoryFlag) {
  TestFolder folder;
  folder.MakeDirectory("Work.mb");
  folder.MakeDirectory("other");
  folder.WriteFile("plain.mb", "");
  folder.WriteFile("notes.txt", "");
  auto entries = ListMailboxEntries(folder.withSeparator());
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "Work.mb");
  EXPECT_TRUE(entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, "plain.mb");
  EXPECT_FALSE(entries[1].isDirectory);
  EXPECT_TRUE(ListMailboxEntries(folder.withSeparator() + "missing\\").empty());
}

TEST(Platform, ReadsAndReplacesWholeFiles) {
  TestFolder folder;
  const std::string path = folder.withSeparator() + "f.ini";
  std::string text;
  EXPECT_FALSE(ReadWholeFile(path, text));
  const std::string bytes("a\0b\r\n\xFF", 6);
  EXPECT_TRUE(WriteWholeFileAtomically(path, bytes));
  EXPECT_TRUE(ReadWholeFile(path, text));
  EXPECT_EQ(text, bytes);
  EXPECT_TRUE(WriteWholeFileAtomically(path, ""));
  EXPECT_TRUE(ReadWholeFile(path, text));
  EXPECT_EQ(text, "");
}

// Everything in the folder: a save leaves no temporary file behind.
std::vector<std::string> FolderNames(const TestFolder& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Platform, ReadStatusTellsAbsentFromUnreadable) {
  TestFolder folder;
  std::string text = "stale";
  EXPECT_EQ(ReadWholeFileStatus(folder.withSeparator() + "none.ini", text), FileRead::Absent);
  EXPECT_EQ(text, "");
  EXPECT_EQ(ReadWholeFileStatus(folder.withSeparator() + "no\\none.ini", text), FileRead::Absent);
  folder.MakeDirectory("folder.ini");
  EXPECT_EQ(ReadWholeFileStatus(folder.withSeparator() + "folder.ini", text), FileRead::Unreadable);
  folder.WriteFile("f.ini", "abc");
  EXPECT_EQ(ReadWholeFileStatus(folder.withSeparator() + "f.ini", text), FileRead::Read);
  EXPECT_EQ(text, "abc");
}

TEST(Platform, ReadOnlyFileIsLeftAlone) {
  TestFolder folder;
  folder.WriteFile("f.ini", "old");
  const auto path = folder.path() / "f.ini";
  std::filesystem::permissions(path, std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  EXPECT_FALSE(WriteWholeFileAtomically(folder.withSeparator() + "f.ini", "new"));
  EXPECT_EQ(folder.ReadFile("f.ini"), "old");
  EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"f.ini"});
  std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
}

// Two savers at once each replace the file whole: it ends as one of their
// texts, never a mix, and no temporary file is left.
TEST(Platform, ConcurrentSavesNeverMix) {
  TestFolder folder;
  const std::string path = folder.withSeparator() + "f.ini";
  constexpr int kSavers = 4;
  constexpr int kSaves = 50;
  constexpr std::size_t kTextSize = 64 * 1024;
  std::vector<std::string> texts;
  for (int i = 0; i < kSavers; ++i) texts.emplace_back(kTextSize, static_cast<char>('a' + i));
  std::vector<std::thread> savers;
  for (int i = 0; i < kSavers; ++i)
    savers.emplace_back([&, i] {
      for (int n = 0; n < kSaves; ++n) WriteWholeFileAtomically(path, texts[i]);
    });
  for (std::thread& saver : savers) saver.join();
  EXPECT_NE(std::find(texts.begin(), texts.end(), folder.ReadFile("f.ini")), texts.end());
  EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"f.ini"});
}

#ifndef _WIN32
TEST(Platform, PlantedTemporaryLinkIsNeverWrittenThrough) {
  TestFolder folder;
  folder.WriteFile("victim", "victim's own");
  std::filesystem::create_symlink(folder.path() / "victim", folder.path() / "fromsel.ini.new");
  EXPECT_TRUE(WriteWholeFileAtomically(folder.withSeparator() + "fromsel.ini", "rules"));
  EXPECT_EQ(folder.ReadFile("fromsel.ini"), "rules");
  EXPECT_EQ(folder.ReadFile("victim"), "victim's own");
}

TEST(Platform, ALinkIsReplacedAtItsTarget) {
  TestFolder folder;
  folder.MakeDirectory("shared");
  folder.WriteFile("shared/rules.ini", "old");
  ::chmod((folder.path() / "shared" / "rules.ini").c_str(), 0640);
  std::filesystem::create_symlink("shared/rules.ini", folder.path() / "fromsel.ini");
  EXPECT_TRUE(WriteWholeFileAtomically(folder.withSeparator() + "fromsel.ini", "new"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder.path() / "fromsel.ini"));
  EXPECT_EQ(folder.ReadFile("shared/rules.ini"), "new");
  struct stat info {};
  ASSERT_EQ(::stat((folder.path() / "shared" / "rules.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);  // the old file's permissions kept
  // A loop of links is no file to write.
  std::filesystem::create_symlink("b", folder.path() / "a");
  std::filesystem::create_symlink("a", folder.path() / "b");
  EXPECT_FALSE(WriteWholeFileAtomically(folder.withSeparator() + "a", "x"));
}

TEST(Platform, APipeOrDeviceIsNotWaitedOn) {
  TestFolder folder;
  const auto fifo = folder.path() / "fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string text;
  EXPECT_EQ(ReadWholeFileStatus(fifo.string(), text), FileRead::Unreadable);
  EXPECT_EQ(ReadWholeFileStatus("/dev/zero", text), FileRead::Unreadable);
  EXPECT_EQ(ReadProfileString("A", "k", "dflt", fifo.string()), "dflt");
  EXPECT_FALSE(WriteWholeFileAtomically(fifo.string(), "x"));
}
#endif

TEST(Platform, ProfileValues) {
  TestFolder folder;
  const std::string ini = folder.withSeparator() + "Mailbox.ini";
  folder.WriteFile("Mailbox.ini",
                   "[General]\r\nName=wrong\r\n[ACCOUNT]\r\n  name =  \"Work mail\"  \r\nOther=1\r\n");
  EXPECT_EQ(ReadProfileString("Account", "Name", "", ini), "Work mail");
  EXPECT_EQ(ReadProfileString("Account", "Missing", "dflt", ini), "dflt");
  EXPECT_EQ(ReadProfileString("Account", "Name", "", ini + ".none"), "");
  const std::string longValue(1000, 'v');
  EXPECT_TRUE(WriteProfileValue("Freshen", "Update", longValue, ini));
  EXPECT_EQ(ReadProfileString("Freshen", "Update", "", ini), longValue);
  EXPECT_TRUE(WriteProfileValue("Freshen", "Update", "new", ini));
  EXPECT_EQ(ReadProfileString("Freshen", "Update", "", ini), "new");
  EXPECT_EQ(ReadProfileString("Account", "Other", "", ini), "1");
}

TEST(ProfileText, SetValueKeepsOtherSections) {
  const std::string text = "[A]\nk=1\n\n[B]\nx=2\n";
  EXPECT_EQ(SetProfileValue(text, "a", "K", "3"), "[A]\nK=3\n\n[B]\nx=2\n");
  EXPECT_EQ(SetProfileValue(text, "A", "n", "4"), "[A]\nk=1\nn=4\n\n[B]\nx=2\n");
  EXPECT_EQ(SetProfileValue(text, "C", "z", "5"), "[A]\nk=1\n\n[B]\nx=2\n[C]\nz=5\n");
}

}  // namespace
}  // namespace fromsel::platform
