// Generated data shared by the rule benchmarks: a 100-rule mailbox (30
// regular-expression and 70 wildcard rules) written so that PCRE2, std::regex
// and fnmatch read each pattern the same way, 10,000 recipient addresses of
// which some match early rules, some late ones and many none, and a reply
// with 20 recipients.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "sender/memory_host.h"
#include "testing/random_words.h"

namespace fromsel::bench {

constexpr int kAddressCount = 10000;
constexpr int kRegexRuleCount = 30;
constexpr int kWildcardRuleCount = 70;
constexpr int kHostCount = 40;  // rules name about half of the hosts
constexpr unsigned kSeed = 20261208;

struct RuleText {
  bool regex;
  std::string pattern;
};

inline std::string HostName(int i) {
  static const char* const tops[] = {"com", "org", "net", "co.jp", "de"};
  return "host" + std::to_string(i) + ".example." + tops[i % 5];
}

inline std::string EscapedDots(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '.') out += '\\';
    out += c;
  }
  return out;
}

// Regular-expression rules in the subset all three regex engines share.
inline std::string RegexPattern(int i) {
  const std::string host = EscapedDots(HostName(i % kHostCount));
  switch (i % 6) {
    case 0: return "(sales|info|support)@" + host;
    case 1: return "[a-z]+\\.[a-z]+@" + host;
    case 2: return "[a-z0-9]+\\+[a-z0-9]+@(mail\\.)?" + host;
    case 3: return "(news|list)-[a-z0-9]+@.*\\.example\\.org";
    case 4: return "[^@]+@" + host;
    default: return "admin[0-9]{1,3}@(.+\\.)?" + host;
  }
}

inline std::string WildcardPattern(int i) {
  const std::string host = HostName((i * 7 + 3) % kHostCount);
  switch (i % 7) {
    case 0: return "*@" + host;
    case 1: return "info@" + host;
    case 2: return "{sales,support,billing}@" + host;
    case 3: return "*+*@" + host;
    case 4: return "[a-m]?*@*." + host;
    case 5: return "*.*@{" + host + ",mail." + host + "}";
    default: return "postmaster@*.example.??";
  }
}

// Regular-expression and wildcard rules interleaved, as a user adds them.
inline std::vector<RuleText> MailboxRules() {
  std::vector<RuleText> rules;
  int regex = 0, wildcard = 0;
  for (int i = 0; i < kRegexRuleCount + kWildcardRuleCount; ++i) {
    if (i % 10 < 3 && regex < kRegexRuleCount) rules.push_back({true, RegexPattern(regex++)});
    else rules.push_back({false, WildcardPattern(wildcard++)});
  }
  return rules;
}

// Local parts with dots, plus tags, role names; hosts from a range twice
// as large as the rules know; one address in ten upper-cased.
inline std::vector<std::string> Addresses(int count = kAddressCount, unsigned seed = kSeed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> host(0, 2 * kHostCount - 1);
  std::uniform_int_distribution<int> shape(0, 9);
  std::vector<std::string> addresses;
  for (int i = 0; i < count; ++i) {
    std::string local = testing::RandomWord(random, 2, 10);
    switch (shape(random)) {
      case 0: local += "." + testing::RandomWord(random, 2, 8); break;
      case 1: local += "+" + testing::RandomWord(random, 1, 6); break;
      case 2: local = "info"; break;
      case 3: local = "news-" + testing::RandomWord(random, 2, 6); break;
      case 4: local = "admin" + std::to_string(i % 1000); break;
      default: break;
    }
    std::string address = local + "@" + (shape(random) == 0 ? "mail." : "") + HostName(host(random));
    if (shape(random) == 0)
      for (char& c : address) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    addresses.push_back(address);
  }
  return addresses;
}

// A reply's source: ordinary headers, 12 To and 8 Cc recipients with
// display names, folded lines, a short body.
inline std::string ReplySource(const std::vector<std::string>& recipients) {
  std::string text =
      "Return-Path: <sender@elsewhere.example>\r\n"
      "Received: from mx.elsewhere.example (mx.elsewhere.example [192.0.2.1])\r\n"
      "\tby mail.example.org with ESMTP id 4F1A2B3C4D\r\n"
      "\tfor <list@example.org>; Tue, 8 Dec 2026 10:00:00 +0900\r\n"
      "From: \"Sender, Some\" <sender@elsewhere.example>\r\n"
      "Subject: Re: quarterly figures\r\n"
      "Date: Tue, 8 Dec 2026 10:00:00 +0900\r\n"
      "Message-ID: <20261208100000.ABCDEF@elsewhere.example>\r\n";
  for (int header = 0; header < 2; ++header) {
    text += header == 0 ? "To: " : "Cc: ";
    const std::size_t first = header == 0 ? 0 : 12;
    const std::size_t last = header == 0 ? 12 : recipients.size();
    for (std::size_t i = first; i < last; ++i) {
      text += "\"Person " + std::to_string(i) + "\" <" + recipients[i] + ">";
      if (i + 1 != last) text += ",\r\n\t";
    }
    text += "\r\n";
  }
  text += "Delivered-To: me@example.org\r\nMIME-Version: 1.0\r\n"
          "Content-Type: text/plain; charset=us-ascii\r\n\r\n";
  for (int line = 0; line < 40; ++line) text += "Body line of an ordinary reply, quoted text and all.\r\n";
  return text;
}

// A host with one compose window whose reference names a message of mailbox
// Box.mb, and one source served for it. It keeps no log (a benchmark runs
// millions of replies), only the count of header writes.
inline MemoryHost ReplyHost(std::string source) {
  MemoryHost host;
  host.dataFolder = "/nonexistent-fromsel-bench/";
  host.mailbox = "Box.mb\\";
  host.folder = "Box.mb\\Inbox\\";
  host.composeHeaders["X-Becky-Ref"] = "Box.mb\\Inbox\\>1234";
  host.anySource = std::move(source);
  host.recording = false;
  return host;
}

}  // namespace fromsel::bench
