// What happens when a reply window opens: choose the sender identity.
#pragma once

#include <string>

#include "pattern/regex/match.h"
#include "rules/settings.h"
#include "sender/host_api.h"

namespace fromsel {

struct SenderAddress {
  std::string localPart;
  std::string domainPart;  // empty or starting with '@'
};

// Why a run ended, for `fromsel try --explain`.
struct RewriteReport {
  std::string stoppedBecause;  // "disabled", "folder has FromAddr", ... or empty
  std::string header;          // header of the deciding address ("To", "Cc", "Delivered-To")
  std::string address;         // the deciding candidate address
  int ruleIndex = 0;           // 1-based index of the deciding rule, 0 when none
  std::string pattern;         // its pattern
};

// Runs against the process-wide settings table; does nothing without one.
void RewriteSender(HostApi& host, ComposeWindow window, RewriteReport* report = nullptr);

// The same against a given table.
void RewriteSenderWith(HostApi& host, ComposeWindow window, SettingsTable& table,
                       RewriteReport* report = nullptr);

bool ApplyRules(HostApi& host, ComposeWindow window, MailboxSettings& settings,
                const std::string& address, RewriteReport* report = nullptr);

SenderAddress BuildSenderAddress(const AddressRule& rule, const std::string& address,
                                 const regex::RegexRegisters& registers);

}  // namespace fromsel
