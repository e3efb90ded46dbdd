// Where backtracking ran long, and the bound on a whole reply: addresses and
// rules that made the matcher backtrack quadratically or exponentially, and
// replies that offered many addresses to many rules. Rule matching gets the
// rule form ^(?:pattern)$ with IgnoreCase and SingleLine; the peers, PCRE2
// (interpreter and JIT) and RE2, get the same pattern anchored at both ends
// and caseless, and count the subjects they gave up on.
//
// Only operations every version of the engine has are used (RuleMatches,
// SearchRegex, RewriteSenderWith), so this program also builds against an
// older tree to time the same rows before a change (bench/RESULTS.md).
#include <benchmark/benchmark.h>
#include <pcre2.h>
#include <re2/re2.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench_data.h"
#include "pattern/regex/match.h"
#include "pattern/regex/program.h"
#include "pattern/regex/search.h"
#include "rules/settings.h"
#include "sender/regex_rule.h"
#include "sender/rewrite.h"
#include "sender/rule_match.h"

namespace {

using namespace fromsel;

// A host serving `source` to one reply. (Older trees had the benchmarks'
// own host, bench::MemoryHost.)
#if __has_include("sender/memory_host.h")
MemoryHost ReplyHostFor(std::string source) { return bench::ReplyHost(std::move(source)); }
#else
bench::MemoryHost ReplyHostFor(std::string source) { return bench::MemoryHost(std::move(source)); }
#endif

// ---- The peers, matching whole subjects without regard to case ----

class Pcre2Rule {
 public:
  Pcre2Rule(const std::string& pattern, bool jit) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    const std::string anchored = "(?:" + pattern + ")\\z";
    code_ = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(anchored.c_str()), anchored.size(),
                          PCRE2_ANCHORED | PCRE2_CASELESS, &error, &offset, nullptr);
    if (!code_) return;
    if (jit) pcre2_jit_compile(code_, PCRE2_JIT_COMPLETE);
    data_ = pcre2_match_data_create_from_pattern(code_, nullptr);
  }
  ~Pcre2Rule() {
    pcre2_match_data_free(data_);
    pcre2_code_free(code_);
  }
  Pcre2Rule(const Pcre2Rule&) = delete;
  Pcre2Rule& operator=(const Pcre2Rule&) = delete;

  // 1 match, 0 no match, -1 gave up (its match or depth limit) or could
  // not take the pattern.
  int Match(const std::string& subject) const {
    if (!code_ || !data_) return -1;
    const int rc = pcre2_match(code_, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(),
                               0, 0, data_, nullptr);
    return rc >= 0 ? 1 : rc == PCRE2_ERROR_NOMATCH ? 0 : -1;
  }

 private:
  pcre2_code* code_ = nullptr;
  pcre2_match_data* data_ = nullptr;
};

std::unique_ptr<RE2> Re2Rule(const std::string& pattern) {
  RE2::Options options;
  options.set_case_sensitive(false);
  options.set_log_errors(false);
  return std::make_unique<RE2>(pattern, options);
}

// -1 when the engine could not take the pattern (RE2 has no look-ahead,
// atomic group or back-reference, and counts up to 1000).
int Re2Match(const RE2& rule, const std::string& subject) {
  if (!rule.ok()) return -1;
  return RE2::FullMatch(subject, rule) ? 1 : 0;
}

enum Engine { Fromsel, Pcre2, Pcre2Jit, Re2 };

// Counts, over one pass of the benchmark loop, the subjects an engine
// matched and those it gave up on.
struct Tally {
  int matched = 0;
  int gaveUp = 0;
  void Add(int result) {
    matched += result > 0;
    gaveUp += result < 0;
  }
  void Report(benchmark::State& state) const {
    state.counters["matched"] = matched;
    state.counters["gave_up"] = gaveUp;
  }
};

// Runs `subjects` against `patterns` pairwise (pattern i, subject i) on one
// engine, once per benchmark iteration.
void RunPairs(benchmark::State& state, Engine engine, const std::vector<std::string>& patterns,
              const std::vector<std::string>& subjects) {
  std::vector<std::unique_ptr<CompiledRule>> rules(patterns.size());
  std::vector<std::unique_ptr<Pcre2Rule>> pcre2(patterns.size());
  std::vector<std::unique_ptr<RE2>> re2(patterns.size());
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    if (engine == Fromsel)
      rules[i] = std::make_unique<CompiledRule>(RuleRegexText(patterns[i]), RuleRegexOptions);
    if (engine == Pcre2 || engine == Pcre2Jit)
      pcre2[i] = std::make_unique<Pcre2Rule>(patterns[i], engine == Pcre2Jit);
    if (engine == Re2) re2[i] = Re2Rule(patterns[i]);
  }
  Tally tally;
  for (auto _ : state) {
    tally = Tally();
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      switch (engine) {
        case Fromsel: {
          // The search of a rule test (RegexRuleOutcome), which tells a
          // search that gave up (-2) from one that found no match.
          if (!rules[i]->program || !rules[i]->errorText.empty()) break;
          regex::RegexRegisters registers;
          const int size = static_cast<int>(subjects[i].size());
          const int found = regex::SearchRegex(*rules[i]->program, subjects[i].data(), size, 0,
                                               size, &registers);
          tally.Add(found >= 0 ? 1 : found == -2 ? -1 : 0);
          regex::FreeRegisters(registers);
          break;
        }
        case Pcre2: case Pcre2Jit: tally.Add(pcre2[i]->Match(subjects[i])); break;
        case Re2: tally.Add(Re2Match(*re2[i], subjects[i])); break;
      }
    }
  }
  tally.Report(state);
}

// ---- Row 1: a thousand long addresses against an ordinary rule ----
// (As separate rule tests, and as one reply through the whole plug-in path.)

const char* const kSalesRule = ".*sales.*@example\\.com";

std::string SalesAddress() {
  std::string address;
  for (int i = 0; i < 700; ++i) address += "sales";
  return address + "@example.comX";
}

constexpr int kSalesAddresses = 1000;

void BM_SalesAddresses(benchmark::State& state) {
  const std::vector<std::string> patterns(kSalesAddresses, kSalesRule);
  const std::vector<std::string> subjects(kSalesAddresses, SalesAddress());
  RunPairs(state, static_cast<Engine>(state.range(0)), patterns, subjects);
}

// The settings of mailbox Box.mb, enabled, with one regular-expression rule.
SettingsTable OneRegexRule(const char* pattern) {
  SettingsTable table;
  MailboxSettings& settings = table["box.mb"];
  settings.enabled = true;
  AddressRule rule;
  rule.regex = true;
  rule.pattern = pattern;
  settings.rules.push_back(rule);
  return table;
}

// The same as a whole reply: one To line with the thousand addresses.
void BM_SalesReply_fromsel(benchmark::State& state) {
  SettingsTable table = OneRegexRule(kSalesRule);
  std::string source = "To: ";
  for (int i = 0; i < kSalesAddresses; ++i) source += SalesAddress() + (i + 1 < kSalesAddresses ? ", " : "\r\n\r\n");
  auto host = ReplyHostFor(source);
  for (auto _ : state) RewriteSenderWith(host, nullptr, table);
}

// ---- Row 2: patterns that backtrack far, on subjects they do not match ----

struct Backtracking {
  const char* pattern;
  std::string subject;  // holds what the pattern requires, then fails at its end
};

std::string Words(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += "word ";
  return text;
}

const std::vector<Backtracking>& BacktrackingCases() {
  static const std::vector<Backtracking> cases = {
      {"(a+)+b", std::string(30, 'a') + "b!"},
      {"(x+x+)+y", std::string(30, 'x') + "y!"},
      {"([a-z]+)*[0-9]", std::string(30, 'a') + "0!"},
      {"(\\w+\\s?)*", Words(10000) + "!"},
      {"(([a-z])+.)+[A-Z]([a-z])+", std::string(30, 'a') + "!!"},
      {"(?:[a-z0-9]+[._-]?)+@example\\.org", std::string(30, 'a') + "!@example.org"},
      {".*a.*a.*a.*a.*b", std::string(10000, 'a') + "b!"},
  };
  return cases;
}

void BM_Backtracking(benchmark::State& state) {
  const Backtracking& c = BacktrackingCases()[static_cast<std::size_t>(state.range(1))];
  state.SetLabel(std::string(c.pattern) + " on " + std::to_string(c.subject.size()) + " bytes");
  RunPairs(state, static_cast<Engine>(state.range(0)), {c.pattern}, {c.subject});
}

// ---- Row 3: generated patterns of nested counted and lazy loops ----

class NestedLoops {
 public:
  explicit NestedLoops(unsigned seed) : random_(seed) {}
  std::string Pattern() { return Alternation(0); }
  std::string Subject() {
    std::string s;
    for (int n = Pick(8); n > 0; --n) s += "abx"[Pick(3)];
    return s;
  }

 private:
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  std::string Quantifier() {
    static const char* const kinds[] = {"*", "+", "?", "{0,3}", "{1,4}", "{2}", "{2,}",
                                        "{0,100}", "{1,1000}", "{3,40}"};
    return std::string(kinds[Pick(10)]) + (Pick(2) ? "?" : "");
  }
  std::string Atom(int depth) {
    static const char* const atoms[] = {"a", "b", "ab", ".", "[ab]", "x"};
    if (depth >= 3 || Pick(100) < 40) return atoms[Pick(6)];
    return std::string(Pick(2) ? "(" : "(?:") + Alternation(depth + 1) + ")";
  }
  std::string Sequence(int depth) {
    std::string s;
    for (int n = 1 + Pick(2); n > 0; --n) s += Atom(depth) + (Pick(100) < 70 ? Quantifier() : "");
    return s;
  }
  std::string Alternation(int depth) {
    std::string s = Sequence(depth);
    if (depth < 3 && Pick(100) < 25) s += "|" + Sequence(depth);
    return s;
  }
  std::mt19937 random_;
};

constexpr int kNestedPatterns = 4800;

void BM_NestedLoops(benchmark::State& state) {
  static const auto pairs = [] {
    NestedLoops maker(17);
    std::pair<std::vector<std::string>, std::vector<std::string>> made;
    for (int i = 0; i < kNestedPatterns; ++i) {
      made.first.push_back(maker.Pattern());
      made.second.push_back(maker.Subject());
    }
    return made;
  }();
  RunPairs(state, static_cast<Engine>(state.range(0)), pairs.first, pairs.second);
}

// ---- Row 4: one exponential rule in a reply with 20 recipients ----

void BM_ExponentialReply_fromsel(benchmark::State& state) {
  SettingsTable table = OneRegexRule("(x+x+)+y");
  const std::vector<std::string> recipients(20, std::string(30, 'x'));
  auto host = ReplyHostFor(bench::ReplySource(recipients));
  for (auto _ : state) RewriteSenderWith(host, nullptr, table);
}

// ---- Row 5: 270,000 ordinary addresses in a 10 MiB To header, 100 rules ----

void BM_BigHeaderReply_fromsel(benchmark::State& state) {
  std::string source = "From: a@b\r\nTo: ";
  for (int i = 0; source.size() < 10 * 1024 * 1024; ++i)
    source += "\"User " + std::to_string(i) + "\" <user" + std::to_string(i) + "@x.example> (c),\r\n\t";
  source += "last@x.example\r\n\r\nbody\r\n";
  SettingsTable table;
  MailboxSettings& settings = table["box.mb"];
  settings.enabled = true;
  for (const bench::RuleText& text : bench::MailboxRules()) {
    AddressRule rule;
    rule.regex = text.regex;
    rule.pattern = text.pattern;
    settings.rules.push_back(rule);
  }
  auto host = ReplyHostFor(source);
  for (auto _ : state) RewriteSenderWith(host, nullptr, table);
}

// ---- Row 6: 250 capture groups ----

// 248 optional groups that never take part, then a group the backtracking
// sets at every pass: each backtrack point saves all 250 registers. Arg 1
// adds a back-reference (to a group that never takes part, so it always
// fails), which keeps the search on its budget.
std::string ManyGroups(bool backReference) {
  std::string pattern;
  for (int i = 0; i < 248; ++i) pattern += "(z)?";
  return pattern + "((a|aa))*" + (backReference ? "\\1" : "") + "c";
}

void BM_ManyGroups(benchmark::State& state) {
  const bool backReference = state.range(1) != 0;
  const std::string subject = std::string(40, 'a') + "c!";
  state.SetLabel(backReference ? "with a back-reference" : "regular");
  RunPairs(state, static_cast<Engine>(state.range(0)), {ManyGroups(backReference)}, {subject});
}

void AllEngines(benchmark::internal::Benchmark* b, int cases) {
  for (int engine : {Fromsel, Pcre2, Pcre2Jit, Re2})
    for (int c = 0; c < cases; ++c) b->Args({engine, c});
}

BENCHMARK(BM_SalesAddresses)->DenseRange(Fromsel, Re2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SalesReply_fromsel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Backtracking)
    ->Apply([](benchmark::internal::Benchmark* b) { AllEngines(b, 7); })
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NestedLoops)->DenseRange(Fromsel, Re2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExponentialReply_fromsel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BigHeaderReply_fromsel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ManyGroups)
    ->Apply([](benchmark::internal::Benchmark* b) { AllEngines(b, 2); })
    ->Unit(benchmark::kMillisecond);

// As the plug-in does at start, before any benchmark runs.
const bool caseTableInstalled = (regex::InstallCaseTable(), true);

}  // namespace

BENCHMARK_MAIN();
