#include "rules/settings.h"

#include "platform/platform.h"
#include "rules/byte_string.h"
#include "rules/settings_text.h"

namespace fromsel {
namespace {

// Shared: a reply holds the table it started with to its end, so a host that
// re-enters the plug-in (exit, start, the settings dialog's OK) only drops
// the process-wide reference and frees nothing under the running reply.
std::shared_ptr<SettingsTable>& ProcessTable() {
  static std::shared_ptr<SettingsTable> table;
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

std::shared_ptr<SettingsTable> HoldSettingsTable() { return ProcessTable(); }

// The directory is reached by its name as listed; the key is lower-cased.
// On Windows both name the same file; on a case-sensitive file system only
// the listed name does.
std::string SettingsFilePath(const std::string& dataFolder, const std::string& directoryName) {
  return dataFolder + directoryName + "\\" + SettingsFileName;
}

namespace {

using FileState = SettingsFileRecord::State;

// The record of what reading a settings file found.
SettingsFileRecord RecordOf(platform::FileRead read, std::string text) {
  switch (read) {
    case platform::FileRead::Read: return {FileState::Held, std::move(text)};
    case platform::FileRead::Absent: return {FileState::Absent, std::string()};
    case platform::FileRead::Unreadable: break;
  }
  return {FileState::Unreadable, std::string()};
}

// The file holds what the record says: still no file, or the same bytes.
// What could not be read at first is never known to be unchanged.
bool StillAsRecorded(const std::string& path, const SettingsFileRecord& record) {
  std::string text;
  const platform::FileRead now = platform::ReadWholeFileStatus(path, text);
  switch (record.state) {
    case FileState::Absent: return now == platform::FileRead::Absent;
    case FileState::Held: return now == platform::FileRead::Read && text == record.text;
    case FileState::Unreadable: break;
  }
  return false;
}

}  // namespace

void LoadSettingsTableFrom(const std::string& dataFolder, SettingsTable& table) {
  for (const platform::DirectoryEntry& entry : platform::ListMailboxEntries(dataFolder)) {
    if (!entry.isDirectory) continue;
    std::string text;
    const platform::FileRead read =
        platform::ReadWholeFileStatus(SettingsFilePath(dataFolder, entry.name), text);
    // No file: no entry, whose default record says just that.
    if (read == platform::FileRead::Absent) continue;
    MailboxSettings& settings = SettingsFor(table, MailboxKey(entry.name));
    if (read == platform::FileRead::Read) ParseSettingsText(text, settings);
    settings.file = RecordOf(read, std::move(text));
  }
}

void LoadSettingsTable(const std::string& dataFolder) {
  // Filled before it replaces the old table: a reply holding that one
  // keeps it, and a reader re-entered meanwhile still finds a table.
  auto table = std::make_shared<SettingsTable>();
  LoadSettingsTableFrom(dataFolder, *table);
  ProcessTable() = std::move(table);
}

std::vector<std::string> SaveSettingsTableTo(const std::string& dataFolder, SettingsTable& table,
                                             const ChangedMailboxes& changed) {
  std::vector<std::string> notSaved;
  for (const platform::DirectoryEntry& entry : platform::ListMailboxEntries(dataFolder)) {
    if (!entry.isDirectory) continue;
    const std::string key = MailboxKey(entry.name);
    MailboxSettings& settings = SettingsFor(table, key);
    const std::string path = SettingsFilePath(dataFolder, entry.name);
    const bool userChanged = changed.count(key) != 0;
    if (!userChanged && !StillAsRecorded(path, settings.file)) continue;
    // A failed write leaves the old file intact; the next mailbox is still saved.
    std::string text = FormatSettingsText(settings);
    if (platform::WriteWholeFileAtomically(path, text))
      settings.file = {FileState::Held, std::move(text)};
    else if (userChanged)
      notSaved.push_back(path);
  }
  return notSaved;
}

std::vector<std::string> SaveSettingsTable(const std::string& dataFolder,
                                           const ChangedMailboxes& changed) {
  if (!ProcessTable()) ProcessTable() = std::make_shared<SettingsTable>();
  // Held for the whole save, whatever replaces the process-wide table.
  const std::shared_ptr<SettingsTable> table = ProcessTable();
  return SaveSettingsTableTo(dataFolder, *table, changed);
}

void AssignSettingsTable(const SettingsTable& table) {
  if (ProcessTable().get() == &table) return;
  // Built whole before the old table goes, so its rules start without caches.
  ProcessTable() = std::make_shared<SettingsTable>(table);
}

void ReleaseSettingsTable() { ProcessTable().reset(); }

}  // namespace fromsel
