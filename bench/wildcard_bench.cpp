// Wildcard matching next to the C library's fnmatch (case folding, leading
// period) on the same generated addresses and patterns. After the runs the
// program prints the time ratio of each pair.
#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "pattern/wildcard/brace_expansion.h"
#include "pattern/wildcard/wildcard.h"
#include "rules/address_rule.h"
#include "sender/rule_match.h"
#include "testing/random_words.h"

namespace {

using namespace fromsel;

constexpr int kAddressCount = 10000;
constexpr int kRuleCount = 100;
constexpr int kDomainCount = 60;
constexpr unsigned kSeed = 20261208;
// Local parts and hosts of both cases: the matcher folds them.
constexpr const char* kWordLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

std::string Domain(int i) {
  static const char* const tops[] = {"com", "org", "net", "co.jp", "de"};
  return "host" + std::to_string(i) + ".example." + tops[i % 5];
}

// Local parts with dots and plus tags, some with a leading period; domains
// of which the rules know about two thirds.
std::vector<std::string> MakeAddresses() {
  std::mt19937 random(kSeed);
  std::uniform_int_distribution<int> domain(0, kDomainCount - 1);
  std::uniform_int_distribution<int> shape(0, 9);
  std::vector<std::string> addresses;
  for (int i = 0; i < kAddressCount; ++i) {
    std::string local = testing::RandomWord(random, 2, 10, kWordLetters);
    switch (shape(random)) {
      case 0: local = "." + local; break;
      case 1: local += "." + testing::RandomWord(random, 2, 8, kWordLetters); break;
      case 2: local += "+" + testing::RandomWord(random, 1, 6, kWordLetters); break;
      case 3: local = "info"; break;
      default: break;
    }
    std::string address = local + "@" + Domain(domain(random));
    if (shape(random) == 0) {
      for (char& c : address) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    addresses.push_back(address);
  }
  return addresses;
}

// A mix of what users write: domain catch-alls, fixed addresses, brace
// alternatives, single-character and bracket items, plus-tag catch-alls.
std::vector<std::string> MakeRulePatterns() {
  std::vector<std::string> patterns;
  for (int i = 0; i < kRuleCount; ++i) {
    const std::string domain = Domain(i % (kDomainCount * 2 / 3) + (i % 3 == 0 ? kDomainCount : 0));
    switch (i % 6) {
      case 0: patterns.push_back("*@" + domain); break;
      case 1: patterns.push_back("info@" + domain); break;
      case 2: patterns.push_back("{sales,support,info}@" + domain); break;
      case 3: patterns.push_back("*+*@" + domain); break;
      case 4: patterns.push_back("[a-m]?*@*" + domain.substr(4)); break;
      default: patterns.push_back("*.*@{" + domain + ",mail." + domain + "}"); break;
    }
  }
  return patterns;
}

struct Data {
  std::vector<std::string> addresses = MakeAddresses();
  std::vector<std::string> rulePatterns = MakeRulePatterns();
  std::vector<std::vector<std::string>> expanded;  // per rule, brace-free
  std::vector<std::string> allExpanded;

  Data() {
    for (const std::string& pattern : rulePatterns) {
      expanded.emplace_back();
      ExpandBraces(pattern, expanded.back());
      allExpanded.insert(allExpanded.end(), expanded.back().begin(), expanded.back().end());
    }
  }
};

const Data& TheData() {
  static const Data data;
  return data;
}

constexpr int kFnmatchFlags = FNM_CASEFOLD | FNM_PERIOD;

// Every brace-free pattern against every address.
void BM_AllPairs_WildcardMatches(benchmark::State& state) {
  const Data& data = TheData();
  long matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (const std::string& address : data.addresses)
      for (const std::string& pattern : data.allExpanded) matches += WildcardMatches(pattern, address);
    benchmark::DoNotOptimize(matches);
  }
  state.counters["matches"] = static_cast<double>(matches);
  state.SetItemsProcessed(state.iterations() * data.addresses.size() * data.allExpanded.size());
}

void BM_AllPairs_fnmatch(benchmark::State& state) {
  const Data& data = TheData();
  long matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (const std::string& address : data.addresses)
      for (const std::string& pattern : data.allExpanded)
        matches += fnmatch(pattern.c_str(), address.c_str(), kFnmatchFlags) == 0;
    benchmark::DoNotOptimize(matches);
  }
  state.counters["matches"] = static_cast<double>(matches);
  state.SetItemsProcessed(state.iterations() * data.addresses.size() * data.allExpanded.size());
}

// A 100-rule mailbox: each address tries the rules in order until one
// matches, as a reply does.
void BM_Mailbox_WildcardRules(benchmark::State& state) {
  const Data& data = TheData();
  std::vector<AddressRule> rules(data.rulePatterns.size());
  for (std::size_t i = 0; i < rules.size(); ++i) rules[i].pattern = data.rulePatterns[i];
  long matched = 0;
  for (auto _ : state) {
    matched = 0;
    for (const std::string& address : data.addresses) {
      for (AddressRule& rule : rules) {
        if (WildcardRuleMatches(rule, address)) {
          ++matched;
          break;
        }
      }
    }
    benchmark::DoNotOptimize(matched);
  }
  state.counters["matched"] = static_cast<double>(matched);
  state.SetItemsProcessed(state.iterations() * data.addresses.size());
}

void BM_Mailbox_fnmatch(benchmark::State& state) {
  const Data& data = TheData();
  long matched = 0;
  for (auto _ : state) {
    matched = 0;
    for (const std::string& address : data.addresses) {
      bool found = false;
      for (const std::vector<std::string>& rule : data.expanded) {
        for (const std::string& pattern : rule) {
          if (fnmatch(pattern.c_str(), address.c_str(), kFnmatchFlags) == 0) {
            found = true;
            break;
          }
        }
        if (found) break;
      }
      matched += found;
    }
    benchmark::DoNotOptimize(matched);
  }
  state.counters["matched"] = static_cast<double>(matched);
  state.SetItemsProcessed(state.iterations() * data.addresses.size());
}

// Patterns that always need the general matcher (no literal shortcut).
void BM_General_WildcardMatches(benchmark::State& state) {
  const Data& data = TheData();
  const std::vector<std::string> patterns = {"*?*@*.example.???", "[!.]*+*@host[0-9]*.example.*",
                                             "*a*e*i*o*u*@*"};
  long matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (const std::string& address : data.addresses)
      for (const std::string& pattern : patterns) matches += WildcardMatches(pattern, address);
    benchmark::DoNotOptimize(matches);
  }
  state.counters["matches"] = static_cast<double>(matches);
}

void BM_General_fnmatch(benchmark::State& state) {
  const Data& data = TheData();
  const std::vector<std::string> patterns = {"*?*@*.example.???", "[!.]*+*@host[0-9]*.example.*",
                                             "*a*e*i*o*u*@*"};
  long matches = 0;
  for (auto _ : state) {
    matches = 0;
    for (const std::string& address : data.addresses)
      for (const std::string& pattern : patterns)
        matches += fnmatch(pattern.c_str(), address.c_str(), kFnmatchFlags) == 0;
    benchmark::DoNotOptimize(matches);
  }
  state.counters["matches"] = static_cast<double>(matches);
}

// The star-heavy pattern that takes exponential time when every star
// retries recursively; "[b]" rather than "b" so that the trailing-literal
// check cannot decide it and the general matcher runs.
void BM_ManyStars_WildcardMatch(benchmark::State& state) {
  const std::string subject(static_cast<std::size_t>(state.range(0)), 'a');
  for (auto _ : state)
    benchmark::DoNotOptimize(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*[b]", subject.c_str(), 12));
}

void BM_ManyStars_fnmatch(benchmark::State& state) {
  const std::string subject(static_cast<std::size_t>(state.range(0)), 'a');
  for (auto _ : state)
    benchmark::DoNotOptimize(fnmatch("*a*a*a*a*a*a*a*a*a*a*[b]", subject.c_str(), kFnmatchFlags));
}

BENCHMARK(BM_AllPairs_WildcardMatches)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AllPairs_fnmatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mailbox_WildcardRules)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mailbox_fnmatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_General_WildcardMatches)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_General_fnmatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ManyStars_WildcardMatch)->Arg(20)->Arg(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ManyStars_fnmatch)->Arg(20)->Arg(40)->Unit(benchmark::kMicrosecond);

// Remembers each run's time so the pairs can be compared at the end. A
// pair shares the name's first two parts (BM_Mailbox) and its arguments.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      // Single runs, or the median when repetitions are aggregated.
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.run_type != Run::RT_Iteration && !median) continue;
      const std::string name = run.run_name.str();
      const std::size_t group = name.find('_', name.find('_') + 1);
      const std::size_t slash = name.find('/');
      const std::string key =
          name.substr(0, group) + (slash == std::string::npos ? "" : name.substr(slash));
      Pair& pair = pairs_[key];
      (name.find("fnmatch") != std::string::npos ? pair.theirs : pair.ours) =
          run.GetAdjustedCPUTime();
    }
  }

  void PrintRatios() const {
    std::printf("\nfromsel CPU time / fnmatch CPU time (below 1: fromsel is faster)\n");
    for (const auto& [key, pair] : pairs_) {
      if (pair.ours > 0 && pair.theirs > 0)
        std::printf("  %-28s %8.3f\n", key.c_str(), pair.ours / pair.theirs);
    }
  }

 private:
  struct Pair {
    double ours = 0;
    double theirs = 0;
  };
  std::map<std::string, Pair> pairs_;
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
