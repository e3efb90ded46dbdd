#include "sender/rewrite.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "rules/byte_string.h"
#include "sender/display_name.h"
#include "sender/recipients.h"
#include "sender/regex_rule.h"
#include "sender/rule_match.h"

namespace fromsel {

namespace {

// First size of the buffer the compose window's reference is read into:
// the classic path length, enough for every ordinary reference.
constexpr int kReferenceBufferStart = 260;
// The buffer doubles up to this size; a host that still fills it is not
// giving a usable reference, and the run stops rather than use a cut one.
constexpr int kReferenceBufferLimit = 16 * 1024 * 1024;

constexpr const char* kReferenceHeader = "X-Becky-Ref";

void Stop(RewriteReport* report, const char* reason) {
  if (report) report->stoppedBecause = reason;
}

// The current mailbox's directory name: the host's text is the name
// followed by one separator.
std::string MailboxDirectoryOf(std::string mailbox) {
  if (!mailbox.empty()) mailbox.pop_back();
  return mailbox;
}

// The compose window's reference, read whole however long it is: the text
// is taken only once it no longer fills the buffer. Empty when the host
// keeps filling even the largest buffer.
std::string ReadReferenceHeader(HostApi& host, ComposeWindow window) {
  std::vector<char> buffer;
  for (int size = kReferenceBufferStart; size <= kReferenceBufferLimit; size *= 2) {
    buffer.assign(static_cast<std::size_t>(size), '\0');
    host.CompGetSpecifiedHeader(window, kReferenceHeader, buffer.data(), size);
    const void* nul = std::memchr(buffer.data(), '\0', buffer.size());
    const std::size_t length =
        nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - buffer.data()) : buffer.size();
    if (length < buffer.size() - 1) return std::string(buffer.data(), length);
  }
  return std::string();
}

// "folder>123" names message 123 of that folder as "folder?0000007b";
// a reference without '>' is used as it is.
std::string SourceRefOf(const std::string& reference) {
  const std::size_t mark = reference.find('>');
  if (mark == std::string::npos) return reference;
  // "%08x" of a 32-bit number: at most 8 digits and the NUL.
  char number[9];
  std::snprintf(number, sizeof number, "%08x",
                static_cast<unsigned>(ParseLeadingDecimal(reference.substr(mark + 1))));
  return reference.substr(0, mark) + "?" + number;
}

bool IsDotAtomDot(const std::string& text, std::size_t i) {
  return text[i] == '.' && i != 0 && i + 1 != text.size() && text[i + 1] != '.';
}

// A parenthesis is an atom character to the recipient walk, but in a
// header it opens a comment, which would hide part of the address.
bool IsParenthesis(char c) { return c == '(' || c == ')'; }

bool LocalPartNeedsQuoting(const std::string& localPart) {
  for (std::size_t i = 0; i < localPart.size(); ++i) {
    if (IsParenthesis(localPart[i])) return true;
    if (!IsAtomCharacter(static_cast<unsigned char>(localPart[i])) && !IsDotAtomDot(localPart, i))
      return true;
  }
  return false;
}

std::string QuoteLocalPart(const std::string& localPart) {
  std::string quoted = "\"";
  for (char c : localPart) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

std::string VerpSender(const SenderAddress& sender) {
  const std::string& local = sender.localPart;
  std::string prefix;
  if (!local.empty() && local.back() == '"')
    prefix = local.substr(0, local.size() - 1) + "-\"";
  else
    prefix = local + "-";
  return "<" + prefix + sender.domainPart + "-@[]>";
}

bool HasLineBreak(const std::string& value) {
  return value.find_first_of("\r\n") != std::string::npos;
}

// Offers the addresses of one header line; true when one of them decided.
// The walk stops early once the reply's work bound is reached.
bool OfferHeader(HostApi& host, ComposeWindow window, MailboxSettings& settings,
                 const std::string& line, const char* header, WorkBudget& budget,
                 RewriteReport* report) {
  if (line.empty() || budget.spent()) return false;
  if (report) report->header = header;
  bool decided = false;
  MatchHeaderAddresses(line, [&](const std::string& address) {
    decided = ApplyRules(host, window, settings, address, budget, report);
    return decided || budget.spent();
  });
  return decided;
}

// Notes in the report the test during which the work bound ran out.
void NoteBoundReached(RewriteReport* report, const std::string& address, std::size_t index,
                      const AddressRule& rule) {
  if (!report) return;
  report->stoppedBecause = "work bound reached";
  report->address = address;
  report->ruleIndex = static_cast<int>(index) + 1;
  report->pattern = rule.pattern;
}

// The first rule that matches the address, null when none does or the
// work bound ran out first. The rules are not added or removed meanwhile,
// so their count is read once.
const AddressRule* FirstMatchingRule(MailboxSettings& settings, const std::string& address,
                                     regex::RegexRegisters& registers, WorkBudget& budget,
                                     CandidateTrace* trace, RewriteReport* report) {
  AddressRule* const rules = settings.rules.data();
  const std::size_t count = settings.rules.size();
  for (std::size_t index = 0; index < count; ++index) {
    const RuleOutcome outcome = TestRule(rules[index], address, registers, budget);
    if (trace) trace->tests.push_back({static_cast<int>(index) + 1, outcome});
    if (outcome == RuleOutcome::Match) return &rules[index];
    if (outcome == RuleOutcome::WorkBoundReached) {
      NoteBoundReached(report, address, index, rules[index]);
      return nullptr;
    }
  }
  return nullptr;
}

}  // namespace

SenderAddress BuildSenderAddress(const AddressRule& rule, const std::string& address,
                                 const regex::RegexRegisters& registers) {
  std::string base;
  if (rule.address.empty())
    base = address;
  else if (rule.regex)
    base = ExpandTemplate(rule.address, address, registers);
  else
    base = rule.address;

  SenderAddress sender;
  const std::size_t at = base.rfind('@');
  if (at == std::string::npos) {
    // No domain at all: the whole base is the local part.
    sender.localPart = base;
  } else {
    sender.localPart = base.substr(0, at);
    sender.domainPart = base.substr(at);
  }
  if (LocalPartNeedsQuoting(sender.localPart)) sender.localPart = QuoteLocalPart(sender.localPart);
  return sender;
}

bool ApplyRules(HostApi& host, ComposeWindow window, MailboxSettings& settings,
                const std::string& address, WorkBudget& budget, RewriteReport* report) {
  if (budget.spent()) return false;
  // Every rule test reads the address at least once (a literal form compares
  // at most its bytes): charged here for all the rules at once, so that the
  // tests themselves charge only what they do beyond it.
  budget.Charge(static_cast<std::int64_t>(settings.rules.size()) *
                ScanSteps(static_cast<std::int64_t>(address.size())));
  // Zeroed before the first rule, released after the last, whatever
  // happened in between.
  regex::RegexRegistersOwner registers;
  CandidateTrace* trace = nullptr;
  if (report && report->candidates.size() < MaxTracedCandidates) {
    report->candidates.push_back({report->header, address, {}});
    trace = &report->candidates.back();
  } else if (report) {
    ++report->untracedCandidates;
  }
  const AddressRule* matched =
      FirstMatchingRule(settings, address, registers.get(), budget, trace, report);
  if (!matched) return false;

  const SenderAddress sender = BuildSenderAddress(*matched, address, registers.get());
  const std::string angleAddress = "<" + sender.localPart + sender.domainPart + ">";
  const std::string senderValue = matched->verp ? VerpSender(sender) : angleAddress;
  // A name that is no phrase goes in quotes, or its commas and
  // parentheses would split or hide part of the header.
  const std::string from = matched->name.empty()
                               ? angleAddress
                               : DisplayNameForFrom(matched->name) + " " + angleAddress;
  // A line break would start a header line of its own in the reply; a
  // hostile message could plant one through its quoted recipient text.
  if (HasLineBreak(from) || (matched->setSender && HasLineBreak(senderValue))) return false;
  if (matched->setSender) host.CompSetSpecifiedHeader(window, "Sender", senderValue);
  host.CompSetSpecifiedHeader(window, "From", from);

  if (report) {
    report->address = address;
    report->ruleIndex = static_cast<int>(matched - settings.rules.data()) + 1;
    report->pattern = matched->pattern;
  }
  return true;
}

namespace {

std::int64_t replyWorkBudgetForTesting = 0;

std::int64_t ReplyWork() {
  return replyWorkBudgetForTesting > 0 ? replyWorkBudgetForTesting : ReplyWorkBudget;
}

// The To addresses, then the Cc addresses, then Delivered-To when the
// mailbox asks; true when one of them decided.
bool DecideFromHeaders(HostApi& host, ComposeWindow window, MailboxSettings& settings,
                       const RecipientHeaders& headers, WorkBudget& budget,
                       RewriteReport* report) {
  if (OfferHeader(host, window, settings, headers.to, "To", budget, report)) return true;
  if (OfferHeader(host, window, settings, headers.cc, "Cc", budget, report)) return true;
  if (!settings.lookAtDeliveredTo || headers.deliveredTo.empty() || budget.spent()) return false;
  // An empty value is no address, as an empty To address is none.
  const std::string deliveredTo = DeliveredToAddress(headers.deliveredTo);
  if (report) report->header = "Delivered-To";
  return !deliveredTo.empty() && ApplyRules(host, window, settings, deliveredTo, budget, report);
}

}  // namespace

void RewriteSenderWith(HostApi& host, ComposeWindow window, SettingsTable& table,
                       RewriteReport* report) {
  MailboxSettings& settings = SettingsFor(table, MailboxKey(MailboxDirectoryOf(host.GetCurrentMailBox())));
  if (!settings.enabled) return Stop(report, "disabled");

  // The host's calls come in this order: current folder, then data folder.
  const std::string folder = host.GetCurrentFolder();
  const std::string folderIni = host.GetDataFolder() + folder + "Folder.ini";
  const std::string fromAddr = platform::ReadProfileString("Settings", "FromAddr", "", folderIni);
  if (!fromAddr.empty()) {
    if (report) report->fromAddr = fromAddr;
    return Stop(report, "folder has FromAddr");
  }

  std::string reference = ReadReferenceHeader(host, window);
  TrimBlanks(reference);
  if (reference.empty()) return Stop(report, "no X-Becky-Ref");

  const std::optional<std::string> source = host.GetSource(SourceRefOf(reference));
  if (!source) return Stop(report, "no source message");

  const RecipientHeaders headers = CollectRecipientHeaders(*source);
  // One bound for the rule work of the whole reply: past it, every test
  // left counts as no match.
  const std::int64_t granted = ReplyWork();
  WorkBudget budget{granted};
  const bool decided = DecideFromHeaders(host, window, settings, headers, budget, report);
  if (report) report->workUsed = granted - budget.left;
  if (decided || budget.spent()) return;
  if (report) report->header.clear();
  Stop(report, "no recipient matched");
}

void SetReplyWorkBudgetForTesting(std::int64_t steps) { replyWorkBudgetForTesting = steps; }

void RewriteSender(HostApi& host, ComposeWindow window, RewriteReport* report) {
  // A callback before start or after exit finds no table: change nothing.
  // The reply holds its table to the end: the host may run exit, start or
  // the settings dialog's OK from inside its own functions.
  const std::shared_ptr<SettingsTable> table = HoldSettingsTable();
  if (!table) return Stop(report, "not started");
  RewriteSenderWith(host, window, *table, report);
}

}  // namespace fromsel
