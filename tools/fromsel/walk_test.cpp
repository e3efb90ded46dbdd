// fromsel check over real data folders in a temporary folder.
#include <gtest/gtest.h>

#include <algorithm>

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
  const std::string compileProblem =
      "Work.mb: rule 2: problem: regular expression does not compile: ";
  ASSERT_NE(run.out.find(compileProblem), std::string::npos) << run.out;
  const std::size_t compileLineEnd = run.out.find('\n', run.out.find(compileProblem));
  const std::string withoutCompilerText =
      run.out.substr(0, run.out.find(compileProblem) + compileProblem.size()) +
      run.out.substr(compileLineEnd);
  EXPECT_EQ(withoutCompilerText,
            "Home.mb: problem: no >Enable line, so the mailbox is off -- add the line "
            ">Enable=1, or tick Enable in the settings dialog\n"
            "Home.mb: rule 2: problem: pattern holds a TAB -- retype the field in the settings "
            "dialog, or mend the line in fromsel.ini\n"
            "Work.mb: rule 1: problem: empty pattern -- give the rule a pattern, or remove it\n"
            "Work.mb: rule 2: problem: regular expression does not compile: \n"
            "Work.mb: rule 3: problem: address holds a CR -- retype the field in the settings "
            "dialog, or mend the line in fromsel.ini\n"
            "Work.mb: rule 3: problem: unmatched { in wildcard pattern -- add the missing }\n");
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
            "Big.mb: problem: fromsel.ini is larger than 256 MiB -- this is no settings file; "
            "move it away\n"
            "Bin.mb: problem: no >Enable line, so the mailbox is off -- add the line >Enable=1, "
            "or tick Enable in the settings dialog\n"
            "Bin.mb: rule 1: problem: pattern holds a NUL byte -- retype the field in the "
            "settings dialog, or mend the line in fromsel.ini\n"
            "Dir.mb: problem: fromsel.ini is a folder, not a file -- remove the folder; the "
            "settings dialog writes the file\n");
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

// Notes do not change the exit code; --json gives one object per finding.
TEST(CheckCommand, NotesAloneExitZeroAndJsonHasOneObjectEach) {
  TestFolder data;
  data.MakeDirectory("Work.mb");
  data.WriteFile("Work.mb/fromsel.ini",
                 "\xEF\xBB\xBF>Enable=1\n::*@x\tDoe, Jane\tj@x\n::*\t\t\n::a@x\t\t\n");
  CliRun run = Check(data);
  EXPECT_EQ(run.code, ExitYes) << run.out;
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4) << run.out;
  run = RunFromsel({"check", "--json", "--data", data.path().string()});
  EXPECT_EQ(run.code, ExitYes);
  EXPECT_EQ(run.out.substr(0, run.out.find('\n')),
            "{\"mailbox\": \"Work.mb\", \"line\": 1, \"severity\": \"note\", \"text\": \"the "
            "file starts with a byte-order mark, which Fromsel skips\", \"todo\": \"nothing to "
            "do; the settings dialog saves the file without it\"}");
  EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '{'), 4) << run.out;
}

TEST(MailboxesCommand, ListsDirectoriesWithAccountSwitchAndRules) {
  TestFolder data;
  data.MakeMailbox("Work.mb", "Work");
  data.MakeMailbox("1a2b.mb", "Personal");
  data.WriteFile("Work.mb/fromsel.ini", ">Enable=1\n::a@x\t\t\n::b@x\t\t\n");
  data.WriteFile("Plain.mb", "");
  CliRun run = RunFromsel({"mailboxes", "--data", data.path().string()});
  EXPECT_EQ(run.code, ExitYes);
  EXPECT_EQ(run.out, "1a2b.mb\tPersonal\toff\t0 rules\nWork.mb\tWork\ton\t2 rules\n");
  run = RunFromsel({"mailboxes", "--json", "--data=" + data.path().string()});
  EXPECT_EQ(run.out,
            "{\"directory\": \"1a2b.mb\", \"name\": \"Personal\", \"enabled\": false, "
            "\"rules\": 0}\n{\"directory\": \"Work.mb\", \"name\": \"Work\", \"enabled\": "
            "true, \"rules\": 2}\n");
}

TEST(CheckCommand, ShippedExampleDataIsClean) {
  const CliRun run = RunFromsel({"check", "--data", FROMSEL_SOURCE_DIR "/examples/data"});
  EXPECT_EQ(run.code, ExitYes) << run.out << run.err;
}

}  // namespace
}  // namespace fromsel::cli
