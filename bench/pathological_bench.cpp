// Hostile patterns and inputs, each of which must come back quickly (the
// goal is 150 ms) without a recursion depth that follows the input:
//   Exponential  regular expressions that backtrack exponentially
//   BigHeader    a 10 MiB To header: extraction, and a 10 MiB address run
//                through a 100-rule mailbox
//   BigPattern   64 KiB patterns: regex compile, wildcard match, expansion
//   BraceCap     brace expansions at and just over the entry limit
//   Nesting      100,000 nested parentheses or braces
// Every case runs once per iteration; the times are the figures.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_data.h"
#include "pattern/regex/compile.h"
#include "pattern/regex/search.h"
#include "pattern/wildcard/brace_expansion.h"
#include "pattern/wildcard/wildcard.h"
#include "rules/settings.h"
#include "sender/recipients.h"
#include "sender/regex_rule.h"
#include "sender/rewrite.h"
#include "sender/rule_match.h"

namespace {

using namespace fromsel;

constexpr std::size_t kBigHeaderBytes = 10 * 1024 * 1024;
constexpr std::size_t kBigPatternBytes = 64 * 1024;
constexpr int kNestingDepth = 100000;

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

// ---- Exponential regular expressions, as rules (compiled once) ----

struct Exponential {
  const char* pattern;
  std::string subject;
};
const std::vector<Exponential>& ExponentialCases() {
  static const std::vector<Exponential> cases = {
      {"(a*)*b", std::string(30, 'a')},
      {"(a|aa)*c", std::string(40, 'a')},
      {"(x+x+)+y", std::string(30, 'x')},
      {"(a|a)*b", std::string(30, 'a')},
      {"((a+)*)+$x", std::string(30, 'a')},
      {"(.*a){12}", std::string(40, 'a') + "b"},
      {"(?:(?=a)a*)*b", std::string(30, 'a')},
      {"(a*)*b", std::string(10000, 'a')},
  };
  return cases;
}

void BM_Exponential_rule(benchmark::State& state) {
  const Exponential& c = ExponentialCases()[static_cast<std::size_t>(state.range(0))];
  AddressRule rule;
  rule.regex = true;
  rule.pattern = c.pattern;
  state.SetLabel(std::string(c.pattern) + " on " + std::to_string(c.subject.size()) + " bytes");
  for (auto _ : state) {
    regex::RegexRegistersOwner registers;
    benchmark::DoNotOptimize(RuleMatches(rule, c.subject, registers.get()));
  }
}

// A raw search over the whole subject: every start position tried.
void BM_Exponential_search(benchmark::State& state) {
  const Exponential& c = ExponentialCases()[static_cast<std::size_t>(state.range(0))];
  CompiledRule compiled(c.pattern, DialogRegexOptions);
  state.SetLabel(std::string(c.pattern) + " on " + std::to_string(c.subject.size()) + " bytes");
  const int size = static_cast<int>(c.subject.size());
  for (auto _ : state)
    benchmark::DoNotOptimize(regex::SearchRegex(*compiled.program, c.subject.data(), size, 0, size, nullptr));
}

// A reply with 20 recipients and one exponential rule: the budget bounds
// one search, and a reply makes one search per recipient and rule.
void BM_Exponential_reply(benchmark::State& state) {
  SettingsTable table;
  MailboxSettings& settings = table["box.mb"];
  settings.enabled = true;
  AddressRule rule;
  rule.regex = true;
  rule.pattern = "(x+x+)+y";
  settings.rules.push_back(rule);
  std::vector<std::string> recipients;
  for (int i = 0; i < 20; ++i) recipients.push_back(std::string(30, 'x'));
  MemoryHost host = bench::ReplyHost(bench::ReplySource(recipients));
  for (auto _ : state) RewriteSenderWith(host, nullptr, table);
}

// ---- A 10 MiB header ----

const std::string& BigToSource() {
  static const std::string source = [] {
    std::string text = "From: a@b\r\nTo: ";
    for (int i = 0; text.size() < kBigHeaderBytes; ++i)
      text += "\"User " + std::to_string(i) + "\" <user" + std::to_string(i) + "@x.example> (c),\r\n\t";
    return text + "last@x.example\r\n\r\nbody\r\n";
  }();
  return source;
}

void BM_BigHeader_extract(benchmark::State& state) {
  for (auto _ : state) {
    const RecipientHeaders headers = CollectRecipientHeaders(BigToSource());
    long offered = 0;
    MatchHeaderAddresses(headers.to, [&](const std::string&) { return ++offered < 0; });
    benchmark::DoNotOptimize(offered);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BigToSource().size()));
}

// The whole reply to the 10 MiB To header: every one of its addresses is
// offered to the 100-rule mailbox, and none matches.
void BM_BigHeader_reply(benchmark::State& state) {
  SettingsTable table;
  MailboxSettings& settings = table["box.mb"];
  settings.enabled = true;
  for (const bench::RuleText& text : bench::MailboxRules()) {
    AddressRule rule;
    rule.regex = text.regex;
    rule.pattern = text.pattern;
    settings.rules.push_back(rule);
  }
  MemoryHost host = bench::ReplyHost(BigToSource());
  RewriteReport report;
  for (auto _ : state) {
    report = RewriteReport();
    RewriteSenderWith(host, nullptr, table, &report);
  }
  state.counters["rule"] = report.ruleIndex;
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(BigToSource().size()));
}

// One 10 MiB address (a single atom) offered to a 100-rule mailbox.
// Arg 0: all rules; 1: only its 30 regular-expression rules; 2: only its
// 70 wildcard rules.
void BM_BigHeader_oneAddressReply(benchmark::State& state) {
  SettingsTable table;
  MailboxSettings& settings = table["box.mb"];
  settings.enabled = true;
  for (const bench::RuleText& text : bench::MailboxRules()) {
    if ((state.range(0) == 1 && !text.regex) || (state.range(0) == 2 && text.regex)) continue;
    AddressRule rule;
    rule.regex = text.regex;
    rule.pattern = text.pattern;
    settings.rules.push_back(rule);
  }
  const std::string source = "To: " + std::string(kBigHeaderBytes, 'a') + "@x.example\r\n\r\n";
  MemoryHost host = bench::ReplyHost(source);
  for (auto _ : state) RewriteSenderWith(host, nullptr, table);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}

// ---- 64 KiB patterns ----

void BM_BigPattern_regexLiteral(benchmark::State& state) {
  const std::string pattern(kBigPatternBytes, 'a');
  for (auto _ : state) {
    CompiledRule rule(RuleRegexText(pattern), RuleRegexOptions);
    benchmark::DoNotOptimize(rule.errorText.size());
  }
}

void BM_BigPattern_regexAlternatives(benchmark::State& state) {
  const std::string pattern = Repeat("a|", kBigPatternBytes / 2 - 1) + "a";
  for (auto _ : state) {
    CompiledRule rule(RuleRegexText(pattern), RuleRegexOptions);
    benchmark::DoNotOptimize(rule.errorText.size());
  }
}

// 32,768 stars: a matcher that recursed per star would go that deep.
void BM_BigPattern_wildcardStars(benchmark::State& state) {
  const std::string pattern = Repeat("*a", kBigPatternBytes / 2) + "b";
  const std::string subject(1024, 'a');
  for (auto _ : state) benchmark::DoNotOptimize(WildcardMatch(pattern.c_str(), subject.c_str(), 12));
}

void BM_BigPattern_wildcardLiteral(benchmark::State& state) {
  const std::string pattern(kBigPatternBytes, 'a');
  const std::string subject(kBigPatternBytes, 'A');
  for (auto _ : state) benchmark::DoNotOptimize(WildcardMatch(pattern.c_str(), subject.c_str(), 12));
}

void BM_BigPattern_expandOneGroup(benchmark::State& state) {
  const std::string pattern = std::string(kBigPatternBytes - 8, 'x') + "{a,b,c}";
  for (auto _ : state) {
    std::vector<std::string> list;
    ExpandBraces(pattern, list);
    benchmark::DoNotOptimize(list.size());
  }
}

// ---- Brace expansion at the cap ----

// Arg: number of two-way groups; 12 gives 4096 entries (the cap), 13 is over it.
void BM_BraceCap_expand(benchmark::State& state) {
  const std::string pattern = Repeat("{a,b}", static_cast<std::size_t>(state.range(0))) + "@example.org";
  for (auto _ : state) {
    std::vector<std::string> list;
    ExpandBraces(pattern, list);
    benchmark::DoNotOptimize(list.size());
  }
}

// A rule at the cap tested against an address that matches none of its entries.
void BM_BraceCap_rule(benchmark::State& state) {
  AddressRule rule;
  rule.pattern = Repeat("{a,b}", static_cast<std::size_t>(state.range(0))) + "*@example.org";
  const std::string address = "abababababababab@example.com";
  for (auto _ : state) benchmark::DoNotOptimize(WildcardRuleMatches(rule, address));
}

// ---- 100,000 nested parentheses ----

void BM_Nesting_regexGroups(benchmark::State& state) {
  const std::string pattern = std::string(kNestingDepth, '(') + "a" + std::string(kNestingDepth, ')');
  for (auto _ : state) {
    CompiledRule rule(pattern, DialogRegexOptions);
    benchmark::DoNotOptimize(rule.errorText.size());
  }
}

void BM_Nesting_regexPlainGroups(benchmark::State& state) {
  const std::string pattern = Repeat("(?:", kNestingDepth) + "a" + std::string(kNestingDepth, ')');
  for (auto _ : state) {
    CompiledRule rule(pattern, DialogRegexOptions);
    benchmark::DoNotOptimize(rule.errorText.size());
  }
}

void BM_Nesting_regexLookAheads(benchmark::State& state) {
  const std::string pattern = Repeat("(?=", kNestingDepth) + "a" + std::string(kNestingDepth, ')');
  for (auto _ : state) {
    CompiledRule rule(pattern, DialogRegexOptions);
    benchmark::DoNotOptimize(rule.errorText.size());
  }
}

void BM_Nesting_braces(benchmark::State& state) {
  const std::string pattern = std::string(kNestingDepth, '{') + "a,b" + std::string(kNestingDepth, '}');
  for (auto _ : state) {
    std::vector<std::string> list;
    ExpandBraces(pattern, list);
    benchmark::DoNotOptimize(list.size());
  }
}

void BM_Nesting_unclosedBraces(benchmark::State& state) {
  const std::string pattern = std::string(kNestingDepth, '{') + "a,b";
  for (auto _ : state) {
    std::vector<std::string> list;
    ExpandBraces(pattern, list);
    benchmark::DoNotOptimize(list.size());
  }
}

void BM_Nesting_headerComments(benchmark::State& state) {
  const std::string line = "To: " + std::string(kNestingDepth, '(') + "a@b" + std::string(kNestingDepth, ')');
  for (auto _ : state) {
    long offered = 0;
    MatchHeaderAddresses(line, [&](const std::string&) { return ++offered < 0; });
    benchmark::DoNotOptimize(offered);
  }
}

void AllExponential(benchmark::internal::Benchmark* b) {
  for (std::size_t i = 0; i < ExponentialCases().size(); ++i) b->Arg(static_cast<int>(i));
}

BENCHMARK(BM_Exponential_rule)->Apply(AllExponential)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Exponential_search)->Apply(AllExponential)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Exponential_reply)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigHeader_extract)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigHeader_reply)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigHeader_oneAddressReply)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigPattern_regexLiteral)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigPattern_regexAlternatives)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigPattern_wildcardStars)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigPattern_wildcardLiteral)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigPattern_expandOneGroup)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BraceCap_expand)->Arg(12)->Arg(13)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BraceCap_rule)->Arg(12)->Arg(13)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nesting_regexGroups)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nesting_regexPlainGroups)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nesting_regexLookAheads)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nesting_braces)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nesting_unclosedBraces)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Nesting_headerComments)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  regex::InstallCaseTable();  // as the plug-in does at start
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
