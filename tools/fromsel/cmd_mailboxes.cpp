// fromsel mailboxes --data DIR: the mailbox directories of a data folder
// with the account names the settings dialog shows, whether Fromsel is on
// for each, and how many rules each has.
#include <ostream>

#include "rules/settings_text.h"
#include "tools/fromsel/cli.h"
#include "tools/fromsel/data_folder.h"
#include "tools/fromsel/json_lines.h"

namespace fromsel::cli {

int RunMailboxes(Arguments& args, Output& io) {
  bool json = false;
  const DataFolder folder = TakeDataFolder(args, "mailboxes", json);

  for (const MailboxDirectory& mailbox : folder.mailboxes) {
    // As the plug-in loads it: an unreadable file is no settings at all.
    std::string text;
    MailboxSettings settings;
    if (ReadSettingsFile(folder.path, mailbox.directory, text) == SettingsFileState::Read)
      ParseSettingsText(text, settings);
    if (json) {
      io.out << "{\"directory\": " << JsonString(mailbox.directory)
             << ", \"name\": " << JsonString(mailbox.accountName)
             << ", \"enabled\": " << (settings.enabled ? "true" : "false")
             << ", \"rules\": " << settings.rules.size() << "}\n";
    } else {
      io.out << mailbox.directory << '\t' << mailbox.accountName << '\t'
             << (settings.enabled ? "on" : "off") << '\t' << settings.rules.size()
             << (settings.rules.size() == 1 ? " rule" : " rules") << '\n';
    }
  }
  return ExitYes;
}

}  // namespace fromsel::cli
