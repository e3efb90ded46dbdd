#include <algorithm>
#include <filesystem>
#include <ostream>

#include "pattern/regex/program.h"
#include "platform/platform.h"
#include "rules/settings.h"
#include "sender/memory_host.h"
#include "sender/rewrite.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {

namespace {

// The compose window's reference to the message replied to, and the source
// reference the plug-in forms from it.
constexpr const char* kReference = "fromsel-try>1";
constexpr const char* kSourceRef = "fromsel-try?00000001";

bool IsFolder(std::string path) {
  // The host's paths use backslashes; the file system here may not.
  std::replace(path.begin(), path.end(), '\\', '/');
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

// The mailbox directory's name as the data folder lists it: exact, or else
// the one entry equal but for case.
std::string FindMailbox(const std::string& dataFolder, const std::string& name,
                        const std::string& shownFolder) {
  std::string found;
  for (const platform::DirectoryEntry& entry : platform::ListMailboxEntries(dataFolder)) {
    if (!entry.isDirectory) continue;
    if (entry.name == name) return entry.name;
    if (found.empty() && MailboxKey(entry.name) == MailboxKey(name)) found = entry.name;
  }
  if (found.empty()) throw CliError{ExitNoInput, "no mailbox " + name + " in " + shownFolder};
  return found;
}

// Why the run stopped early, or which test decided; when the work bound
// ran out, both: the reason, then the test during which it did.
void PrintExplanation(const RewriteReport& report, std::ostream& out) {
  if (!report.stoppedBecause.empty()) out << report.stoppedBecause << '\n';
  if (report.ruleIndex == 0) return;
  out << "header: " << report.header << '\n'
      << "address: " << report.address << '\n'
      << "rule: " << report.ruleIndex << '\n'
      << "pattern: " << report.pattern << '\n';
}

}  // namespace

// The host of the reply: the data folder and current folder end in one
// separator, the mailbox is a directory name followed by one, as the mail
// client gives them; the folder defaults to the mailbox directory.
MemoryHost ReplyHost(const std::string& data, const std::string& mailboxName,
                     const std::string& folder) {
  MemoryHost host;
  host.dataFolder = WithSeparator(data);
  host.mailbox = mailboxName + "\\";
  host.folder = WithSeparator(folder.empty() ? mailboxName : folder);
  return host;
}

int RunTry(Arguments& args, Output& io) {
  std::string data, mailbox, folder;
  if (!args.TakeOption("--data", data)) throw CliError{ExitUsage, "try needs --data DIR"};
  if (!args.TakeOption("--mailbox", mailbox)) throw CliError{ExitUsage, "try needs --mailbox NAME"};
  args.TakeOption("--folder", folder);
  const bool explain = args.TakeFlag("--explain");
  const std::vector<std::string> positionals = args.Positionals(1, 1);
  if (positionals[0].empty()) throw CliError{ExitUsage, "empty MESSAGE path"};
  if (data.empty() || WithoutSeparators(mailbox).empty())
    throw CliError{ExitUsage, "try needs a non-empty --data DIR and --mailbox NAME"};

  if (!IsFolder(data)) throw CliError{ExitNoInput, "cannot read folder " + data};
  const std::string mailboxName =
      FindMailbox(WithSeparator(data), WithoutSeparators(mailbox), data);
  MemoryHost host = ReplyHost(data, mailboxName, folder);
  if (!IsFolder(host.dataFolder + host.folder))
    throw CliError{ExitNoInput, "cannot read folder " + folder};
  host.sources[kSourceRef] = ReadInput(positionals[0], io.in);
  host.composeHeaders["X-Becky-Ref"] = kReference;

  // As at start: the case table for regular expressions, then a table of
  // our own loaded from the data folder, which is only read.
  regex::InstallCaseTable();
  SettingsTable table;
  LoadSettingsTableFrom(host.dataFolder, table);
  RewriteReport report;
  int window = 0;
  RewriteSenderWith(host, &window, table, &report);

  if (explain) PrintExplanation(report, io.out);
  if (host.headersSet.empty()) {
    io.out << "unchanged\n";
    return ExitNo;
  }
  for (const auto& [header, value] : host.headersSet) io.out << header << ": " << value << '\n';
  return ExitYes;
}

}  // namespace fromsel::cli
