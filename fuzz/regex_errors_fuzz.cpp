// Drives the compiler into its error paths: patterns are assembled from
// fragments that sit near an error (open groups, bad escapes, class edges,
// interval bounds, inline options, group-count and size limits), and one
// chosen allocation of the compilation may be refused. Every compilation
// must end either with a known error text and no work arrays, or with a
// program that keeps its invariants and can be searched.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "fuzz_support.h"
#include "pattern/regex/guarded_walk.h"
#include "pattern/regex/search.h"

namespace {

using namespace fromsel;
using namespace fromsel::regex;

// Fragments that start, end or nearly break a construct.
const char* const kFragments[] = {
    "(", ")", "(?", "(?:", "(?=", "(?!", "(?>", "(?#", "(?#c)", "(?i", "(?i)", "(?-i)", "(?imxp-imxp:",
    "(?q)", "(?iq)", "|", "*", "+", "?", "*?", "+?", "??", "{", "}", "{1}", "{0}", "{2,}", "{,3}",
    "{3,2}", "{32766}", "{32767}", "{1,32766}", "{x}", "{0,0}", "[", "]", "[]", "[^]", "[]a]", "[a-]",
    "[z-a]", "[\\d-z]", "[a-\\d]", "[[:", "[[:alpha:]", "[[:alpha:]]", "[[:foo:]]", "[[:ab]",
    "[[:alpha:]-", "[\\", "[a-", "\\", "\\x", "\\x4", "\\x41", "\\xx1", "\\0", "\\0777", "\\777",
    "\\1", "\\9", "\\12", "\\c", "\\cA", "\\C-", "\\C-a", "\\M-", "\\M-\\n", "\\M-\\C-a", "\\C-\\M-",
    "\\w", "\\W", "\\s", "\\S", "\\d", "\\D", "\\b", "\\B", "\\<", "\\>", "\\A", "\\z", "\\Z", "\\G",
    "^", "$", ".", ".*", ".+", "a", "ab", "#", " ", "\n", "\xff", "" /* a NUL byte */,
    "(a)", "(?:a|b|c)", "x*", "(x*)*", "(?=a)*",
};
constexpr std::size_t kFragmentCount = sizeof kFragments / sizeof kFragments[0];
// Repeat counts for one fragment: around the literal-run close (127), the
// group limit (253 groups) and past the 65536-byte code limit.
constexpr int kRepeats[] = {2, 8, 126, 127, 128, 252, 253, 254, 255, 4000};
// Instructions one trial match may run; the search fuzz target covers the
// full budget.
constexpr std::int64_t kMatchBudget = 100000;
// Patterns are assembled from at most this many pieces.
constexpr int kMaxPieces = 64;


// Allocation refusal: the gate counts the compiler's allocations and
// refuses the one whose number the input chose (0: none).
int gAllocationToRefuse = 0;
int gAllocationsSeen = 0;
bool RefuseChosenAllocation(std::size_t) {
  ++gAllocationsSeen;
  if (gAllocationsSeen == gAllocationToRefuse) {
    return false;
  }
  return true;
}

std::string AssemblePattern(FuzzedDataProvider& input) {
  std::string pattern;
  const int pieces = input.ConsumeIntegralInRange<int>(1, kMaxPieces);
  for (int i = 0; i < pieces && input.remaining_bytes() > 0; ++i) {
    const std::uint8_t choice = input.ConsumeIntegral<std::uint8_t>();
    if (choice < 200) {
      pattern += kFragments[choice % kFragmentCount];
      if (std::strcmp(kFragments[choice % kFragmentCount], "") == 0) pattern.push_back('\0');
    } else if (choice < 240) {
      pattern += input.ConsumeRandomLengthString(8);
    } else {
      const std::string piece = kFragments[input.ConsumeIntegral<std::uint8_t>() % kFragmentCount];
      const int repeat = kRepeats[input.ConsumeIntegral<std::uint8_t>() % std::size(kRepeats)];
      for (int r = 0; r < repeat; ++r) pattern += piece;
    }
  }
  return pattern;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InstallPlugInTables();
  FuzzedDataProvider input(data, size);
  const std::uint32_t options = input.ConsumeIntegral<std::uint8_t>() & 0x3F;
  const int refuse = input.ConsumeIntegralInRange<int>(0, 12);
  const std::string pattern = AssemblePattern(input);

  // FROMSEL_FUZZ_SHOW=1 prints what an input compiles, to read a reproducer.
  static const bool show = std::getenv("FROMSEL_FUZZ_SHOW") != nullptr;
  if (show) std::fprintf(stderr, "options 0x%x, refuse allocation %d, pattern (%zu bytes): %.300s\n",
                         options, refuse, pattern.size(), pattern.c_str());
  RegexProgramOwner owner(options);
  if (!owner.get()) return 0;
  RegexProgram& program = *owner.get();
  gAllocationToRefuse = refuse;
  gAllocationsSeen = 0;
  SetAllocationGateForTesting(refuse ? RefuseChosenAllocation : nullptr);
  const char* error = CompileRegex(pattern.data(), pattern.size(), program);
  SetAllocationGateForTesting(nullptr);

  if (error) {
    if (!fuzz::IsKnownCompileError(error)) {
      std::fprintf(stderr, "unknown error text: %s\n", error);
      FUZZ_CHECK(fuzz::IsKnownCompileError(error));
    }
    // A failed program has no work arrays and is never searched.
    FUZZ_CHECK(program.startSlots == nullptr && program.groupStates == nullptr);
    FUZZ_CHECK(program.codeCapacity <= MaxCodeCapacity);
    return 0;
  }
  // A refused allocation either fails the compilation or is one the program
  // can do without (the skip table); either way the program must be sound.
  fuzz::CheckCompiledProgram(program);
  const std::string subject = "aB0_ x\n" + pattern.substr(0, 64);
  const int length = static_cast<int>(subject.size());
  RegexRegistersOwner registers;
  if (refuse && refuse <= gAllocationsSeen) {
    // Something was refused and the compilation still succeeded: the whole
    // search must cope with what is missing (a skip table, say).
    const int found = SearchRegex(program, subject.data(), length, 0, length, &registers.get());
    FUZZ_CHECK(found >= MatchStopped && found <= length);
  } else {
    // One attempt on a small budget: the program runs, and exponential
    // patterns (plenty here) do not slow the fuzzing down.
    WorkBudget budget{kMatchBudget};
    const int matched = MatchRegex(program, subject.data(), length, 0, &registers.get(), &budget);
    FUZZ_CHECK(matched >= MatchStopped && matched <= length);
    // The same attempt guarded by the automaton's liveness table.
    const std::string mismatch = CompareGuardedWalk(program, subject, 0, 0, kMatchBudget);
    if (!mismatch.empty()) {
      std::fprintf(stderr, "guarded attempt: %s\n", mismatch.c_str());
      FUZZ_CHECK(mismatch.empty());
    }
  }
  return 0;
}
