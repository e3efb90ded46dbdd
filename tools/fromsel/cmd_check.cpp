// fromsel check --data DIR: reads every mailbox's settings file as the
// plug-in does at start and reports each rule that cannot work as written.
#include <algorithm>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "pattern/regex/program.h"
#include "platform/platform.h"
#include "rules/settings_text.h"
#include "tools/fromsel/check_rules.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {
namespace {

// A settings file is a few lines per rule; anything this large is not one,
// and reading it whole would only exhaust memory.
constexpr std::uintmax_t kMaxSettingsFileBytes = MaxInputBytes;

std::filesystem::path NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return std::filesystem::path(path);
}

void RequireReadableFolder(const std::string& folder) {
  std::error_code error;
  std::filesystem::directory_iterator probe(NativePath(folder), error);
  if (error) throw CliError{ExitNoInput, "cannot read folder " + folder};
}

std::vector<std::string> MailboxDirectories(const std::string& dataFolder) {
  std::vector<std::string> names;
  for (const platform::DirectoryEntry& entry : platform::ListMailboxEntries(dataFolder))
    if (entry.isDirectory) names.push_back(entry.name);
  // The listing order is the platform's; reports are easier to compare sorted.
  std::sort(names.begin(), names.end());
  return names;
}

// Problems of one mailbox, printed as they are found; returns their count.
std::size_t CheckMailbox(const std::string& dataFolder, const std::string& mailbox,
                         std::ostream& out) {
  const std::string path = dataFolder + mailbox + "\\" + SettingsFileName;
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(NativePath(path), error);
  if (!std::filesystem::exists(status)) return 0;  // no rules: nothing to check
  if (std::filesystem::is_directory(status)) {
    // The plug-in cannot read it either and runs the mailbox without rules.
    out << mailbox << ": " << SettingsFileName << " is a folder, not a file\n";
    return 1;
  }
  const std::uintmax_t size = std::filesystem::file_size(NativePath(path), error);
  if (!error && size > kMaxSettingsFileBytes) {
    out << mailbox << ": " << SettingsFileName << " is larger than "
        << kMaxSettingsFileBytes / (1024 * 1024) << " MiB\n";
    return 1;
  }
  std::string text;
  if (!platform::ReadWholeFile(path, text)) {
    // The plug-in would silently run this mailbox without rules.
    out << mailbox << ": cannot read " << SettingsFileName << "\n";
    return 1;
  }
  MailboxSettings settings;
  ParseSettingsText(text, settings);
  std::size_t count = 0;
  for (std::size_t i = 0; i < settings.rules.size(); ++i) {
    for (const std::string& problem : RuleProblems(settings.rules[i])) {
      out << mailbox << ": rule " << i + 1 << ": " << problem << "\n";
      ++count;
    }
  }
  return count;
}

}  // namespace

int RunCheck(Arguments& args, Output& io) {
  std::string data;
  if (!args.TakeOption("--data", data)) throw CliError{ExitUsage, "check needs --data DIR"};
  args.Positionals(0, 0);
  if (data.empty()) throw CliError{ExitUsage, "check needs a non-empty --data DIR"};
  RequireReadableFolder(data);
  const std::string dataFolder = WithSeparator(data);
  const std::vector<std::string> mailboxes = MailboxDirectories(dataFolder);
  if (mailboxes.empty()) throw CliError{ExitNoInput, "no mailbox (*.mb folder) in " + data};

  regex::InstallCaseTable();
  std::size_t problems = 0;
  for (const std::string& mailbox : mailboxes) problems += CheckMailbox(dataFolder, mailbox, io.out);
  return problems > 0 ? ExitNo : ExitYes;
}

}  // namespace fromsel::cli
