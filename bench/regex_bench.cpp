// Regular-expression rules next to PCRE2 (interpreter and JIT) and
// std::regex: compiling 30 typical address rules, and matching addresses
// against them in order as a reply does (first matching rule wins). Every
// engine gets the rule form ^(?:pattern)$, case-insensitive. After the runs
// the program prints each peer's time as a ratio of ours.
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "pattern/regex/compile.h"
#include "pattern/regex/search.h"
#include "rules/address_rule.h"
#include "sender/regex_rule.h"
#include "sender/rule_match.h"
#include "testing/random_words.h"

namespace {

using namespace fromsel;

constexpr int kAddressCount = 2000;
constexpr unsigned kSeed = 20261208;

// The kind of rule people write for sender selection.
const std::vector<std::string>& RulePatterns() {
  static const std::vector<std::string> patterns = {
      "info@example\\.com",
      "sales@example\\.com",
      "support@(mail\\.)?example\\.com",
      ".*@example\\.org",
      ".*@(dept1|dept2|dept3)\\.example\\.net",
      "(.+)\\+list@example\\.com",
      "[a-z]+\\.[a-z]+@corp\\.example\\.co\\.jp",
      "(admin|root|postmaster)@.*",
      "[^@]+@host[0-9]+\\.example\\.de",
      "news(letter)?@example\\.info",
      "(.+)@(.+)\\.example\\.com",
      "[a-z0-9._%+-]+@lists\\.example\\.org",
      "team-[a-z]+@example\\.net",
      "(?:billing|invoice|accounts)@shop\\.example",
      "no-?reply@.*\\.example\\.com",
      "[0-9]{4,}@numbers\\.example",
      "(.+)-bounces@ml\\.example\\.jp",
      "\\w+@(?:a|b|c)\\.example",
      "me\\+[a-z]+@example\\.net",
      "(.*)@old-domain\\.example",
      "ceo@board\\.example\\.com",
      "jobs@careers\\.example\\.com",
      ".*@mail[0-9]?\\.example\\.org",
      "(first|second|third)\\.(last)@example\\.com",
      "[a-z]{2,8}@short\\.example",
      "abuse@.*",
      "(.+)@example\\.(com|org|net)\\.invalid",
      "(?:x|y|z)[0-9]*@letters\\.example",
      "someone\\.very\\.specific@deep\\.sub\\.example\\.co\\.uk",
      ".*",
  };
  return patterns;
}

// Addresses that reach rules early, late and only the catch-all at the end.
const std::vector<std::string>& Addresses() {
  static const std::vector<std::string> addresses = [] {
    static const char* const domains[] = {
        "example.com",       "mail.example.com", "example.org",       "dept2.example.net",
        "corp.example.co.jp", "host12.example.de", "lists.example.org", "example.net",
        "ml.example.jp",     "b.example",         "unrelated.example", "deep.sub.example.co.uk"};
    std::mt19937 random(kSeed);
    std::uniform_int_distribution<int> domain(0, 11);
    std::uniform_int_distribution<int> shape(0, 5);
    std::vector<std::string> list;
    for (int i = 0; i < kAddressCount; ++i) {
      std::string local = testing::RandomWord(random, 2, 10);
      switch (shape(random)) {
        case 0: local += "." + testing::RandomWord(random, 2, 8); break;
        case 1: local += "+list"; break;
        case 2: local += "-bounces"; break;
        default: break;
      }
      std::string address = local + "@" + domains[domain(random)];
      if (shape(random) == 0)
        for (char& c : address) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
      list.push_back(address);
    }
    return list;
  }();
  return addresses;
}

// --- Our engine: the real rule objects. ---

void BM_Compile_Ours(benchmark::State& state) {
  regex::InstallCaseTable();
  for (auto _ : state) {
    for (const std::string& pattern : RulePatterns()) {
      CompiledRule compiled(RuleRegexText(pattern), RuleRegexOptions);
      benchmark::DoNotOptimize(compiled.program);
    }
  }
  state.SetItemsProcessed(state.iterations() * RulePatterns().size());
}

void BM_Rules_Ours(benchmark::State& state) {
  regex::InstallCaseTable();
  std::vector<AddressRule> rules(RulePatterns().size());
  for (std::size_t i = 0; i < rules.size(); ++i) {
    rules[i].regex = true;
    rules[i].pattern = RulePatterns()[i];
  }
  long ruleTests = 0;
  for (auto _ : state) {
    ruleTests = 0;
    for (const std::string& address : Addresses()) {
      regex::RegexRegistersOwner registers;  // one set per address, as a reply keeps it
      for (AddressRule& rule : rules) {
        ++ruleTests;
        if (RuleMatches(rule, address, registers.get())) break;
      }
    }
    benchmark::DoNotOptimize(ruleTests);
  }
  state.counters["ruleTests"] = static_cast<double>(ruleTests);
  state.SetItemsProcessed(state.iterations() * Addresses().size());
}

// --- PCRE2. ---

struct Pcre2Code {
  explicit Pcre2Code(pcre2_code* compiled) : code(compiled) {}
  ~Pcre2Code() { pcre2_code_free(code); }
  Pcre2Code(const Pcre2Code&) = delete;
  Pcre2Code& operator=(const Pcre2Code&) = delete;
  pcre2_code* code;
};

pcre2_code* CompilePcre2(const std::string& pattern, bool jit) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  const std::string text = RuleRegexText(pattern);
  // DOLLAR_ENDONLY: $ is the text end, as in the rule form.
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(),
                                   PCRE2_CASELESS | PCRE2_DOLLAR_ENDONLY, &error, &offset, nullptr);
  if (code && jit) pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  return code;
}

void Pcre2Compile(benchmark::State& state, bool jit) {
  for (auto _ : state) {
    for (const std::string& pattern : RulePatterns()) {
      Pcre2Code compiled(CompilePcre2(pattern, jit));
      benchmark::DoNotOptimize(compiled.code);
    }
  }
  state.SetItemsProcessed(state.iterations() * RulePatterns().size());
}

void Pcre2Rules(benchmark::State& state, bool jit) {
  std::vector<std::unique_ptr<Pcre2Code>> rules;
  for (const std::string& pattern : RulePatterns())
    rules.push_back(std::make_unique<Pcre2Code>(CompilePcre2(pattern, jit)));
  pcre2_match_data* data = pcre2_match_data_create(32, nullptr);
  long ruleTests = 0;
  for (auto _ : state) {
    ruleTests = 0;
    for (const std::string& address : Addresses()) {
      for (const auto& rule : rules) {
        ++ruleTests;
        if (pcre2_match(rule->code, reinterpret_cast<PCRE2_SPTR>(address.data()), address.size(),
                        0, 0, data, nullptr) >= 0)
          break;
      }
    }
    benchmark::DoNotOptimize(ruleTests);
  }
  pcre2_match_data_free(data);
  state.counters["ruleTests"] = static_cast<double>(ruleTests);
  state.SetItemsProcessed(state.iterations() * Addresses().size());
}

void BM_Compile_Pcre2(benchmark::State& state) { Pcre2Compile(state, false); }
void BM_Compile_Pcre2Jit(benchmark::State& state) { Pcre2Compile(state, true); }
void BM_Rules_Pcre2(benchmark::State& state) { Pcre2Rules(state, false); }
void BM_Rules_Pcre2Jit(benchmark::State& state) { Pcre2Rules(state, true); }

// --- std::regex. ---

constexpr auto kStdFlags = std::regex::ECMAScript | std::regex::icase;

void BM_Compile_StdRegex(benchmark::State& state) {
  for (auto _ : state) {
    for (const std::string& pattern : RulePatterns()) {
      std::regex compiled(RuleRegexText(pattern), kStdFlags);
      benchmark::DoNotOptimize(compiled);
    }
  }
  state.SetItemsProcessed(state.iterations() * RulePatterns().size());
}

void BM_Rules_StdRegex(benchmark::State& state) {
  std::vector<std::regex> rules;
  for (const std::string& pattern : RulePatterns()) rules.emplace_back(RuleRegexText(pattern), kStdFlags);
  std::smatch match;
  long ruleTests = 0;
  for (auto _ : state) {
    ruleTests = 0;
    for (const std::string& address : Addresses()) {
      for (const std::regex& rule : rules) {
        ++ruleTests;
        if (std::regex_search(address, match, rule)) break;
      }
    }
    benchmark::DoNotOptimize(ruleTests);
  }
  state.counters["ruleTests"] = static_cast<double>(ruleTests);
  state.SetItemsProcessed(state.iterations() * Addresses().size());
}

BENCHMARK(BM_Compile_Ours)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Compile_Pcre2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Compile_Pcre2Jit)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Compile_StdRegex)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Rules_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rules_Pcre2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rules_Pcre2Jit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rules_StdRegex)->Unit(benchmark::kMillisecond);

// Remembers each run's CPU time per iteration (steadier than wall time on a
// shared machine), grouped by the name's middle part
// (Compile, Rules) and keyed by engine, to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      const std::string name = run.run_name.str();
      const std::size_t first = name.find('_');
      const std::size_t second = name.find('_', first + 1);
      if (first == std::string::npos || second == std::string::npos) continue;
      times_[name.substr(first + 1, second - first - 1)][name.substr(second + 1)] =
          run.GetAdjustedCPUTime();
    }
  }

  void PrintRatios() const {
    std::printf("\nTime of each engine relative to ours (1.00 = same; above 1 = slower):\n");
    for (const auto& [group, engines] : times_) {
      const auto ours = engines.find("Ours");
      if (ours == engines.end() || ours->second <= 0) continue;
      std::printf("  %-8s", group.c_str());
      for (const auto& [engine, time] : engines)
        std::printf("  %s %.2f", engine.c_str(), time / ours->second);
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, std::map<std::string, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.PrintRatios();
  benchmark::Shutdown();
  return 0;
}
