// Per-mailbox settings and the process-wide settings table.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "rules/address_rule.h"

namespace fromsel {

// What a mailbox's settings file held when it was last read or written.
// Saving rewrites a mailbox the user did not change only while its file
// still holds exactly that: a file that was locked, or that someone wrote
// after it was read, keeps its rules.
struct SettingsFileRecord {
  enum class State { Absent, Held, Unreadable };
  State state = State::Absent;
  std::string text;  // the bytes, when Held
};

struct MailboxSettings {
  bool enabled = false;
  bool lookAtDeliveredTo = false;
  std::vector<AddressRule> rules;
  SettingsFileRecord file;  // not a setting: SameSettings ignores it
};

bool SameSettings(const MailboxSettings& a, const MailboxSettings& b);

// Ordered map from MailboxKey (lower-cased "*.mb" directory name) to settings.
using SettingsTable = std::map<std::string, MailboxSettings>;

// The MailboxKey of a mailbox directory: its name as listed (no path, no
// separator), lower-cased with the platform's ANSI rules.
std::string MailboxKey(const std::string& directoryName);

// The entry for `key`, inserted with default settings when absent.
MailboxSettings& SettingsFor(SettingsTable& table, const std::string& key);

// Name of the settings file in every mailbox directory.
inline constexpr const char* SettingsFileName = "fromsel.ini";

// The process-wide table: absent before LoadSettingsTable and after
// ReleaseSettingsTable.
SettingsTable* CurrentSettingsTable();

// The process-wide table with a share in its ownership, or null. Whoever
// holds it may use the table while the process-wide one is replaced or
// released meanwhile.
std::shared_ptr<SettingsTable> HoldSettingsTable();

// Creates the process-wide table and fills it from every mailbox directory's
// settings file under `dataFolder` (which ends in a separator).
void LoadSettingsTable(const std::string& dataFolder);

// Fills `table` from the settings files under `dataFolder`.
void LoadSettingsTableFrom(const std::string& dataFolder, SettingsTable& table);

// MailboxKeys of the mailboxes the user changed.
using ChangedMailboxes = std::set<std::string>;

// Writes the settings file of each mailbox directory under `dataFolder` from
// `table` (adding default entries for directories that have none): always
// for a changed mailbox, else only while the file still holds what its
// record says. Returns the paths of changed mailboxes' files that could
// not be written; the others keep their old file, which holds their rules.
std::vector<std::string> SaveSettingsTableTo(const std::string& dataFolder, SettingsTable& table,
                                             const ChangedMailboxes& changed);

// SaveSettingsTableTo for the process-wide table (creating it when absent).
std::vector<std::string> SaveSettingsTable(const std::string& dataFolder,
                                           const ChangedMailboxes& changed);

// Replaces the process-wide table by a copy of `table` (rules without caches).
void AssignSettingsTable(const SettingsTable& table);

// Destroys the process-wide table with all its rules and caches.
void ReleaseSettingsTable();

// The path of a mailbox directory's settings file.
std::string SettingsFilePath(const std::string& dataFolder, const std::string& directoryName);

}  // namespace fromsel
