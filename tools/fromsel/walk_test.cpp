// fromsel check over real data folders in a temporary folder.
#include <gtest/gtest.h>

#include "testing/test_folder.h"
#include "tools/fromsel/run_fromsel_test.h"

namespace fromsel::cli {
namespace {

using testing::TestFolder;

CliRun Check(const TestFolder& folder) {
  return RunFromsel({"check", "--data", folder.path().string()});
}

TEST(CheckCommand, CleanDataFolderPrintsNothing) {
  TestFolder data;
  data.MakeDirectory("Work.mb");
  data.MakeDirectory("Empty.mb");  // no settings file: a mailbox without rules
  data.WriteFile("Work.mb/fromsel.ini",
                 ">Enable=1\n>Delivered-To=0\n::*@{example.com,example.org}\tMe\tme@example.com\n"
                 ":RS:(.+)@lists\\.example\\.org\t\tme+\\1@example.net\n");
  const CliRun run = Check(data);
  EXPECT_EQ(run.code, ExitYes) << run.out << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
}

TEST(CheckCommand, ReportsEveryProblemByMailboxAndRule) {
  TestFolder data;
  data.MakeDirectory("Work.mb");
  data.MakeDirectory("Home.mb");
  data.WriteFile("NotAMailbox.mb", ":R:(\n");  // a plain file named like a mailbox
  // Hand-edited with CR LF ends: the blank line is a rule with an empty
  // pattern, and a line ending in two CRs keeps one in its last field.
  data.WriteFile("Work.mb/fromsel.ini",
                 ">Enable=1\r\n\r\n:R:(.+@example\\.org\tMe\tme@example.org\r\n"
                 "::*@{a,b\tMe\tme@example.org\r\r\n");
  data.WriteFile("Home.mb/fromsel.ini", "::*@home.example\n\tstray\tfields\n");
  const auto before = data.Snapshot();
  const CliRun run = Check(data);
  EXPECT_EQ(run.code, ExitNo);
  EXPECT_EQ(run.err, "");
  const std::string compileProblem = "Work.mb: rule 2: regular expression does not compile: ";
  ASSERT_NE(run.out.find(compileProblem), std::string::npos) << run.out;
  const std::size_t compileLineEnd = run.out.find('\n', run.out.find(compileProblem));
  const std::string withoutCompilerText =
      run.out.substr(0, run.out.find(compileProblem) + compileProblem.size()) +
      run.out.substr(compileLineEnd);
  EXPECT_EQ(withoutCompilerText,
            "Home.mb: rule 2: pattern holds a TAB\n"
            "Work.mb: rule 1: empty pattern\n"
            "Work.mb: rule 2: regular expression does not compile: \n"
            "Work.mb: rule 3: address holds a CR\n"
            "Work.mb: rule 3: unmatched { in wildcard pattern\n");
  EXPECT_EQ(data.Snapshot(), before);
}

TEST(CheckCommand, SettingsFilesThatAreNoTextFiles) {
  TestFolder data;
  data.MakeDirectory("Bin.mb");
  data.MakeDirectory("Big.mb");
  data.MakeDirectory("Dir.mb/fromsel.ini");
  data.WriteFile("Bin.mb/fromsel.ini", std::string("::\x7f" "ELF\0\x01\x02\tx\ty\n", 13));
  data.WriteFile("Big.mb/fromsel.ini", "");
  std::filesystem::resize_file(data.path() / "Big.mb" / "fromsel.ini", MaxInputBytes + 1);
  const CliRun run = Check(data);
  EXPECT_EQ(run.code, ExitNo);
  EXPECT_EQ(run.out,
            "Big.mb: fromsel.ini is larger than 256 MiB\n"
            "Bin.mb: rule 1: pattern holds a NUL byte\n"
            "Dir.mb: fromsel.ini is a folder, not a file\n");
}

TEST(CheckCommand, DataFolderThatCannotBeUsed) {
  TestFolder data;
  data.MakeDirectory("Inbox");
  data.WriteFile("Plain.mb", "");
  CliRun run = Check(data);  // no *.mb folder at all
  EXPECT_EQ(run.code, ExitNoInput);
  EXPECT_TRUE(IsOneErrorLine(run)) << run.err;
  EXPECT_NE(run.err.find("no mailbox"), std::string::npos);

  run = RunFromsel({"check", "--data", (data.path() / "missing").string()});
  EXPECT_EQ(run.code, ExitNoInput);
  EXPECT_TRUE(IsOneErrorLine(run)) << run.err;
  EXPECT_NE(run.err.find("cannot read folder"), std::string::npos);

  run = RunFromsel({"check", "--data", (data.path() / "Plain.mb").string()});
  EXPECT_EQ(run.code, ExitNoInput);
  EXPECT_TRUE(IsOneErrorLine(run)) << run.err;
}

TEST(CheckCommand, ShippedExampleDataIsClean) {
  const CliRun run = RunFromsel({"check", "--data", FROMSEL_SOURCE_DIR "/examples/data"});
  EXPECT_EQ(run.code, ExitYes) << run.out << run.err;
}

}  // namespace
}  // namespace fromsel::cli
