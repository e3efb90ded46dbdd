// The settings dialog's logic, apart from any window: the working copy of
// the settings table, the mailbox list, the rule edits and their refusals,
// the flags column text, the rule list's column widths and the coupling of
// the Set Sender and Use VERP boxes. The Win32 dialog reads its controls
// into a RuleFields, calls the editor and shows what the editor answers.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "rules/address_rule.h"
#include "rules/settings.h"
#include "sender/address_field.h"

namespace fromsel {

// What the user has typed and checked for one rule.
struct RuleFields {
  std::string pattern;
  std::string name;
  std::string address;
  bool regex = false;
  bool setSender = false;
  bool verp = false;
};

// How an edit ended. Beep, CompileError and BadAddress leave everything
// unchanged.
enum class EditVerdict { Done, Beep, CompileError, BadAddress };

struct EditResult {
  EditVerdict verdict = EditVerdict::Done;
  std::string errorText;  // the compiler's text for CompileError
  AddressFieldProblem addressProblem = AddressFieldProblem::None;  // for BadAddress
  int selection = -1;     // the moved rule's new index after Up or Dn
};

// "", R, S, V, RS or RV: R for a regular expression, then V for VERP or
// else S for Set Sender (VERP implies a Sender header).
std::string FlagsText(const AddressRule& rule);

// Width of the flags column, in pixels.
inline constexpr int FlagsColumnWidth = 24;

// Widths of the four rule-list columns for a list whose client area is
// `clientWidth` wide: pattern and name share what is left after the flags
// column and a vertical scroll bar; the address column is half of that, so
// the list scrolls sideways.
std::array<int, 4> RuleColumnWidths(int clientWidth, int verticalScrollBarWidth);

// The Set Sender / Use VERP pair after the user clicked one of them:
// unchecking Set Sender unchecks VERP, checking VERP checks Set Sender.
struct SenderBoxes {
  bool setSender = false;
  bool verp = false;
};
SenderBoxes AfterSetSenderClicked(SenderBoxes boxes);
SenderBoxes AfterVerpClicked(SenderBoxes boxes);

// True when `text` holds a TAB, CR or LF: the settings file separates
// fields with TAB and lines with LF, so such text cannot be stored.
bool BreaksSettingsLine(const std::string& text);

// The rule the fields describe: the pattern as typed, name and address
// without surrounding blanks, caches empty.
AddressRule ReadRule(const RuleFields& fields);

// Whether a rule may be entered: an empty pattern, or any stored text that
// would break the settings file, beeps; a regular expression must compile
// on its own (without the anchors rule matching adds), case-insensitively;
// and the From field must be able to give one address (BadAddress).
EditResult ValidateRuleFields(const RuleFields& fields);

// One mailbox as the dialog lists it.
struct MailboxItem {
  std::string displayName;  // the account name from Mailbox.ini, may be empty
  std::string key;          // lower-cased directory name
};

class SettingsEditor {
 public:
  // `table` becomes the working table; pass a copy of the process-wide one.
  explicit SettingsEditor(SettingsTable table);

  SettingsEditor(const SettingsEditor&) = delete;
  SettingsEditor& operator=(const SettingsEditor&) = delete;

  // Lists every "*.mb" entry of `dataFolder` (ending in a separator), in
  // enumeration order, giving each an entry of the working table; the
  // entry whose key equals the lower-cased `preselectKey` becomes current,
  // else the first. False when there is no mailbox at all.
  bool LoadMailboxes(const std::string& dataFolder, const std::string& preselectKey);

  // Appends one mailbox (a directory name as enumerated) to the list.
  std::size_t AddMailbox(const std::string& directoryName, const std::string& displayName);

  const std::vector<MailboxItem>& Mailboxes() const { return mailboxItems_; }
  std::size_t CurrentMailbox() const { return currentMailbox_; }
  bool HasMailbox() const { return !mailboxEntries_.empty(); }

  // Makes mailbox `index` current; false (and no change) when out of range.
  bool SelectMailbox(int index);

  // The current mailbox's entry; only valid while HasMailbox().
  const MailboxSettings& Current() const { return *mailboxEntries_[currentMailbox_]; }

  void SetEnabled(bool enabled);
  void SetLookAtDeliveredTo(bool look);

  std::size_t RuleCount() const;
  // The current mailbox's rule at `index`, or null when there is none.
  const AddressRule* RuleAt(int index) const;
  // Text of one cell of the rule list: the flags or the rule's own text.
  // Column 0 is a fresh copy; columns 1..3 refer into the working table.
  std::string FlagsCell(int index) const;
  const std::string* TextCell(int index, int column) const;

  EditResult AddRule(const RuleFields& fields);
  EditResult ReplaceRule(int selected, const RuleFields& fields);
  EditResult RemoveRule(int selected);
  EditResult MoveRuleUp(int selected);
  EditResult MoveRuleDown(int selected);

  const SettingsTable& WorkingTable() const { return workingTable_; }

  // The mailboxes whose settings now differ from when the editor began.
  ChangedMailboxes ChangedMailboxKeys() const;

  // OK: the process-wide table becomes a copy of the working table and the
  // settings files under `dataFolder` are saved: a changed mailbox's always,
  // another's only while its file still holds what was read. Returns the
  // paths of changed mailboxes' files that could not be written.
  std::vector<std::string> Commit(const std::string& dataFolder) const;

 private:
  std::vector<AddressRule>* CurrentRules();
  bool ValidSelection(int selected) const;
  EditResult ExchangeRules(int from, int to);

  SettingsTable workingTable_;
  const SettingsTable openingTable_;  // as the editor began, to tell what changed
  // Entries of workingTable_ (map nodes never move), one per mailbox item.
  std::vector<MailboxSettings*> mailboxEntries_;
  std::vector<MailboxItem> mailboxItems_;
  std::size_t currentMailbox_ = 0;
};

// A copy of the process-wide table; when there is none yet (setup before
// start or after exit) it is first loaded from `dataFolder`.
SettingsTable CopyCurrentSettingsTable(const std::string& dataFolder);

}  // namespace fromsel
