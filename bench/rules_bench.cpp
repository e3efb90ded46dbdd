// Rule matching as a reply does it, beside the same work done with PCRE2
// (interpreter and JIT), std::regex and glibc fnmatch (FNM_CASEFOLD |
// FNM_PERIOD) for the wildcard rules:
//   Mailbox     a 100-rule mailbox (30 regex, 70 wildcard, first match
//               wins) over 10,000 generated addresses
//   Compile     compiling one regular-expression rule, per rule
//   Reply       the whole RewriteSender path for a reply with 20 recipients
//   Literal     plain-literal and star-literal wildcard patterns beside memcmp:
//               the literal fast path (Literal), the same through a rule
//               (LiteralRule) and the matcher alone (LiteralMatcher)
// Names are BM_<work>_<engine>; scripts/bench.sh turns the JSON output into
// a table of ratios against the fromsel row of each work.
#include <benchmark/benchmark.h>
#include <fnmatch.h>
#include <pcre2.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "bench_data.h"
#include "pattern/wildcard/brace_expansion.h"
#include "pattern/wildcard/literal_form.h"
#include "pattern/wildcard/wildcard.h"
#include "rules/settings.h"
#include "sender/recipients.h"
#include "sender/regex_rule.h"
#include "sender/rewrite.h"
#include "sender/rule_match.h"

namespace {

using namespace fromsel;
using namespace fromsel::bench;

constexpr int kFnmatchFlags = FNM_CASEFOLD | FNM_PERIOD;

// ---- the peers: one compiled rule each --------------------------------

struct Pcre2Rule {
  pcre2_code* code = nullptr;
  pcre2_match_data* match = nullptr;
  Pcre2Rule(const std::string& pattern, bool jit) {
    const std::string text = RuleRegexText(pattern);
    int error = 0;
    PCRE2_SIZE offset = 0;
    code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), PCRE2_CASELESS,
                         &error, &offset, nullptr);
    if (!code) {
      std::fprintf(stderr, "pcre2 refuses %s\n", text.c_str());
      std::abort();
    }
    if (jit) pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    match = pcre2_match_data_create_from_pattern(code, nullptr);
  }
  ~Pcre2Rule() {
    pcre2_match_data_free(match);
    pcre2_code_free(code);
  }
  Pcre2Rule(const Pcre2Rule&) = delete;
  Pcre2Rule& operator=(const Pcre2Rule&) = delete;
  bool Matches(const std::string& address) const {
    return pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(address.data()), address.size(), 0, 0,
                       match, nullptr) >= 0;
  }
};

// A mailbox of one regex engine E plus fnmatch over the expanded wildcards.
template <typename RegexRule>
struct PeerMailbox {
  struct Entry {
    std::unique_ptr<RegexRule> regex;
    std::vector<std::string> wildcards;
  };
  std::vector<Entry> entries;

  template <typename Make>
  explicit PeerMailbox(Make make) {
    for (const RuleText& rule : MailboxRules()) {
      Entry entry;
      if (rule.regex) entry.regex = make(rule.pattern);
      else ExpandBraces(rule.pattern, entry.wildcards);
      entries.push_back(std::move(entry));
    }
  }
  // 1-based index of the first matching rule, 0 when none.
  int FirstMatch(const std::string& address) const {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const Entry& entry = entries[i];
      if (entry.regex) {
        if (entry.regex->Matches(address)) return static_cast<int>(i) + 1;
        continue;
      }
      for (const std::string& pattern : entry.wildcards)
        if (fnmatch(pattern.c_str(), address.c_str(), kFnmatchFlags) == 0) return static_cast<int>(i) + 1;
    }
    return 0;
  }
};

struct StdRegexRule {
  std::regex regex;
  explicit StdRegexRule(const std::string& pattern)
      : regex("(?:" + pattern + ")", std::regex::ECMAScript | std::regex::icase) {}
  bool Matches(const std::string& address) const { return std::regex_match(address, regex); }
};

std::unique_ptr<Pcre2Rule> MakePcre2(const std::string& p) { return std::make_unique<Pcre2Rule>(p, false); }
std::unique_ptr<Pcre2Rule> MakePcre2Jit(const std::string& p) { return std::make_unique<Pcre2Rule>(p, true); }
std::unique_ptr<StdRegexRule> MakeStd(const std::string& p) { return std::make_unique<StdRegexRule>(p); }

MailboxSettings FromselMailbox() {
  MailboxSettings settings;
  settings.enabled = true;
  for (const RuleText& text : MailboxRules()) {
    AddressRule rule;
    rule.regex = text.regex;
    rule.pattern = text.pattern;
    rule.name = "Me";
    rule.address = text.regex ? "me+\\1@example.net" : "me@example.net";
    settings.rules.push_back(rule);
  }
  return settings;
}

int FromselFirstMatch(MailboxSettings& settings, const std::string& address) {
  regex::RegexRegistersOwner registers;
  for (std::size_t i = 0; i < settings.rules.size(); ++i) {
    if (RuleMatches(settings.rules[i], address, registers.get())) return static_cast<int>(i) + 1;
  }
  return 0;
}

const std::vector<std::string>& TheAddresses() {
  static const std::vector<std::string> addresses = Addresses();
  return addresses;
}

// The engines must agree on every address, or the comparison means nothing.
void CheckAgreement() {
  MailboxSettings ours = FromselMailbox();
  const PeerMailbox<Pcre2Rule> pcre2(MakePcre2Jit);
  const PeerMailbox<StdRegexRule> standard(MakeStd);
  int differ = 0, matched = 0;
  for (const std::string& address : TheAddresses()) {
    const int a = FromselFirstMatch(ours, address);
    const int b = pcre2.FirstMatch(address);
    const int c = standard.FirstMatch(address);
    matched += a != 0;
    if (a != b || a != c) {
      if (++differ <= 5)
        std::fprintf(stderr, "engines differ on %s: fromsel %d, pcre2 %d, std::regex %d\n",
                     address.c_str(), a, b, c);
    }
  }
  std::fprintf(stderr, "mailbox: %d of %zu addresses match a rule; engines differ on %d\n", matched,
               TheAddresses().size(), differ);
}

// ---- Mailbox: 100 rules over 10,000 addresses -------------------------------

void BM_Mailbox_fromsel(benchmark::State& state) {
  MailboxSettings settings = FromselMailbox();  // caches fill on the first pass, as in use
  long matched = 0;
  for (auto _ : state) {
    matched = 0;
    for (const std::string& address : TheAddresses()) matched += FromselFirstMatch(settings, address) != 0;
    benchmark::DoNotOptimize(matched);
  }
  state.counters["matched"] = static_cast<double>(matched);
  state.SetItemsProcessed(state.iterations() * kAddressCount);
}

template <typename Rule, std::unique_ptr<Rule> (*Make)(const std::string&)>
void MailboxPeer(benchmark::State& state) {
  const PeerMailbox<Rule> mailbox(Make);
  long matched = 0;
  for (auto _ : state) {
    matched = 0;
    for (const std::string& address : TheAddresses()) matched += mailbox.FirstMatch(address) != 0;
    benchmark::DoNotOptimize(matched);
  }
  state.counters["matched"] = static_cast<double>(matched);
  state.SetItemsProcessed(state.iterations() * kAddressCount);
}
void BM_Mailbox_pcre2interp_fnmatch(benchmark::State& s) { MailboxPeer<Pcre2Rule, MakePcre2>(s); }
void BM_Mailbox_pcre2jit_fnmatch(benchmark::State& s) { MailboxPeer<Pcre2Rule, MakePcre2Jit>(s); }
void BM_Mailbox_stdregex_fnmatch(benchmark::State& s) { MailboxPeer<StdRegexRule, MakeStd>(s); }

// ---- Compile: per regular-expression rule ---------------------------------

std::vector<std::string> RegexRulePatterns() {
  std::vector<std::string> patterns;
  for (const RuleText& rule : MailboxRules())
    if (rule.regex) patterns.push_back(rule.pattern);
  return patterns;
}

void BM_Compile_fromsel(benchmark::State& state) {
  const std::vector<std::string> patterns = RegexRulePatterns();
  for (auto _ : state) {
    for (const std::string& pattern : patterns) {
      CompiledRule rule(RuleRegexText(pattern), RuleRegexOptions);
      benchmark::DoNotOptimize(rule.program);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(patterns.size()));
}

template <typename Rule, std::unique_ptr<Rule> (*Make)(const std::string&)>
void CompilePeer(benchmark::State& state) {
  const std::vector<std::string> patterns = RegexRulePatterns();
  for (auto _ : state) {
    for (const std::string& pattern : patterns) {
      std::unique_ptr<Rule> rule = Make(pattern);
      benchmark::DoNotOptimize(rule.get());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(patterns.size()));
}
void BM_Compile_pcre2interp(benchmark::State& s) { CompilePeer<Pcre2Rule, MakePcre2>(s); }
void BM_Compile_pcre2jit(benchmark::State& s) { CompilePeer<Pcre2Rule, MakePcre2Jit>(s); }
void BM_Compile_stdregex(benchmark::State& s) { CompilePeer<StdRegexRule, MakeStd>(s); }

// ---- Reply: RewriteSender with 20 recipients and 100 rules ------------------

// Arg 0: no recipient matches (every address tries all 100 rules);
// arg 1: the last Cc address matches.
std::vector<std::string> ReplyRecipients(bool lastMatches) {
  std::vector<std::string> recipients;
  for (int i = 0; i < 20; ++i)
    recipients.push_back("person" + std::to_string(i) + "@unknown" + std::to_string(i) + ".example.com");
  if (lastMatches) recipients.back() = "john.smith@" + HostName(1);
  return recipients;
}

void BM_Reply_fromsel(benchmark::State& state) {
  SettingsTable table;
  table["box.mb"] = FromselMailbox();
  MemoryHost host = ReplyHost(ReplySource(ReplyRecipients(state.range(0) != 0)));
  for (auto _ : state) RewriteSenderWith(host, nullptr, table);
  state.counters["headers_set"] = static_cast<double>(host.headerWrites) / static_cast<double>(state.iterations());
}

// The same reply with the recipients walked by fromsel and the rules run by
// a peer: the difference is the rule matching.
template <typename Rule, std::unique_ptr<Rule> (*Make)(const std::string&)>
void ReplyPeer(benchmark::State& state) {
  const PeerMailbox<Rule> mailbox(Make);
  const std::string source = ReplySource(ReplyRecipients(state.range(0) != 0));
  for (auto _ : state) {
    const RecipientHeaders headers = CollectRecipientHeaders(source);
    int rule = 0;
    auto consumer = [&](const std::string& address) { return (rule = mailbox.FirstMatch(address)) != 0; };
    if (!MatchHeaderAddresses(headers.to, consumer)) MatchHeaderAddresses(headers.cc, consumer);
    benchmark::DoNotOptimize(rule);
  }
}
void BM_Reply_pcre2interp_fnmatch(benchmark::State& s) { ReplyPeer<Pcre2Rule, MakePcre2>(s); }
void BM_Reply_pcre2jit_fnmatch(benchmark::State& s) { ReplyPeer<Pcre2Rule, MakePcre2Jit>(s); }
void BM_Reply_stdregex_fnmatch(benchmark::State& s) { ReplyPeer<StdRegexRule, MakeStd>(s); }

// ---- Literal: the literal shortcut of the wildcard matcher -----------------

// Arg 0: a plain literal pattern; arg 1: `*` + literal.
std::string LiteralPattern(bool star) { return star ? "*@host7.example.net" : "info@host7.example.net"; }

// Runs `test` over the addresses and counts the matches. The lambda is
// inlined, as the comparison it stands for would be.
template <typename Test>
void CountMatches(benchmark::State& state, Test test) {
  long matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (const std::string& address : TheAddresses()) matches += test(address);
    benchmark::DoNotOptimize(matches);
  }
  state.counters["matches"] = static_cast<double>(matches);
  state.SetItemsProcessed(state.iterations() * kAddressCount);
}

// The literal fast path: the pattern's literal form, prepared once.
void BM_Literal_fromsel(benchmark::State& state) {
  const LiteralForm form = FindLiteralForm(LiteralPattern(state.range(0) != 0));
  CountMatches(state, [&](const std::string& address) { return LiteralFormMatches(form, address); });
}

// A rule with the pattern, as rule matching runs it: the same fast path
// behind the rule's call and its cache checks.
void BM_LiteralRule_fromsel(benchmark::State& state) {
  AddressRule rule;
  rule.pattern = LiteralPattern(state.range(0) != 0);
  CountMatches(state, [&](const std::string& address) { return WildcardRuleMatches(rule, address); });
}

// The wildcard matcher alone, with the pattern read on every call.
void BM_LiteralMatcher_fromsel(benchmark::State& state) {
  const std::string pattern = LiteralPattern(state.range(0) != 0);
  CountMatches(state, [&](const std::string& address) { return WildcardMatches(pattern, address); });
}

// The exact-case byte comparison the literal shortcut is held against.
void BM_Literal_memcmp(benchmark::State& state) {
  const bool star = state.range(0) != 0;
  const std::string pattern = LiteralPattern(star);
  const std::string literal = star ? pattern.substr(1) : pattern;
  CountMatches(state, [&](const std::string& address) {
    if (star)
      return address.size() >= literal.size() &&
             std::memcmp(address.data() + address.size() - literal.size(), literal.data(),
                         literal.size()) == 0;
    return address.size() == literal.size() &&
           std::memcmp(address.data(), literal.data(), literal.size()) == 0;
  });
}

// The same comparison again, so the rule row has its own ratio.
void BM_LiteralRule_memcmp(benchmark::State& state) { BM_Literal_memcmp(state); }

void BM_Literal_fnmatch(benchmark::State& state) {
  const std::string pattern = LiteralPattern(state.range(0) != 0);
  CountMatches(state, [&](const std::string& address) {
    return fnmatch(pattern.c_str(), address.c_str(), kFnmatchFlags) == 0;
  });
}

BENCHMARK(BM_Mailbox_fromsel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mailbox_pcre2interp_fnmatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mailbox_pcre2jit_fnmatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mailbox_stdregex_fnmatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compile_fromsel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Compile_pcre2interp)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Compile_pcre2jit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Compile_stdregex)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply_fromsel)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply_pcre2interp_fnmatch)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply_pcre2jit_fnmatch)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Reply_stdregex_fnmatch)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Literal_fromsel)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiteralRule_fromsel)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiteralRule_memcmp)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiteralMatcher_fromsel)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Literal_memcmp)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Literal_fnmatch)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  regex::InstallCaseTable();  // as the plug-in does at start
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  CheckAgreement();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
