// What happens when a reply window opens: choose the sender identity.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "pattern/regex/match.h"
#include "pattern/work_budget.h"
#include "rules/settings.h"
#include "sender/host_api.h"
#include "sender/rule_match.h"

namespace fromsel {

struct SenderAddress {
  std::string localPart;
  std::string domainPart;  // empty or starting with '@'
};

// One rule tested against one candidate address.
struct RuleTest {
  int ruleIndex = 0;  // 1-based
  RuleOutcome outcome = RuleOutcome::NoMatch;
};

// One candidate address offered to the rules, and every test made for it.
struct CandidateTrace {
  std::string header;  // "To", "Cc" or "Delivered-To"
  std::string address;
  std::vector<RuleTest> tests;
};

// Why a run ended, for `fromsel try --explain`. When the reply's work
// bound ran out ("work bound reached"), header, address, ruleIndex and
// pattern name the test during which it did.
struct RewriteReport {
  std::string stoppedBecause;  // "disabled", "folder has FromAddr", ... or empty
  std::string header;          // header of the deciding address ("To", "Cc", "Delivered-To")
  std::string address;         // the deciding candidate address
  int ruleIndex = 0;           // 1-based index of the deciding rule, 0 when none
  std::string pattern;         // its pattern
  std::int64_t workUsed = 0;   // steps of rule work the run charged
  std::string fromAddr;        // the folder's FromAddr when it stopped the run
  std::vector<CandidateTrace> candidates;  // the addresses offered, in order
  std::size_t untracedCandidates = 0;      // offered beyond MaxTracedCandidates
};

// Candidates a report traces: far more than any real message has, few
// enough that a hostile one cannot make the trace outgrow the message.
inline constexpr std::size_t MaxTracedCandidates = 1000;

// Runs against the process-wide settings table; does nothing without one.
void RewriteSender(HostApi& host, ComposeWindow window, RewriteReport* report = nullptr);

// The same against a given table.
void RewriteSenderWith(HostApi& host, ComposeWindow window, SettingsTable& table,
                       RewriteReport* report = nullptr);

// The rules' work is charged to `budget`, which a reply shares across all
// its addresses (ReplyWorkBudget); once it is spent every test answers no.
bool ApplyRules(HostApi& host, ComposeWindow window, MailboxSettings& settings,
                const std::string& address, WorkBudget& budget, RewriteReport* report = nullptr);

// Test hook: replies get this many steps of rule work instead of
// ReplyWorkBudget; 0 restores it.
void SetReplyWorkBudgetForTesting(std::int64_t steps);

SenderAddress BuildSenderAddress(const AddressRule& rule, const std::string& address,
                                 const regex::RegexRegisters& registers);

}  // namespace fromsel
