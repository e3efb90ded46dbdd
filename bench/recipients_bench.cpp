// Recipient extraction and one whole reply run, over headers of growing
// size: the time per byte should stay flat (linear work).
#include <benchmark/benchmark.h>

#include <string>

#include "bench_data.h"
#include "pattern/regex/program.h"
#include "rules/settings.h"
#include "sender/recipients.h"
#include "sender/rewrite.h"

namespace {

std::string ManyAddressesLine(int count) {
  std::string line = "To: ";
  for (int i = 0; i < count; ++i)
    line += "\"User, No. " + std::to_string(i) + "\" <user" + std::to_string(i) +
            "@example.org> (comment),\r\n\t";
  return line;
}

void BM_WalkAddresses(benchmark::State& state) {
  const std::string line = ManyAddressesLine(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    int offered = 0;
    fromsel::MatchHeaderAddresses(line, [&](const std::string&) { return ++offered < 0; });
    benchmark::DoNotOptimize(offered);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(line.size()));
}
BENCHMARK(BM_WalkAddresses)->RangeMultiplier(8)->Range(8, 32768);

void BM_HostileQuotes(benchmark::State& state) {
  const std::string line = "To: " + std::string(static_cast<std::size_t>(state.range(0)), '"');
  for (auto _ : state) {
    int offered = 0;
    fromsel::MatchHeaderAddresses(line, [&](const std::string&) { return ++offered < 0; });
    benchmark::DoNotOptimize(offered);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(line.size()));
}
BENCHMARK(BM_HostileQuotes)->RangeMultiplier(8)->Range(64, 1 << 20);

void BM_CollectHeaders(benchmark::State& state) {
  std::string source;
  for (int i = 0; i < state.range(0); ++i)
    source += "Received: from relay" + std::to_string(i) + ".example.net by mx.example.org\r\n";
  source += "To: me@example.org\r\n\r\nbody\r\n";
  for (auto _ : state) benchmark::DoNotOptimize(fromsel::CollectRecipientHeaders(source));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(source.size()));
}
BENCHMARK(BM_CollectHeaders)->RangeMultiplier(8)->Range(8, 32768);

// The match is the last To address, so every address meets every rule.
void BM_ReplyRun(benchmark::State& state) {
  fromsel::regex::InstallCaseTable();
  const int count = static_cast<int>(state.range(0));
  fromsel::MemoryHost host =
      fromsel::bench::ReplyHost(ManyAddressesLine(count) + "me@example.net\r\n\r\n");
  fromsel::SettingsTable table;
  fromsel::MailboxSettings& settings = table["box.mb"];
  settings.enabled = true;
  for (const char* pattern : {"*@{example.com,example.edu}", "sales*@*.example.org"}) {
    fromsel::AddressRule rule;
    rule.pattern = pattern;
    settings.rules.push_back(rule);
  }
  fromsel::AddressRule last;
  last.regex = true;
  last.pattern = "(.+)@example\\.net";
  last.address = "\\1+reply@example.net";
  settings.rules.push_back(last);
  for (auto _ : state) fromsel::RewriteSenderWith(host, nullptr, table);
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ReplyRun)->RangeMultiplier(8)->Range(8, 4096);

}  // namespace

BENCHMARK_MAIN();
