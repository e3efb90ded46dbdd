// The host's data folder as the commands read it: its mailbox directories
// with their account names, and each mailbox's settings file.
#pragma once

#include <string>
#include <vector>

namespace fromsel::cli {

class Arguments;

struct MailboxDirectory {
  std::string directory;    // as the data folder lists it, such as Work.mb
  std::string accountName;  // Name= of [Account] in its Mailbox.ini; may be empty
};

// Usage error 66 unless `folder` is a folder that can be listed.
void RequireReadableFolder(const std::string& folder);

// A data folder given as --data DIR, with its mailbox directories.
struct DataFolder {
  std::string path;  // DIR with its separator
  std::vector<MailboxDirectory> mailboxes;
};

// The arguments of a command that reads a whole data folder: --data DIR,
// the --json flag, nothing else. Usage error 64 when DIR is missing or
// empty, input error 66 when it cannot be read or holds no mailbox.
DataFolder TakeDataFolder(Arguments& args, const std::string& command, bool& json);

// The mailbox directories of `dataFolder` (ending in a separator), sorted
// by name: the listing order is the platform's, reports compare better sorted.
std::vector<MailboxDirectory> ListMailboxDirectories(const std::string& dataFolder);

// The mailbox directory `name` stands for: a directory name (exact, else the
// one equal but for case) or an account name (likewise). Input error 66
// naming the valid mailboxes when there is none; usage error 64 when an
// account name is shared by several.
std::string FindMailbox(const std::string& dataFolder, const std::string& name,
                        const std::string& shownFolder);

enum class SettingsFileState { Missing, Folder, TooLarge, Unreadable, Read };

// Reads the mailbox's fromsel.ini as the plug-in would, telling why not.
SettingsFileState ReadSettingsFile(const std::string& dataFolder, const std::string& mailbox,
                                   std::string& text);

}  // namespace fromsel::cli
