#include "tools/fromsel/data_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"
#include "rules/settings.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {
namespace {

// Ini file, section and key that hold a mailbox's account name.
constexpr const char* kMailboxIni = "\\Mailbox.ini";
constexpr const char* kAccountSection = "Account";
constexpr const char* kAccountNameKey = "Name";

std::filesystem::path NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return std::filesystem::path(path);
}

// "Work.mb (Work), Home.mb (Home)": what --mailbox accepts.
std::string ValidNames(const std::vector<MailboxDirectory>& mailboxes) {
  std::string names;
  for (const MailboxDirectory& mailbox : mailboxes) {
    if (!names.empty()) names += ", ";
    names += mailbox.directory;
    if (!mailbox.accountName.empty()) names += " (" + mailbox.accountName + ")";
  }
  return names.empty() ? "none" : names;
}

// The directories whose field equals `name`, exactly or else but for case.
std::vector<std::string> Matching(const std::vector<MailboxDirectory>& mailboxes,
                                  const std::string& name,
                                  std::string MailboxDirectory::*field) {
  std::vector<std::string> exact, folded;
  for (const MailboxDirectory& mailbox : mailboxes) {
    const std::string& value = mailbox.*field;
    if (value.empty()) continue;
    if (value == name) exact.push_back(mailbox.directory);
    else if (MailboxKey(value) == MailboxKey(name)) folded.push_back(mailbox.directory);
  }
  return exact.empty() ? folded : exact;
}

}  // namespace

void RequireReadableFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::directory_iterator probe(NativePath(folder), error);
  if (error) throw CliError{ExitNoInput, "cannot read folder " + folder};
}

DataFolder TakeDataFolder(Arguments& args, const std::string& command, bool& json) {
  std::string data;
  if (!args.TakeOption("--data", data)) throw CliError{ExitUsage, command + " needs --data DIR"};
  json = args.TakeFlag("--json");
  args.Positionals(0, 0);
  if (data.empty()) throw CliError{ExitUsage, command + " needs a non-empty --data DIR"};
  RequireReadableFolder(data);
  DataFolder folder{WithSeparator(data), {}};
  folder.mailboxes = ListMailboxDirectories(folder.path);
  if (folder.mailboxes.empty()) throw CliError{ExitNoInput, "no mailbox (*.mb folder) in " + data};
  return folder;
}

std::vector<MailboxDirectory> ListMailboxDirectories(const std::string& dataFolder) {
  std::vector<MailboxDirectory> mailboxes;
  for (const platform::DirectoryEntry& entry : platform::ListMailboxEntries(dataFolder)) {
    if (!entry.isDirectory) continue;
    mailboxes.push_back({entry.name, platform::ReadProfileString(kAccountSection, kAccountNameKey,
                                                                 "", dataFolder + entry.name +
                                                                         kMailboxIni)});
  }
  std::sort(mailboxes.begin(), mailboxes.end(),
            [](const MailboxDirectory& a, const MailboxDirectory& b) {
              return a.directory < b.directory;
            });
  return mailboxes;
}

std::string FindMailbox(const std::string& dataFolder, const std::string& name,
                        const std::string& shownFolder) {
  const std::vector<MailboxDirectory> mailboxes = ListMailboxDirectories(dataFolder);
  std::vector<std::string> found = Matching(mailboxes, name, &MailboxDirectory::directory);
  if (found.empty()) found = Matching(mailboxes, name, &MailboxDirectory::accountName);
  if (found.size() == 1) return found[0];
  if (found.empty())
    throw CliError{ExitNoInput, "no mailbox " + name + " in " + shownFolder +
                                    "; the mailboxes are: " + ValidNames(mailboxes)};
  std::string names;
  for (const std::string& directory : found) names += (names.empty() ? "" : ", ") + directory;
  throw CliError{ExitUsage, "several mailboxes are named " + name + ": " + names +
                                "; give the directory name"};
}

SettingsFileState ReadSettingsFile(const std::string& dataFolder, const std::string& mailbox,
                                   std::string& text) {
  const std::string path = dataFolder + mailbox + "\\" + SettingsFileName;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(NativePath(path), error);
  if (!std::filesystem::exists(status)) return SettingsFileState::Missing;
  if (std::filesystem::is_directory(status)) return SettingsFileState::Folder;
  // A settings file is a few lines per rule; anything this large is not
  // one, and reading it whole would only exhaust memory.
  const std::uintmax_t size = std::filesystem::file_size(NativePath(path), error);
  if (!error && size > MaxInputBytes) return SettingsFileState::TooLarge;
  if (!platform::ReadWholeFile(path, text)) return SettingsFileState::Unreadable;
  return SettingsFileState::Read;
}

}  // namespace fromsel::cli
