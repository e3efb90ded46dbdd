// The regex compiler over patterns that stress its one pass: long literal
// text (buffer growth), many alternatives and quantifiers (insertions), deep
// group nesting (the group stack), classes, counted repeats, and the rule
// form of a typical address pattern. Sizes grow by powers of four so that
// the reported complexity shows whether the work stays linear.
#include <benchmark/benchmark.h>

#include <string>

#include "pattern/regex/compile.h"
#include "pattern/regex/program.h"

namespace {

using namespace fromsel::regex;

void CompileOnce(benchmark::State& state, const std::string& pattern, std::uint32_t options) {
  InstallCaseTable();
  for (auto _ : state) {
    const RegexProgramOwner program(options);
    const char* error = CompileRegex(pattern.data(), pattern.size(), *program);
    benchmark::DoNotOptimize(error);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(pattern.size()));
  state.SetComplexityN(static_cast<std::int64_t>(pattern.size()));
}

std::string Repeat(const std::string& unit, std::int64_t count) {
  std::string text;
  for (std::int64_t i = 0; i < count; ++i) text += unit;
  return text;
}

void BM_RuleFormAddress(benchmark::State& state) {
  CompileOnce(state, "^(?:(info|sales|support)[-.+]?\\d*@(mail\\.)?example\\.(com|org))$", 9);
}
BENCHMARK(BM_RuleFormAddress);

void BM_LongLiteral(benchmark::State& state) {
  CompileOnce(state, std::string(static_cast<std::size_t>(state.range(0)), 'a'), 0);
}
BENCHMARK(BM_LongLiteral)->RangeMultiplier(4)->Range(64, 16384)->Complexity();

void BM_ManyAlternatives(benchmark::State& state) {
  CompileOnce(state, "x" + Repeat("|abc", state.range(0)), 0);
}
BENCHMARK(BM_ManyAlternatives)->RangeMultiplier(4)->Range(16, 4096)->Complexity();

void BM_ManyQuantifiers(benchmark::State& state) {
  CompileOnce(state, Repeat("a*b+?c{2,3}", state.range(0)), 0);
}
BENCHMARK(BM_ManyQuantifiers)->RangeMultiplier(4)->Range(16, 1024)->Complexity();

void BM_DeepNesting(benchmark::State& state) {
  const std::int64_t depth = state.range(0);
  CompileOnce(state, Repeat("(?:", depth) + "a" + Repeat(")", depth), 0);
}
BENCHMARK(BM_DeepNesting)->RangeMultiplier(4)->Range(16, 16384)->Complexity();

void BM_Classes(benchmark::State& state) {
  CompileOnce(state, Repeat("[[:alpha:]\\d_.-]", state.range(0)), IgnoreCase);
}
BENCHMARK(BM_Classes)->RangeMultiplier(4)->Range(16, 1024)->Complexity();

// Patterns that end in "regular expression too big" after filling 64 KiB.
void BM_TooBig(benchmark::State& state) {
  CompileOnce(state, Repeat("a{255}", 400), 0);
}
BENCHMARK(BM_TooBig);

}  // namespace

BENCHMARK_MAIN();
