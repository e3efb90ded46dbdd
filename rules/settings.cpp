#include "rules/settings.h"

#include "platform/platform.h"
#include "rules/byte_string.h"
#include "rules/settings_text.h"

namespace fromsel {
namespace {

std::unique_ptr<SettingsTable>& ProcessTable() {
  static std::unique_ptr<SettingsTable> table;
  return table;
}

}  // namespace

std::string MailboxKey(const std::string& directoryName) {
  std::string key = directoryName;
  ToLowerAnsi(key);
  return key;
}

bool SameSettings(const MailboxSettings& a, const MailboxSettings& b) {
  if (a.enabled != b.enabled || a.lookAtDeliveredTo != b.lookAtDeliveredTo ||
      a.rules.size() != b.rules.size())
    return false;
  for (std::size_t i = 0; i < a.rules.size(); ++i)
    if (!SameRule(a.rules[i], b.rules[i])) return false;
  return true;
}

MailboxSettings& SettingsFor(SettingsTable& table, const std::string& key) { return table[key]; }

SettingsTable* CurrentSettingsTable() { return ProcessTable().get(); }

// The directory is reached by its name as listed; the key is lower-cased.
// On Windows both name the same file; on a case-sensitive file system only
// the listed name does.
std::string SettingsFilePath(const std::string& dataFolder, const std::string& directoryName) {
  return dataFolder + directoryName + "\\" + SettingsFileName;
}

void LoadSettingsTableFrom(const std::string& dataFolder, SettingsTable& table) {
  for (const platform::DirectoryEntry& entry : platform::ListMailboxEntries(dataFolder)) {
    if (!entry.isDirectory) continue;
    std::string text;
    if (!platform::ReadWholeFile(SettingsFilePath(dataFolder, entry.name), text)) continue;
    ParseSettingsText(text, SettingsFor(table, MailboxKey(entry.name)));
  }
}

void LoadSettingsTable(const std::string& dataFolder) {
  ProcessTable() = std::make_unique<SettingsTable>();
  LoadSettingsTableFrom(dataFolder, *ProcessTable());
}

void SaveSettingsTableTo(const std::string& dataFolder, SettingsTable& table) {
  for (const platform::DirectoryEntry& entry : platform::ListMailboxEntries(dataFolder)) {
    if (!entry.isDirectory) continue;
    const MailboxSettings& settings = SettingsFor(table, MailboxKey(entry.name));
    // A failed write leaves the old file intact; the next mailbox is still saved.
    platform::WriteWholeFileAtomically(SettingsFilePath(dataFolder, entry.name),
                                       FormatSettingsText(settings));
  }
}

void SaveSettingsTable(const std::string& dataFolder) {
  if (!ProcessTable()) ProcessTable() = std::make_unique<SettingsTable>();
  SaveSettingsTableTo(dataFolder, *ProcessTable());
}

void AssignSettingsTable(const SettingsTable& table) {
  if (ProcessTable().get() == &table) return;
  // Built whole before the old table goes, so its rules start without caches.
  ProcessTable() = std::make_unique<SettingsTable>(table);
}

void ReleaseSettingsTable() { ProcessTable().reset(); }

}  // namespace fromsel
