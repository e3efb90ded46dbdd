#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>

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
