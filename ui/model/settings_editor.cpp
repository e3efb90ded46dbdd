#include "ui/model/settings_editor.h"

#include <utility>

#include "platform/platform.h"
#include "rules/byte_string.h"
#include "sender/regex_rule.h"

namespace fromsel {

namespace {

// Share of the width left for the pattern column: seven tenths.
constexpr int PatternShareNumerator = 7;
constexpr int PatternShareDenominator = 10;

// Ini file, section and key that hold a mailbox's account name.
constexpr const char* MailboxIniName = "\\Mailbox.ini";
constexpr const char* AccountSection = "Account";
constexpr const char* AccountNameKey = "Name";

EditResult Beep() {
  EditResult result;
  result.verdict = EditVerdict::Beep;
  return result;
}

}  // namespace

std::string FlagsText(const AddressRule& rule) {
  std::string text;
  if (rule.regex) text += 'R';
  if (rule.verp)
    text += 'V';
  else if (rule.setSender)
    text += 'S';
  return text;
}

std::array<int, 4> RuleColumnWidths(int clientWidth, int verticalScrollBarWidth) {
  const int shared = clientWidth - verticalScrollBarWidth - FlagsColumnWidth;
  const int pattern = shared * PatternShareNumerator / PatternShareDenominator;
  return {FlagsColumnWidth, pattern, shared - pattern, shared / 2};
}

SenderBoxes AfterSetSenderClicked(SenderBoxes boxes) {
  if (!boxes.setSender) boxes.verp = false;
  return boxes;
}

SenderBoxes AfterVerpClicked(SenderBoxes boxes) {
  if (boxes.verp) boxes.setSender = true;
  return boxes;
}

bool BreaksSettingsLine(const std::string& text) {
  return text.find_first_of("\t\r\n") != std::string::npos;
}

AddressRule ReadRule(const RuleFields& fields) {
  AddressRule rule;
  rule.pattern = fields.pattern;
  rule.name = fields.name;
  TrimBlanks(rule.name);
  rule.address = fields.address;
  TrimBlanks(rule.address);
  rule.regex = fields.regex;
  rule.setSender = fields.setSender;
  rule.verp = fields.verp;
  return rule;
}

EditResult ValidateRuleFields(const RuleFields& fields) {
  if (fields.pattern.empty()) return Beep();
  // Name and address are stored trimmed, so only what is inside counts.
  const AddressRule stored = ReadRule(fields);
  if (BreaksSettingsLine(stored.pattern) || BreaksSettingsLine(stored.name) ||
      BreaksSettingsLine(stored.address))
    return Beep();
  if (fields.regex) {
    // The pattern is judged on its own, as typed, without the anchors.
    const CompiledRule test(fields.pattern, DialogRegexOptions);
    if (!test.errorText.empty()) {
      EditResult result;
      result.verdict = EditVerdict::CompileError;
      result.errorText = test.errorText;
      return result;
    }
  }
  const AddressFieldProblem problem = FindAddressFieldProblem(stored);
  if (problem != AddressFieldProblem::None) {
    EditResult result;
    result.verdict = EditVerdict::BadAddress;
    result.addressProblem = problem;
    return result;
  }
  return {};
}

SettingsEditor::SettingsEditor(SettingsTable table)
    : workingTable_(table), openingTable_(std::move(table)) {}

bool SettingsEditor::LoadMailboxes(const std::string& dataFolder,
                                   const std::string& preselectKey) {
  const std::string wanted = MailboxKey(preselectKey);
  for (const platform::DirectoryEntry& entry : platform::ListMailboxEntries(dataFolder)) {
    const std::string displayName = platform::ReadProfileString(
        AccountSection, AccountNameKey, "", dataFolder + entry.name + MailboxIniName);
    const std::size_t index = AddMailbox(entry.name, displayName);
    if (mailboxItems_[index].key == wanted) currentMailbox_ = index;
  }
  return HasMailbox();
}

std::size_t SettingsEditor::AddMailbox(const std::string& directoryName,
                                       const std::string& displayName) {
  const std::string key = MailboxKey(directoryName);
  mailboxEntries_.push_back(&SettingsFor(workingTable_, key));
  mailboxItems_.push_back({displayName, key});
  return mailboxItems_.size() - 1;
}

bool SettingsEditor::SelectMailbox(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= mailboxEntries_.size()) return false;
  currentMailbox_ = static_cast<std::size_t>(index);
  return true;
}

void SettingsEditor::SetEnabled(bool enabled) {
  if (HasMailbox()) mailboxEntries_[currentMailbox_]->enabled = enabled;
}

void SettingsEditor::SetLookAtDeliveredTo(bool look) {
  if (HasMailbox()) mailboxEntries_[currentMailbox_]->lookAtDeliveredTo = look;
}

std::vector<AddressRule>* SettingsEditor::CurrentRules() {
  return HasMailbox() ? &mailboxEntries_[currentMailbox_]->rules : nullptr;
}

std::size_t SettingsEditor::RuleCount() const {
  return HasMailbox() ? Current().rules.size() : 0;
}

bool SettingsEditor::ValidSelection(int selected) const {
  return selected >= 0 && static_cast<std::size_t>(selected) < RuleCount();
}

const AddressRule* SettingsEditor::RuleAt(int index) const {
  return ValidSelection(index) ? &Current().rules[static_cast<std::size_t>(index)] : nullptr;
}

std::string SettingsEditor::FlagsCell(int index) const {
  const AddressRule* rule = RuleAt(index);
  return rule ? FlagsText(*rule) : std::string();
}

const std::string* SettingsEditor::TextCell(int index, int column) const {
  const AddressRule* rule = RuleAt(index);
  if (!rule) return nullptr;
  switch (column) {
    case 1: return &rule->pattern;
    case 2: return &rule->name;
    case 3: return &rule->address;
    default: return nullptr;
  }
}

EditResult SettingsEditor::AddRule(const RuleFields& fields) {
  if (!HasMailbox()) return Beep();
  EditResult result = ValidateRuleFields(fields);
  if (result.verdict != EditVerdict::Done) return result;
  CurrentRules()->push_back(ReadRule(fields));
  return result;
}

EditResult SettingsEditor::ReplaceRule(int selected, const RuleFields& fields) {
  // Without a selection the pattern is not even looked at.
  if (!ValidSelection(selected)) return Beep();
  EditResult result = ValidateRuleFields(fields);
  if (result.verdict != EditVerdict::Done) return result;
  (*CurrentRules())[static_cast<std::size_t>(selected)] = ReadRule(fields);
  return result;
}

EditResult SettingsEditor::RemoveRule(int selected) {
  if (!ValidSelection(selected)) return Beep();
  std::vector<AddressRule>& rules = *CurrentRules();
  rules.erase(rules.begin() + selected);
  return {};
}

EditResult SettingsEditor::ExchangeRules(int from, int to) {
  std::vector<AddressRule>& rules = *CurrentRules();
  std::swap(rules[static_cast<std::size_t>(from)], rules[static_cast<std::size_t>(to)]);
  EditResult result;
  result.selection = to;
  return result;
}

EditResult SettingsEditor::MoveRuleUp(int selected) {
  if (!ValidSelection(selected) || selected == 0) return Beep();
  return ExchangeRules(selected, selected - 1);
}

EditResult SettingsEditor::MoveRuleDown(int selected) {
  if (!ValidSelection(selected) || static_cast<std::size_t>(selected) + 1 >= RuleCount())
    return Beep();
  return ExchangeRules(selected, selected + 1);
}

ChangedMailboxes SettingsEditor::ChangedMailboxKeys() const {
  ChangedMailboxes changed;
  const MailboxSettings defaults;
  for (const auto& [key, settings] : workingTable_) {
    // A mailbox first listed by the dialog began with the defaults.
    const auto opening = openingTable_.find(key);
    if (!SameSettings(settings, opening == openingTable_.end() ? defaults : opening->second))
      changed.insert(key);
  }
  return changed;
}

std::vector<std::string> SettingsEditor::Commit(const std::string& dataFolder) const {
  AssignSettingsTable(workingTable_);
  return SaveSettingsTable(dataFolder, ChangedMailboxKeys());
}

SettingsTable CopyCurrentSettingsTable(const std::string& dataFolder) {
  if (!CurrentSettingsTable()) LoadSettingsTable(dataFolder);
  const SettingsTable* table = CurrentSettingsTable();
  return table ? *table : SettingsTable();
}

}  // namespace fromsel
