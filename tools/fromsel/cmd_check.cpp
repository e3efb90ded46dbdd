// fromsel check --data DIR: reads every mailbox's settings file as the
// plug-in does at start and reports what makes it behave otherwise than
// its writer meant (problems) and what is worth knowing (notes).
#include <ostream>

#include "pattern/regex/program.h"
#include "rules/settings.h"
#include "tools/fromsel/cli.h"
#include "tools/fromsel/data_folder.h"
#include "tools/fromsel/json_lines.h"
#include "tools/fromsel/settings_lint.h"

namespace fromsel::cli {
namespace {

// "line 3: " or "rule 2: " or nothing, for a finding of the whole file.
std::string Place(const Finding& finding) {
  if (finding.line) return "line " + std::to_string(finding.line) + ": ";
  if (finding.rule) return "rule " + std::to_string(finding.rule) + ": ";
  return std::string();
}

void PrintFinding(const std::string& mailbox, const Finding& finding, bool json,
                  std::ostream& out) {
  if (!json) {
    out << mailbox << ": " << Place(finding) << SeverityName(finding.severity) << ": "
        << finding.text << " -- " << finding.todo << "\n";
    return;
  }
  out << "{\"mailbox\": " << JsonString(mailbox);
  if (finding.line) out << ", \"line\": " << finding.line;
  if (finding.rule) out << ", \"rule\": " << finding.rule;
  out << ", \"severity\": \"" << SeverityName(finding.severity)
      << "\", \"text\": " << JsonString(finding.text) << ", \"todo\": " << JsonString(finding.todo)
      << "}\n";
}

// A settings file the plug-in cannot read: it runs the mailbox without rules.
Finding UnreadableFile(SettingsFileState state) {
  const std::string name = SettingsFileName;
  switch (state) {
    case SettingsFileState::Folder:
      return {Severity::Problem, 0, 0, name + " is a folder, not a file",
              "remove the folder; the settings dialog writes the file"};
    case SettingsFileState::TooLarge:
      return {Severity::Problem, 0, 0,
              name + " is larger than " + std::to_string(MaxInputBytes >> 20) + " MiB",
              "this is no settings file; move it away"};
    default:
      return {Severity::Problem, 0, 0, "cannot read " + name,
              "make the file readable; the plug-in runs the mailbox without rules"};
  }
}

// Findings of one mailbox, printed as they are found; returns the number
// of problems among them.
std::size_t CheckMailbox(const std::string& dataFolder, const std::string& mailbox, bool json,
                         std::ostream& out) {
  std::string text;
  const SettingsFileState state = ReadSettingsFile(dataFolder, mailbox, text);
  if (state == SettingsFileState::Missing) return 0;  // no rules: nothing to check
  if (state != SettingsFileState::Read) {
    PrintFinding(mailbox, UnreadableFile(state), json, out);
    return 1;
  }
  std::size_t problems = 0;
  for (const Finding& finding : LintSettingsText(text)) {
    PrintFinding(mailbox, finding, json, out);
    if (finding.severity == Severity::Problem) ++problems;
  }
  return problems;
}

}  // namespace

int RunCheck(Arguments& args, Output& io) {
  bool json = false;
  const DataFolder folder = TakeDataFolder(args, "check", json);

  regex::InstallCaseTable();
  std::size_t problems = 0;
  for (const MailboxDirectory& mailbox : folder.mailboxes)
    problems += CheckMailbox(folder.path, mailbox.directory, json, io.out);
  return problems > 0 ? ExitNo : ExitYes;
}

}  // namespace fromsel::cli
