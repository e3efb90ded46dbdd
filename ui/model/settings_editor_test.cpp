#include "ui/model/settings_editor.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/platform.h"
#include "testing/test_folder.h"

namespace fromsel {
namespace {

AddressRule MakeRule(bool regex, bool setSender, bool verp) {
  AddressRule rule;
  rule.regex = regex;
  rule.setSender = setSender;
  rule.verp = verp;
  return rule;
}

RuleFields Fields(const std::string& pattern, const std::string& name = "",
                  const std::string& address = "", bool regex = false) {
  RuleFields fields;
  fields.pattern = pattern;
  fields.name = name;
  fields.address = address;
  fields.regex = regex;
  return fields;
}

std::vector<std::string> Patterns(const SettingsEditor& editor) {
  std::vector<std::string> patterns;
  for (const AddressRule& rule : editor.Current().rules) patterns.push_back(rule.pattern);
  return patterns;
}

struct FlagsCase {
  bool regex, setSender, verp;
  const char* text;
};

TEST(FlagsText, ShowsRegexThenVerpOrSender) {
  const FlagsCase cases[] = {
      {false, false, false, ""}, {true, false, false, "R"}, {false, true, false, "S"},
      {false, false, true, "V"}, {false, true, true, "V"},  {true, true, false, "RS"},
      {true, false, true, "RV"}, {true, true, true, "RV"},
  };
  for (const FlagsCase& c : cases)
    EXPECT_EQ(FlagsText(MakeRule(c.regex, c.setSender, c.verp)), c.text)
        << c.regex << c.setSender << c.verp;
}

struct WidthCase {
  int client, scrollBar;
  std::array<int, 4> widths;
};

TEST(RuleColumnWidths, PatternAndNameFillTheRestAddressIsHalf) {
  const WidthCase cases[] = {
      {300, 17, {24, 181, 78, 129}},  // W = 259
      {285, 16, {24, 171, 74, 122}},  // W = 245: 171.5 and 122.5 truncated
      {24 + 17, 17, {24, 0, 0, 0}},   // nothing left
      {30, 17, {24, -7, -4, -5}},     // negative W truncates toward zero
  };
  for (const WidthCase& c : cases)
    EXPECT_EQ(RuleColumnWidths(c.client, c.scrollBar), c.widths) << c.client;
}

struct CouplingCase {
  bool clickedVerp;  // else Set Sender was clicked
  SenderBoxes after;  // state the click left
  SenderBoxes expected;
};

TEST(SenderBoxes, VerpNeedsSetSender) {
  const CouplingCase cases[] = {
      {false, {true, false}, {true, false}},   // Set Sender checked: nothing else
      {false, {false, true}, {false, false}},  // Set Sender unchecked: VERP follows
      {false, {false, false}, {false, false}},
      {true, {false, true}, {true, true}},     // VERP checked: Set Sender follows
      {true, {true, true}, {true, true}},
      {true, {true, false}, {true, false}},    // VERP unchecked: nothing else
  };
  for (const CouplingCase& c : cases) {
    const SenderBoxes got = c.clickedVerp ? AfterVerpClicked(c.after) : AfterSetSenderClicked(c.after);
    EXPECT_EQ(got.setSender, c.expected.setSender);
    EXPECT_EQ(got.verp, c.expected.verp);
  }
}

struct ValidationCase {
  const char* what;
  RuleFields fields;
  EditVerdict verdict;
  const char* errorText;
};

TEST(ValidateRuleFields, RefusesWhatCannotBeStoredOrCompiled) {
  const ValidationCase cases[] = {
      {"empty pattern", Fields(""), EditVerdict::Beep, ""},
      {"empty regex", Fields("", "", "", true), EditVerdict::Beep, ""},
      {"blank pattern", Fields("   "), EditVerdict::Done, ""},
      {"wildcard", Fields("*@example.com", "Me", "me@example.com"), EditVerdict::Done, ""},
      {"tab in pattern", Fields("a\tb"), EditVerdict::Beep, ""},
      {"cr in pattern", Fields("a\r"), EditVerdict::Beep, ""},
      {"lf in pattern", Fields("\na"), EditVerdict::Beep, ""},
      {"tab inside name", Fields("a", "Jo\tDoe"), EditVerdict::Beep, ""},
      {"lf inside address", Fields("a", "", "me@\nexample.com"), EditVerdict::Beep, ""},
      {"cr lf around name is trimmed", Fields("a", "\r\nJo Doe\t"), EditVerdict::Done, ""},
      {"unmatched paren as wildcard", Fields("(a"), EditVerdict::Done, ""},
      {"unmatched paren as regex", Fields("(a", "", "", true), EditVerdict::CompileError,
       "unmatched ("},
      {"regex ok", Fields("(.+)@example\\.org", "", "me+\\1@example.net", true),
       EditVerdict::Done, ""},
      // Judged alone: inside ^(?: )$ this would compile.
      {"fits only the wrapper", Fields("a)(b", "", "", true), EditVerdict::CompileError,
       "unmatched )"},
      // Positions count from the pattern itself, not from the wrapper.
      {"position counted alone", Fields("*a", "", "", true), EditVerdict::CompileError,
       "invalid regular expression; there's no previous pattern, to which '*' would "
       "define cardinality at 1"},
      // The From field: one address, blanks allowed (the local part is quoted).
      {"blank in From", Fields("*", "", "john doe@example.net"), EditVerdict::Done, ""},
      {"angle address in From", Fields("*", "Jane", "<jane@x.example>"), EditVerdict::BadAddress,
       ""},
      {"name in From", Fields("*", "", "Jane Doe <jane@x.example>"), EditVerdict::BadAddress, ""},
      {"list in From", Fields("*", "", "a@x, b@x"), EditVerdict::BadAddress, ""},
      {"group beyond the pattern", Fields("(.+)@x", "Kim", "\\2@w.example", true),
       EditVerdict::BadAddress, ""},
      {"template in a wildcard rule", Fields("*@w.example", "", "me+\\1@w.example"),
       EditVerdict::BadAddress, ""},
  };
  for (const ValidationCase& c : cases) {
    const EditResult result = ValidateRuleFields(c.fields);
    EXPECT_EQ(result.verdict, c.verdict) << c.what;
    EXPECT_EQ(result.errorText, c.errorText) << c.what;
  }
}

TEST(ValidateRuleFields, NamesTheFromFieldsProblem) {
  EXPECT_EQ(ValidateRuleFields(Fields("*", "", "<a@x>")).addressProblem,
            AddressFieldProblem::NotOneAddress);
  EXPECT_EQ(ValidateRuleFields(Fields("(.+)@x", "", "\\2@w", true)).addressProblem,
            AddressFieldProblem::GroupBeyondPattern);
  EXPECT_EQ(ValidateRuleFields(Fields("*", "", "\\&")).addressProblem,
            AddressFieldProblem::TemplateInWildcardRule);
}

// Stored files load as they are: the check is the dialog's, on entry only.
TEST(SettingsEditor, RulesFromAFileAreKeptWhateverTheirFromField) {
  SettingsTable table;
  MailboxSettings& work = table["work.mb"];
  AddressRule rule;
  rule.pattern = "*";
  rule.address = "Jane <jane@x.example>";
  work.rules.push_back(rule);
  SettingsEditor loaded(table);
  loaded.AddMailbox("Work.mb", "Work");
  ASSERT_EQ(loaded.RuleCount(), 1u);
  EXPECT_EQ(loaded.RuleAt(0)->address, "Jane <jane@x.example>");
  EXPECT_EQ(loaded.MoveRuleUp(0).verdict, EditVerdict::Beep);
  EXPECT_EQ(loaded.RemoveRule(0).verdict, EditVerdict::Done);
}

class EditorTest : public ::testing::Test {
 protected:
  EditorTest() : editor(SettingsTable()) {
    editor.AddMailbox("Work.mb", "Work");
    editor.AddMailbox("home.mb", "Home");
  }
  void AddAll(std::initializer_list<const char*> patterns) {
    for (const char* pattern : patterns)
      ASSERT_EQ(editor.AddRule(Fields(pattern)).verdict, EditVerdict::Done);
  }
  SettingsEditor editor;
};

TEST_F(EditorTest, AddAppendsAndRefusalsChangeNothing) {
  AddAll({"a", "b"});
  EXPECT_EQ(editor.AddRule(Fields("")).verdict, EditVerdict::Beep);
  EXPECT_EQ(editor.AddRule(Fields("x\ty")).verdict, EditVerdict::Beep);
  const EditResult bad = editor.AddRule(Fields("(", "", "", true));
  EXPECT_EQ(bad.verdict, EditVerdict::CompileError);
  EXPECT_EQ(bad.errorText, "premature end of regular expression");
  EXPECT_EQ(Patterns(editor), (std::vector<std::string>{"a", "b"}));
}

TEST_F(EditorTest, ReplaceNeedsASelectionAndAValidPattern) {
  AddAll({"a", "b"});
  EXPECT_EQ(editor.ReplaceRule(-1, Fields("c")).verdict, EditVerdict::Beep);
  EXPECT_EQ(editor.ReplaceRule(2, Fields("c")).verdict, EditVerdict::Beep);
  EXPECT_EQ(editor.ReplaceRule(1, Fields("")).verdict, EditVerdict::Beep);
  EXPECT_EQ(Patterns(editor), (std::vector<std::string>{"a", "b"}));

  RuleFields fields = Fields("c", " C ", " c@x ", true);
  fields.verp = true;
  EXPECT_EQ(editor.ReplaceRule(1, fields).verdict, EditVerdict::Done);
  const AddressRule& replaced = *editor.RuleAt(1);
  EXPECT_EQ(replaced.pattern, "c");
  EXPECT_EQ(replaced.name, "C");
  EXPECT_EQ(replaced.address, "c@x");
  EXPECT_EQ(FlagsText(replaced), "RV");
  EXPECT_EQ(*editor.TextCell(1, 3), "c@x");
  EXPECT_EQ(editor.FlagsCell(1), "RV");
}

struct MoveCase {
  bool up;
  int selected;
  EditVerdict verdict;
  int selection;
  std::vector<std::string> patterns;
};

TEST_F(EditorTest, MovesExchangeNeighboursAndFollowTheRule) {
  const MoveCase cases[] = {
      {true, 0, EditVerdict::Beep, -1, {"a", "b", "c"}},
      {true, -1, EditVerdict::Beep, -1, {"a", "b", "c"}},
      {true, 2, EditVerdict::Done, 1, {"a", "c", "b"}},
      {false, 2, EditVerdict::Beep, -1, {"a", "b", "c"}},
      {false, -1, EditVerdict::Beep, -1, {"a", "b", "c"}},
      {false, 0, EditVerdict::Done, 1, {"b", "a", "c"}},
  };
  for (const MoveCase& c : cases) {
    SettingsEditor fresh{SettingsTable()};
    fresh.AddMailbox("x.mb", "");
    for (const char* pattern : {"a", "b", "c"}) fresh.AddRule(Fields(pattern));
    const EditResult result = c.up ? fresh.MoveRuleUp(c.selected) : fresh.MoveRuleDown(c.selected);
    EXPECT_EQ(result.verdict, c.verdict) << c.up << c.selected;
    EXPECT_EQ(result.selection, c.selection) << c.up << c.selected;
    EXPECT_EQ(Patterns(fresh), c.patterns) << c.up << c.selected;
  }
}

TEST_F(EditorTest, SwitchingMailboxesLosesNothing) {
  editor.SetEnabled(true);
  AddAll({"work"});
  ASSERT_TRUE(editor.SelectMailbox(1));
  EXPECT_FALSE(editor.Current().enabled);
  EXPECT_EQ(editor.RuleCount(), 0u);
  editor.SetLookAtDeliveredTo(true);
  EXPECT_FALSE(editor.SelectMailbox(2));
  EXPECT_FALSE(editor.SelectMailbox(-1));  // CB_ERR
  EXPECT_EQ(editor.CurrentMailbox(), 1u);
  ASSERT_TRUE(editor.SelectMailbox(0));
  EXPECT_EQ(Patterns(editor), (std::vector<std::string>{"work"}));
  const SettingsTable& table = editor.WorkingTable();
  EXPECT_TRUE(table.at("work.mb").enabled);
  EXPECT_TRUE(table.at("home.mb").lookAtDeliveredTo);
}

TEST(SettingsEditor, WithoutMailboxesEveryEditBeeps) {
  SettingsEditor editor{SettingsTable()};
  EXPECT_FALSE(editor.HasMailbox());
  EXPECT_EQ(editor.AddRule(Fields("a")).verdict, EditVerdict::Beep);
  EXPECT_EQ(editor.MoveRuleUp(0).verdict, EditVerdict::Beep);
  EXPECT_EQ(editor.RuleAt(0), nullptr);
  editor.SetEnabled(true);  // nothing to change, and no crash
}

// A data folder in the host's layout in a fresh temp directory.
class DataFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ReleaseSettingsTable(); }
  void TearDown() override { ReleaseSettingsTable(); }

  testing::TestFolder folder;
  const std::string dataFolder = folder.withSeparator();
};

TEST_F(DataFolderTest, ListsEveryMailboxEntryWithItsAccountName) {
  folder.MakeMailbox("Work.mb", "Work account");
  folder.MakeMailbox("home.mb", "");
  folder.WriteFile("plain.mb", "not a directory");
  folder.WriteFile("notes.txt", "");
  SettingsEditor editor{SettingsTable()};
  ASSERT_TRUE(editor.LoadMailboxes(dataFolder, ""));
  std::map<std::string, std::string> names;
  for (const MailboxItem& item : editor.Mailboxes()) names[item.key] = item.displayName;
  EXPECT_EQ(names, (std::map<std::string, std::string>{
                       {"home.mb", ""}, {"plain.mb", ""}, {"work.mb", "Work account"}}));
  EXPECT_EQ(editor.CurrentMailbox(), 0u);
  EXPECT_EQ(editor.WorkingTable().size(), 3u);
}

TEST_F(DataFolderTest, PreselectsTheMailboxWhateverItsCase) {
  folder.MakeMailbox("a.mb", "A");
  folder.MakeMailbox("Work.mb", "W");
  folder.MakeMailbox("z.mb", "Z");
  SettingsEditor editor{SettingsTable()};
  ASSERT_TRUE(editor.LoadMailboxes(dataFolder, "WORK.MB"));
  EXPECT_EQ(editor.Mailboxes()[editor.CurrentMailbox()].key, "work.mb");
}

TEST_F(DataFolderTest, NoMailboxIsReported) {
  folder.WriteFile("readme.txt", "");
  SettingsEditor editor{SettingsTable()};
  EXPECT_FALSE(editor.LoadMailboxes(dataFolder, ""));
}

TEST_F(DataFolderTest, CommitReplacesTheTableAndWritesEveryMailbox) {
  folder.MakeMailbox("quiet.mb", "");
  folder.MakeMailbox("work.mb", "");
  folder.WriteFile("plain.mb", "keep");
  SettingsEditor editor(CopyCurrentSettingsTable(dataFolder));
  ASSERT_TRUE(editor.LoadMailboxes(dataFolder, "work.mb"));
  editor.SetEnabled(true);
  RuleFields fields = Fields("*@{a,b}.example", " Me ", "me@example.com");
  fields.setSender = true;
  ASSERT_EQ(editor.AddRule(fields).verdict, EditVerdict::Done);
  EXPECT_EQ(folder.ReadFile("work.mb/fromsel.ini"), "");  // nothing stored before OK

  editor.Commit(dataFolder);
  EXPECT_EQ(folder.ReadFile("work.mb/fromsel.ini"),
            ">Enable=1\n>Delivered-To=0\n:S:*@{a,b}.example\tMe\tme@example.com\n");
  EXPECT_EQ(folder.ReadFile("quiet.mb/fromsel.ini"), ">Enable=0\n>Delivered-To=0\n");
  EXPECT_EQ(folder.ReadFile("plain.mb"), "keep");
  ASSERT_NE(CurrentSettingsTable(), nullptr);
  EXPECT_TRUE(CurrentSettingsTable()->at("work.mb").enabled);
}

std::size_t IndexOf(const SettingsEditor& editor, const std::string& key) {
  for (std::size_t i = 0; i < editor.Mailboxes().size(); ++i)
    if (editor.Mailboxes()[i].key == key) return i;
  return editor.Mailboxes().size();
}

TEST_F(DataFolderTest, CommitWritesChangedMailboxesAndNamesTheFailures) {
  folder.MakeMailbox("restored.mb", "");
  folder.MakeMailbox("work.mb", "");
  folder.MakeMailbox("failing.mb", "");
  folder.WriteFile("failing.mb/fromsel.ini", ">Enable=1\n");
  SettingsEditor editor(CopyCurrentSettingsTable(dataFolder));
  ASSERT_TRUE(editor.LoadMailboxes(dataFolder, "work.mb"));
  editor.SetEnabled(true);
  editor.SetLookAtDeliveredTo(true);
  editor.SetLookAtDeliveredTo(false);  // back as it was: still a change of Enable only
  ASSERT_TRUE(editor.SelectMailbox(static_cast<int>(IndexOf(editor, "failing.mb"))));
  editor.SetEnabled(false);
  EXPECT_EQ(editor.ChangedMailboxKeys(), (ChangedMailboxes{"failing.mb", "work.mb"}));
  // After the dialog opened a backup is restored; then no write succeeds.
  folder.WriteFile("restored.mb/fromsel.ini", "::restored\t\t\n");
  platform::InjectWriteFailureForTesting(platform::WriteStep::Replace);
  const std::vector<std::string> notSaved = editor.Commit(dataFolder);
  platform::InjectWriteFailureForTesting(platform::WriteStep::None);
  EXPECT_EQ(notSaved.size(), 2u);  // both changed mailboxes, named by path
  EXPECT_EQ(folder.ReadFile("restored.mb/fromsel.ini"), "::restored\t\t\n");
  EXPECT_EQ(folder.ReadFile("failing.mb/fromsel.ini"), ">Enable=1\n");
  // The dialog's settings are in effect even so.
  EXPECT_TRUE(CurrentSettingsTable()->at("work.mb").enabled);
}

TEST_F(DataFolderTest, SetupBeforeStartLoadsTheTableFirst) {
  folder.MakeMailbox("work.mb", "");
  folder.WriteFile("work.mb/fromsel.ini", ">Enable=1\n::kept\t\t\n");
  ASSERT_EQ(CurrentSettingsTable(), nullptr);
  const SettingsTable copy = CopyCurrentSettingsTable(dataFolder);
  ASSERT_NE(CurrentSettingsTable(), nullptr);
  ASSERT_EQ(copy.count("work.mb"), 1u);
  EXPECT_TRUE(copy.at("work.mb").enabled);
  ASSERT_EQ(copy.at("work.mb").rules.size(), 1u);
  EXPECT_EQ(copy.at("work.mb").rules[0].pattern, "kept");
}

}  // namespace
}  // namespace fromsel
