// The settings dialog driven as a person would, over temporary data
// folders, with the settings files checked on disk afterwards.
#include <set>
#include <string>
#include <vector>

#include "plugin/testhost/allocation_faults.h"
#include "plugin/testhost/host_state.h"
#include "plugin/testhost/scenario.h"
#include "plugin/testhost/ui_driver.h"
#include "ui/ui_ids.h"

namespace fromsel::testhost {
namespace {

// The rule controls that Enable switches: Delivered-To up to the list.
constexpr int FirstRuleControl = IDC_DELIVERED_TO;
constexpr int LastRuleControl = IDC_RULE_LIST;

const char* const HomeSettings = ">Enable=1\n>Delivered-To=1\n::old@*\tOld\told@example.com\n";
// Ids of the plug-in's strings the dialog shows: caption, no mailboxes,
// compile error (in the language the system picks).
constexpr UINT CaptionId = 1;
constexpr UINT NoMailboxesId = 1003;
constexpr UINT CompileErrorId = 1004;
constexpr UINT NotSavedId = 1005;
constexpr UINT FromNotOneAddressId = 1006;
constexpr UINT FromTemplateInWildcardId = 1008;
constexpr int StringBufferSize = 256;

std::string PluginString(const ScenarioContext& context, UINT id) {
  char buffer[StringBufferSize] = {};
  const int length = LoadStringA(context.plugin.Module(), id, buffer, StringBufferSize);
  return std::string(buffer, length > 0 ? length : 0);
}

// "caption|text" of a message box showing string `id` followed by `detail`.
std::string ExpectedMessage(const ScenarioContext& context, UINT id, const std::string& detail) {
  return PluginString(context, CaptionId) + "|" + PluginString(context, id) + detail;
}

// Rows of the rule list as "flags|pattern|name|address".
std::vector<std::string> Rows(const DialogControls& dialog) {
  std::vector<std::string> rows;
  for (int row = 0; row < dialog.ItemCount(IDC_RULE_LIST); ++row) {
    std::string text;
    for (int column = 0; column < 4; ++column)
      text += (column ? "|" : "") + dialog.CellText(IDC_RULE_LIST, row, column);
    rows.push_back(text);
  }
  return rows;
}

std::string Joined(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows) text += "[" + row + "]";
  return text;
}

void EnterRule(const DialogControls& dialog, const std::string& pattern, const std::string& name,
               const std::string& address) {
  dialog.SetText(IDC_PATTERN, pattern);
  dialog.SetText(IDC_NAME, name);
  dialog.SetText(IDC_ADDRESS, address);
}

// Three mailboxes: Work (no settings file), Home (one rule, both switches
// on) and a plain file named like a mailbox.
void MakeThreeMailboxes(testing::TestFolder& folder) {
  folder.MakeMailbox("Work.mb", "Work Account");
  folder.MakeMailbox("Home.mb", "Home");
  folder.WriteFile("Home.mb\\fromsel.ini", HomeSettings);
  folder.WriteFile("Plain.mb", "plain file");
}

int RunSetup(ScenarioContext& context) { return context.plugin.onPlugInSetup(nullptr); }

// Work is chosen, starts empty and disabled, and Enable opens its controls.
void EnableWorkMailbox(const DialogControls& dialog, Checks& checks) {
  const std::vector<std::string> items = dialog.ComboItems(IDC_MAILBOX);
  checks.Expect(std::multiset<std::string>(items.begin(), items.end()) ==
                    std::multiset<std::string>{"", "Home", "Work Account"},
                "mailbox items are the account names, the plain file's empty");
  checks.Expect(dialog.SelectComboItem(IDC_MAILBOX, "Work Account"), "select Work");
  checks.Expect(!dialog.Checked(IDC_ENABLE), "Work starts disabled");
  checks.Expect(dialog.ItemCount(IDC_RULE_LIST) == 0, "Work starts without rules");
  checks.Expect(!dialog.Enabled(IDC_PATTERN) && !dialog.Enabled(IDC_RULE_LIST),
                "rule controls disabled while Enable is off");

  dialog.Click(IDC_ENABLE);
  checks.Expect(dialog.Checked(IDC_ENABLE), "Enable checked");
  for (int id = FirstRuleControl; id <= LastRuleControl; ++id)
    checks.Expect(dialog.Enabled(id), "control " + std::to_string(id) + " enabled with Enable");
}

// Three rules added; an empty pattern, an uncompilable expression and text
// that would break the settings file are refused.
// The From field's refusals, as the language picked shows them.
struct FromMessages {
  std::string notOneAddress;
  std::string templateInWildcard;
};

void AddWorkRules(const DialogControls& dialog, DWORD thread, const std::string& compileError,
                  const FromMessages& fromMessages, Checks& checks) {
  dialog.Click(IDC_ADD);  // empty pattern: a beep
  checks.Expect(dialog.ItemCount(IDC_RULE_LIST) == 0, "Add with an empty pattern refused");

  EnterRule(dialog, "*@{work,office}.example.com", "  Work Me  ", " me@work.example ");
  dialog.Click(IDC_ADD);

  EnterRule(dialog, "(.+)@lists\\.example\\.org", "", "me+\\1@example.net");
  dialog.Click(IDC_REGEX);
  dialog.Click(IDC_VERP);
  checks.Expect(dialog.Checked(IDC_SET_SENDER), "checking VERP checks Set Sender");
  dialog.Click(IDC_ADD);

  // Refused with the compiler's message; the input stays in the boxes.
  dialog.SetText(IDC_PATTERN, "(unclosed");
  dialog.PostClick(IDC_ADD);  // posted: the message box is modal
  checks.ExpectEqual(TakeMessageBox(thread), compileError, "compile error shown");
  checks.ExpectEqual(dialog.Text(IDC_PATTERN), "(unclosed", "pattern kept after the error");
  checks.Expect(dialog.ItemCount(IDC_RULE_LIST) == 2, "uncompilable expression not added");
  // The same text is a fine wildcard pattern, once its From field holds
  // no template: \1 means nothing in a wildcard rule.
  dialog.Click(IDC_REGEX);
  dialog.PostClick(IDC_ADD);
  checks.ExpectEqual(TakeMessageBox(thread), fromMessages.templateInWildcard,
                     "template in a wildcard rule refused");
  dialog.SetText(IDC_ADDRESS, "Jane <me@example.net>");
  dialog.PostClick(IDC_ADD);
  checks.ExpectEqual(TakeMessageBox(thread), fromMessages.notOneAddress,
                     "name and angle brackets in From refused");
  dialog.SetText(IDC_ADDRESS, "me+1@example.net");
  dialog.Click(IDC_ADD);

  // Text that would break the settings file is refused like an empty pattern.
  EnterRule(dialog, "a\tb", "", "");
  dialog.Click(IDC_ADD);
  EnterRule(dialog, "ok@*", "Jo\tDoe", "");
  dialog.Click(IDC_ADD);
  EnterRule(dialog, "ok@*", "", "me@\r\nexample.com");
  dialog.Click(IDC_ADD);
  checks.ExpectEqual(Joined(Rows(dialog)),
                     "[|*@{work,office}.example.com|Work Me|me@work.example]"
                     "[RV|(.+)@lists\\.example\\.org||me+\\1@example.net]"
                     "[V|(unclosed||me+1@example.net]",
                     "rules after the adds");
}

// The sender boxes' coupling, a selected rule shown, and Up and Dn.
void ShowAndMoveWorkRules(const DialogControls& dialog, Checks& checks) {
  dialog.Click(IDC_SET_SENDER);
  checks.Expect(!dialog.Checked(IDC_VERP), "unchecking Set Sender unchecks VERP");

  // Selecting a rule shows it, check boxes set as stored.
  dialog.SelectItem(IDC_RULE_LIST, 1);
  checks.ExpectEqual(dialog.Text(IDC_PATTERN), "(.+)@lists\\.example\\.org", "shown pattern");
  checks.ExpectEqual(dialog.Text(IDC_ADDRESS), "me+\\1@example.net", "shown address");
  checks.Expect(dialog.Checked(IDC_REGEX) && dialog.Checked(IDC_SET_SENDER) &&
                    dialog.Checked(IDC_VERP),
                "shown flags R, S, V");

  dialog.Click(IDC_UP);
  checks.Expect(dialog.SelectedItem(IDC_RULE_LIST) == 0, "moved rule stays selected");
  dialog.Click(IDC_UP);  // first rule: a beep
  checks.Expect(Rows(dialog).at(0).rfind("RV|", 0) == 0, "Up moved the rule to the top");
  dialog.Click(IDC_DOWN);
  checks.Expect(dialog.SelectedItem(IDC_RULE_LIST) == 1, "Dn moved the selection");
  dialog.SelectItem(IDC_RULE_LIST, 2);
  dialog.Click(IDC_DOWN);  // last rule: a beep
  checks.Expect(dialog.SelectedItem(IDC_RULE_LIST) == 2, "Dn on the last rule refused");
}

void ReplaceAndRemoveWorkRules(const DialogControls& dialog, Checks& checks) {
  dialog.SetText(IDC_PATTERN, "");
  dialog.Click(IDC_REPLACE);  // empty pattern: the old rule stays
  EnterRule(dialog, "*@home.example", "Home Me", "me@home.example");
  dialog.SetChecked(IDC_VERP, false);
  dialog.SetChecked(IDC_SET_SENDER, false);
  dialog.Click(IDC_REPLACE);

  dialog.SelectItem(IDC_RULE_LIST, 0);
  dialog.Click(IDC_REMOVE);
  checks.ExpectEqual(Joined(Rows(dialog)),
                     "[RV|(.+)@lists\\.example\\.org||me+\\1@example.net]"
                     "[|*@home.example|Home Me|me@home.example]",
                     "rules after move, replace and remove");
}

void EditWorkMailbox(const DialogControls& dialog, DWORD thread, const std::string& compileError,
                     const FromMessages& fromMessages, Checks& checks) {
  EnableWorkMailbox(dialog, checks);
  AddWorkRules(dialog, thread, compileError, fromMessages, checks);
  ShowAndMoveWorkRules(dialog, checks);
  ReplaceAndRemoveWorkRules(dialog, checks);
  dialog.Click(IDC_DELIVERED_TO);
}

}  // namespace

TESTHOST_SCENARIO(ui_settings_edit,
                  "settings dialog: edit rules of two mailboxes, OK, check the files") {
  Checks checks("ui_settings_edit");
  testing::TestFolder folder;
  MakeThreeMailboxes(folder);
  if (!LoadPluginOver(context, folder)) return false;
  const MessageCapturePause pause;
  const std::string compileError = ExpectedMessage(context, CompileErrorId, "unmatched (");
  const FromMessages fromMessages{ExpectedMessage(context, FromNotOneAddressId, ""),
                                  ExpectedMessage(context, FromTemplateInWildcardId, "")};
  int result = 0;
  DriveModal([&] { result = RunSetup(context); },
             [&](DWORD thread) {
               const DialogControls dialog(WaitForDialog(thread, IDC_MAILBOX));
               if (!checks.Expect(dialog.Window() != nullptr, "settings dialog shown")) return;
               EditWorkMailbox(dialog, thread, compileError, fromMessages, checks);
               // Switching mailboxes keeps every edit.
               checks.Expect(dialog.SelectComboItem(IDC_MAILBOX, "Home"), "select Home");
               checks.Expect(dialog.Checked(IDC_ENABLE) && dialog.Checked(IDC_DELIVERED_TO),
                             "Home's switches shown");
               checks.ExpectEqual(Joined(Rows(dialog)), "[|old@*|Old|old@example.com]",
                                  "Home's rule shown");
               dialog.Click(IDC_ENABLE);
               checks.Expect(!dialog.Enabled(IDC_RULE_LIST) && !dialog.Enabled(IDC_ADD),
                             "unchecking Enable disables the rule controls");
               dialog.SelectComboItem(IDC_MAILBOX, "Work Account");
               checks.Expect(dialog.ItemCount(IDC_RULE_LIST) == 2, "Work's rules kept");
               dialog.Click(IDOK);
             });
  checks.Expect(result == 1, "setup returns 1");

  checks.ExpectEqual(folder.ReadFile("Work.mb\\fromsel.ini"),
                     ">Enable=1\n>Delivered-To=1\n"
                     ":RSV:(.+)@lists\\.example\\.org\t\tme+\\1@example.net\n"
                     "::*@home.example\tHome Me\tme@home.example\n",
                     "Work's settings file");
  checks.ExpectEqual(folder.ReadFile("Home.mb\\fromsel.ini"),
                     ">Enable=0\n>Delivered-To=1\n::old@*\tOld\told@example.com\n",
                     "Home's settings file");
  checks.ExpectEqual(folder.ReadFile("Plain.mb"), "plain file", "plain file untouched");
  context.plugin.onExit();
  return checks.Finish();
}

TESTHOST_SCENARIO(ui_settings_cancel,
                  "settings dialog: edits then Cancel, then the close box; nothing stored") {
  Checks checks("ui_settings_cancel");
  testing::TestFolder folder;
  MakeThreeMailboxes(folder);
  if (!LoadPluginOver(context, folder)) return false;
  const MessageCapturePause pause;
  DriveModal([&] { checks.Expect(RunSetup(context) == 1, "setup returns 1"); },
             [&](DWORD thread) {
               const DialogControls dialog(WaitForDialog(thread, IDC_MAILBOX));
               if (!checks.Expect(dialog.Window() != nullptr, "settings dialog shown")) return;
               dialog.SelectComboItem(IDC_MAILBOX, "Home");
               dialog.SelectItem(IDC_RULE_LIST, 0);
               dialog.Click(IDC_REMOVE);
               dialog.Click(IDC_ENABLE);
               dialog.SelectComboItem(IDC_MAILBOX, "Work Account");
               dialog.Click(IDC_ENABLE);
               EnterRule(dialog, "x@*", "X", "x@example.com");
               dialog.Click(IDC_ADD);
               checks.Expect(dialog.ItemCount(IDC_RULE_LIST) == 1, "rule added before Cancel");
               dialog.Click(IDCANCEL);
             });
  checks.Expect(!folder.Exists("Work.mb\\fromsel.ini"), "no file for Work");
  checks.ExpectEqual(folder.ReadFile("Home.mb\\fromsel.ini"), HomeSettings, "Home unchanged");

  // The process-wide table is unchanged too: a second opening shows it.
  DriveModal([&] { RunSetup(context); },
             [&](DWORD thread) {
               const DialogControls dialog(WaitForDialog(thread, IDC_MAILBOX));
               if (!checks.Expect(dialog.Window() != nullptr, "settings dialog shown")) return;
               dialog.SelectComboItem(IDC_MAILBOX, "Home");
               checks.Expect(dialog.Checked(IDC_ENABLE), "Home still enabled");
               checks.ExpectEqual(Joined(Rows(dialog)), "[|old@*|Old|old@example.com]",
                                  "Home's rule still there");
               dialog.SelectComboItem(IDC_MAILBOX, "Work Account");
               checks.Expect(dialog.ItemCount(IDC_RULE_LIST) == 0, "Work still empty");
               // The close box arrives as Cancel.
               SendMessageA(dialog.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
               checks.Expect(WaitUntilClosed(dialog.Window()), "close box ends the dialog");
             });
  checks.ExpectEqual(folder.ReadFile("Home.mb\\fromsel.ini"), HomeSettings, "Home unchanged");
  context.plugin.onExit();
  return checks.Finish();
}

TESTHOST_SCENARIO(ui_settings_defaults,
                  "settings dialog: one mailbox without settings, OK writes the defaults") {
  Checks checks("ui_settings_defaults");
  testing::TestFolder folder;
  folder.MakeMailbox("Only.mb", "");
  if (!LoadPluginOver(context, folder)) return false;
  const MessageCapturePause pause;
  DriveModal([&] { RunSetup(context); },
             [&](DWORD thread) {
               const DialogControls dialog(WaitForDialog(thread, IDC_MAILBOX));
               if (!checks.Expect(dialog.Window() != nullptr, "settings dialog shown")) return;
               checks.Expect(dialog.ComboItems(IDC_MAILBOX) == std::vector<std::string>{""},
                             "one mailbox with an empty name");
               checks.Expect(!dialog.Checked(IDC_ENABLE) && !dialog.Checked(IDC_DELIVERED_TO),
                             "switches off");
               checks.Expect(dialog.ItemCount(IDC_RULE_LIST) == 0, "no rules");
               for (int id = FirstRuleControl; id <= LastRuleControl; ++id)
                 checks.Expect(!dialog.Enabled(id), "control " + std::to_string(id) + " disabled");
               for (int id : {IDC_MAILBOX, IDC_ENABLE, IDOK, IDCANCEL, IDC_ABOUT})
                 checks.Expect(dialog.Enabled(id), "control " + std::to_string(id) + " enabled");
               dialog.Click(IDOK);
             });
  checks.ExpectEqual(folder.ReadFile("Only.mb\\fromsel.ini"), ">Enable=0\n>Delivered-To=0\n",
                     "default settings file");
  context.plugin.onExit();
  return checks.Finish();
}

TESTHOST_SCENARIO(ui_settings_no_mailbox,
                  "settings dialog over a data folder without mailboxes: message 1003") {
  Checks checks("ui_settings_no_mailbox");
  testing::TestFolder folder;
  folder.WriteFile("readme.txt", "no mailboxes here");
  if (!LoadPluginOver(context, folder)) return false;
  const MessageCapturePause pause;
  const std::string noMailboxes = ExpectedMessage(context, NoMailboxesId, "");
  int result = 0;
  DriveModal([&] { result = RunSetup(context); },
             [&](DWORD thread) {
               checks.ExpectEqual(TakeMessageBox(thread), noMailboxes, "message 1003");
               checks.Expect(!FindVisibleDialog(thread, IDC_MAILBOX), "dialog never shown");
             });
  checks.Expect(result == 1, "setup returns 1");
  context.plugin.onExit();
  return checks.Finish();
}

TESTHOST_SCENARIO(ui_settings_out_of_memory,
                  "settings dialog: Add, OK and About each without memory, then with") {
  Checks checks("ui_settings_out_of_memory");
  testing::TestFolder folder;
  folder.MakeMailbox("Work.mb", "Work");
  if (!LoadPluginOver(context, folder)) return false;
  if (!checks.Expect(InterceptPluginAllocations(context.plugin.Module()), "malloc redirected"))
    return checks.Finish();
  const MessageCapturePause pause;
  int result = 0;
  DriveModal([&] { result = RunSetup(context); },
             [&](DWORD thread) {
               const DialogControls dialog(WaitForDialog(thread, IDC_MAILBOX));
               if (!checks.Expect(dialog.Window() != nullptr, "settings dialog shown")) return;
               dialog.Click(IDC_ENABLE);
               EnterRule(dialog, "a@*", "A", "a@example.com");
               // Each handler meets std::bad_alloc in a dialog procedure.
               const long refusedBefore = RefusedPluginAllocations();
               FailPluginAllocation(1);
               dialog.Click(IDC_ADD);
               FailPluginAllocation(1);
               dialog.Click(IDOK);
               FailPluginAllocation(1);
               dialog.PostClick(IDC_ABOUT);
               const DialogControls about(WaitForDialog(thread, IDC_VERSION));
               checks.Expect(about.Window() != nullptr, "about box shown without memory");
               about.Click(IDOK);
               checks.Expect(WaitUntilClosed(about.Window()), "about box closed");
               FailPluginAllocation(0);
               checks.Expect(RefusedPluginAllocations() - refusedBefore == 3,
                             "three allocations refused");
               checks.Expect(IsWindowVisible(dialog.Window()) != FALSE,
                             "OK without memory keeps the dialog open");
               checks.Expect(dialog.ItemCount(IDC_RULE_LIST) == 0, "no rule added without memory");
               dialog.Click(IDC_ADD);
               checks.Expect(dialog.ItemCount(IDC_RULE_LIST) == 1, "rule added with memory back");
               dialog.Click(IDOK);
             });
  checks.Expect(result == 1, "setup returns 1");
  checks.ExpectEqual(folder.ReadFile("Work.mb\\fromsel.ini"),
                     ">Enable=1\n>Delivered-To=0\n::a@*\tA\ta@example.com\n",
                     "Work's settings file");
  context.plugin.onExit();
  return checks.Finish();
}

TESTHOST_SCENARIO(ui_settings_keeps_unread,
                  "settings dialog: OK keeps a file locked at start and one restored after") {
  Checks checks("ui_settings_keeps_unread");
  testing::TestFolder folder;
  MakeThreeMailboxes(folder);
  const std::string handWritten = ">Enable=1\r\n::hand@*\tHand\thand@example.com\r\n";
  folder.WriteFile("Work.mb\\fromsel.ini", handWritten);
  // Locked by another program while the plug-in starts: it cannot be read.
  const std::string workFile = folder.withSeparator() + "Work.mb\\fromsel.ini";
  HANDLE lock = CreateFileA(workFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  checks.Expect(lock != INVALID_HANDLE_VALUE, "settings file locked");
  const bool loaded = LoadPluginOver(context, folder);
  if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
  if (!loaded) return false;
  // Restored from a backup after start.
  const std::string restored = ">Enable=1\n::backup@*\tB\tb@example.com\n";
  folder.WriteFile("Home.mb\\fromsel.ini", restored);
  const MessageCapturePause pause;
  DriveModal([&] { RunSetup(context); },
             [&](DWORD thread) {
               const DialogControls dialog(WaitForDialog(thread, IDC_MAILBOX));
               if (!checks.Expect(dialog.Window() != nullptr, "settings dialog shown")) return;
               // A message box would hold the dialog open.
               dialog.PostClick(IDOK);
               checks.Expect(WaitUntilClosed(dialog.Window()), "closed without a message");
             });
  checks.ExpectEqual(folder.ReadFile("Work.mb\\fromsel.ini"), handWritten, "locked file kept");
  checks.ExpectEqual(folder.ReadFile("Home.mb\\fromsel.ini"), restored, "restored file kept");
  context.plugin.onExit();
  return checks.Finish();
}

TESTHOST_SCENARIO(ui_settings_not_saved,
                  "settings dialog: a changed mailbox's read-only file is named on OK (1005)") {
  Checks checks("ui_settings_not_saved");
  testing::TestFolder folder;
  MakeThreeMailboxes(folder);
  if (!LoadPluginOver(context, folder)) return false;
  const std::string homeFile = folder.withSeparator() + "Home.mb\\fromsel.ini";
  const MessageCapturePause pause;
  const std::string notSaved = ExpectedMessage(context, NotSavedId, "\n" + homeFile);
  int result = 0;
  DriveModal([&] { result = RunSetup(context); },
             [&](DWORD thread) {
               const DialogControls dialog(WaitForDialog(thread, IDC_MAILBOX));
               if (!checks.Expect(dialog.Window() != nullptr, "settings dialog shown")) return;
               checks.Expect(dialog.SelectComboItem(IDC_MAILBOX, "Home"), "select Home");
               dialog.Click(IDC_DELIVERED_TO);
               // Made read-only while the dialog is open.
               SetFileAttributesA(homeFile.c_str(), FILE_ATTRIBUTE_READONLY);
               dialog.PostClick(IDOK);  // posted: the message box is modal
               checks.ExpectEqual(TakeMessageBox(thread), notSaved, "unsaved file named");
             });
  SetFileAttributesA(homeFile.c_str(), FILE_ATTRIBUTE_NORMAL);
  checks.Expect(result == 1, "setup returns 1");
  checks.ExpectEqual(folder.ReadFile("Home.mb\\fromsel.ini"), HomeSettings, "Home file kept");
  checks.ExpectEqual(folder.ReadFile("Work.mb\\fromsel.ini"), ">Enable=0\n>Delivered-To=0\n",
                     "Work, never read and still absent, gets the defaults");
  context.plugin.onExit();
  return checks.Finish();
}

}  // namespace fromsel::testhost
