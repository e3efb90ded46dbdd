// fromsel try: the plug-in's reply handling run against a host stand-in
// over a data folder on disk, for one message or several.
#include <algorithm>
#include <filesystem>
#include <ostream>

#include "pattern/regex/program.h"
#include "platform/platform.h"
#include "rules/settings.h"
#include "sender/memory_host.h"
#include "sender/rewrite.h"
#include "sender/rule_cache.h"
#include "tools/fromsel/check_rules.h"
#include "tools/fromsel/cli.h"
#include "tools/fromsel/data_folder.h"
#include "tools/fromsel/json_lines.h"
#include "tools/fromsel/settings_lint.h"

namespace fromsel::cli {

namespace {

// The compose window's reference to the message replied to, and the source
// reference the plug-in forms from it.
constexpr const char* kReference = "fromsel-try>1";
constexpr const char* kSourceRef = "fromsel-try?00000001";

// The message argument that stands for standard input.
constexpr const char* kStandardInput = "-";

bool IsFolder(std::string path) {
  // The host's paths use backslashes; the file system here may not.
  std::replace(path.begin(), path.end(), '\\', '/');
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

// What one try needs besides its message.
struct TrySetup {
  std::string data;
  std::string dataFolder;  // with its separator
  std::string mailboxName;
  std::string folder;
  SettingsTable table;
};

// The run's stop, as a user can act on it: the same words as the plug-in's
// report, and why a mailbox is off or whose FromAddr stopped it.
std::string StopDetail(const TrySetup& setup, const RewriteReport& report) {
  if (report.stoppedBecause == "folder has FromAddr")
    return "FromAddr=" + report.fromAddr + " in the folder's Folder.ini; this folder's own From "
           "address wins: clear it in the folder's properties to let Fromsel decide";
  if (report.stoppedBecause != "disabled") return std::string();
  std::string text;
  switch (ReadSettingsFile(setup.dataFolder, setup.mailboxName, text)) {
    case SettingsFileState::Missing:
      return setup.mailboxName + " has no fromsel.ini: tick Enable for it in the settings dialog";
    case SettingsFileState::Read: break;
    default: return "fromsel.ini of " + setup.mailboxName + " cannot be read";
  }
  switch (FindEnableLine(text)) {
    case EnableLine::Missing: return "fromsel.ini has no >Enable line: add >Enable=1";
    case EnableLine::Off: return "fromsel.ini says >Enable=0: tick Enable in the settings dialog";
    case EnableLine::On: break;
  }
  return std::string();
}

const char* OutcomeName(RuleOutcome outcome) {
  switch (outcome) {
    case RuleOutcome::Match: return "match";
    case RuleOutcome::NoMatch: return "no match";
    case RuleOutcome::CompileError: return "compile error";
    case RuleOutcome::OverBraceLimit: return "over the brace limit";
    case RuleOutcome::WorkBoundReached: return "work bound reached";
  }
  return "no match";
}

// The outcome with the compiler's text when the rule did not compile.
std::string OutcomeText(const AddressRule& rule, RuleOutcome outcome) {
  std::string text = OutcomeName(outcome);
  if (outcome == RuleOutcome::CompileError)
    text += ": " + CompileErrorForAuthor(rule.pattern, RuleCompileError(rule));
  return text;
}

const AddressRule& RuleAt(const TrySetup& setup, int ruleIndex) {
  return setup.table.at(MailboxKey(setup.mailboxName)).rules.at(static_cast<std::size_t>(ruleIndex) - 1);
}

// Each candidate in order with every rule tried for it.
void PrintCandidates(const TrySetup& setup, const RewriteReport& report, std::ostream& out) {
  if (report.candidates.empty()) out << "  no To, Cc or Delivered-To address was offered\n";
  for (const CandidateTrace& candidate : report.candidates) {
    out << candidate.header << ": " << candidate.address << '\n';
    if (candidate.tests.empty()) out << "  no rules\n";
    for (const RuleTest& test : candidate.tests) {
      const AddressRule& rule = RuleAt(setup, test.ruleIndex);
      out << "  rule " << test.ruleIndex << ", " << rule.pattern << ": "
          << OutcomeText(rule, test.outcome) << '\n';
    }
  }
  if (report.untracedCandidates)
    out << "and " << report.untracedCandidates << " more addresses, not shown\n";
}

// Why the run stopped early, or which test decided; when the work bound
// ran out, both: the reason, then the test during which it did. A miss
// lists every test it made.
void PrintExplanation(const TrySetup& setup, const RewriteReport& report, std::ostream& out) {
  if (!report.stoppedBecause.empty()) out << report.stoppedBecause << '\n';
  const std::string detail = StopDetail(setup, report);
  if (!detail.empty()) out << "  " << detail << '\n';
  if (report.stoppedBecause == "no recipient matched") PrintCandidates(setup, report, out);
  if (report.ruleIndex == 0) return;
  out << "header: " << report.header << '\n'
      << "address: " << report.address << '\n'
      << "rule: " << report.ruleIndex << '\n'
      << "pattern: " << report.pattern << '\n';
}

void PrintJsonCandidates(const TrySetup& setup, const RewriteReport& report, std::ostream& out) {
  out << ", \"candidates\": [";
  const char* separator = "";
  for (const CandidateTrace& candidate : report.candidates) {
    out << separator << "{\"header\": " << JsonString(candidate.header)
        << ", \"address\": " << JsonString(candidate.address) << ", \"tests\": [";
    separator = ", ";
    const char* testSeparator = "";
    for (const RuleTest& test : candidate.tests) {
      out << testSeparator << "{\"rule\": " << test.ruleIndex << ", \"outcome\": "
          << JsonString(OutcomeText(RuleAt(setup, test.ruleIndex), test.outcome)) << "}";
      testSeparator = ", ";
    }
    out << "]}";
  }
  out << "]";
}

// One object for one message: the headers set, and with --explain the stop
// or the deciding rule and every test made.
void PrintJson(const TrySetup& setup, const std::string& message, const MemoryHost& host,
               const RewriteReport& report, bool explain, std::ostream& out) {
  out << "{\"message\": " << JsonString(message) << ", \"headers\": {";
  const char* separator = "";
  for (const auto& [header, value] : host.headersSet) {
    out << separator << JsonString(header) << ": " << JsonString(value);
    separator = ", ";
  }
  out << "}";
  if (explain) {
    if (report.ruleIndex == 0) {
      out << ", \"stopped\": " << JsonString(report.stoppedBecause)
          << ", \"detail\": " << JsonString(StopDetail(setup, report));
    } else {
      out << ", \"header\": " << JsonString(report.header)
          << ", \"address\": " << JsonString(report.address) << ", \"rule\": " << report.ruleIndex
          << ", \"pattern\": " << JsonString(report.pattern);
    }
    PrintJsonCandidates(setup, report, out);
  }
  out << "}\n";
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

namespace {

// Replies to one message; true when the plug-in set a header.
bool TryMessage(TrySetup& setup, const std::string& message, bool explain, bool json,
                bool named, Output& io) {
  MemoryHost host = ReplyHost(setup.data, setup.mailboxName, setup.folder);
  host.sources[kSourceRef] = ReadMessage(message, io.in);
  host.composeHeaders["X-Becky-Ref"] = kReference;
  RewriteReport report;
  int window = 0;
  RewriteSenderWith(host, &window, setup.table, &report);

  if (json) {
    PrintJson(setup, message, host, report, explain, io.out);
    return !host.headersSet.empty();
  }
  if (named) io.out << "message: " << message << '\n';
  if (explain) PrintExplanation(setup, report, io.out);
  if (host.headersSet.empty()) {
    io.out << "unchanged\n";
    return false;
  }
  for (const auto& [header, value] : host.headersSet) io.out << header << ": " << value << '\n';
  return true;
}

}  // namespace

int RunTry(Arguments& args, Output& io) {
  TrySetup setup;
  std::string mailbox;
  if (!args.TakeOption("--data", setup.data)) throw CliError{ExitUsage, "try needs --data DIR"};
  if (!args.TakeOption("--mailbox", mailbox)) throw CliError{ExitUsage, "try needs --mailbox NAME"};
  args.TakeOption("--folder", setup.folder);
  const bool explain = args.TakeFlag("--explain");
  const bool json = args.TakeFlag("--json");
  std::vector<std::string> messages = args.Positionals(0, SIZE_MAX);
  if (messages.empty()) messages.push_back(kStandardInput);
  for (const std::string& message : messages)
    if (message.empty()) throw CliError{ExitUsage, "empty MESSAGE path"};
  if (std::count(messages.begin(), messages.end(), kStandardInput) > 1)
    throw CliError{ExitUsage, "standard input (-) given more than once"};
  if (setup.data.empty() || WithoutSeparators(mailbox).empty())
    throw CliError{ExitUsage, "try needs a non-empty --data DIR and --mailbox NAME"};

  if (!IsFolder(setup.data)) throw CliError{ExitNoInput, "cannot read folder " + setup.data};
  setup.dataFolder = WithSeparator(setup.data);
  setup.mailboxName = FindMailbox(setup.dataFolder, WithoutSeparators(mailbox), setup.data);
  if (!IsFolder(setup.dataFolder + WithSeparator(setup.folder.empty() ? setup.mailboxName
                                                                       : setup.folder)))
    throw CliError{ExitNoInput, "cannot read folder " + setup.folder};

  // As at start: the case table for regular expressions, then a table of
  // our own loaded from the data folder, which is only read. Every message
  // is a reply of the same session, so rules are prepared once.
  regex::InstallCaseTable();
  LoadSettingsTableFrom(setup.dataFolder, setup.table);
  bool allChanged = true;
  for (const std::string& message : messages)
    allChanged &= TryMessage(setup, message, explain, json, messages.size() > 1, io);
  return allChanged ? ExitYes : ExitNo;
}

}  // namespace fromsel::cli
