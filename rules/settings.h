// Per-mailbox settings and the process-wide settings table.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "rules/address_rule.h"

namespace fromsel {

struct MailboxSettings {
  bool enabled = false;
  bool lookAtDeliveredTo = false;
  std::vector<AddressRule> rules;
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

// Creates the process-wide table and fills it from every mailbox directory's
// settings file under `dataFolder` (which ends in a separator).
void LoadSettingsTable(const std::string& dataFolder);

// Fills `table` from the settings files under `dataFolder`.
void LoadSettingsTableFrom(const std::string& dataFolder, SettingsTable& table);

// Writes the settings file of every mailbox directory under `dataFolder`
// from `table`, adding default entries for directories that have none.
void SaveSettingsTableTo(const std::string& dataFolder, SettingsTable& table);

// SaveSettingsTableTo for the process-wide table (creating it when absent).
void SaveSettingsTable(const std::string& dataFolder);

// Replaces the process-wide table by a copy of `table` (rules without caches).
void AssignSettingsTable(const SettingsTable& table);

// Destroys the process-wide table with all its rules and caches.
void ReleaseSettingsTable();

// The path of a mailbox directory's settings file.
std::string SettingsFilePath(const std::string& dataFolder, const std::string& directoryName);

}  // namespace fromsel
