// Compiles a pattern, either raw with caller options or in the rule form
// "^(?:pattern)$" with the rule options, checks the compiled program's
// invariants, then searches a subject and checks the answer four ways:
// its bounds and registers, a second search of the same program (the
// matcher rewrites code while it runs, and that must not change answers),
// a plain position-by-position walk with MatchRegex (the search aids only
// skip positions that cannot match), and the plain search without the
// automaton (the same answer and registers wherever it finishes), with the
// matcher guarded by a liveness table compared attempt by attempt.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "pattern/regex/guarded_walk.h"
#include "pattern/regex/match.h"
#include "pattern/regex/search.h"
#include "sender/regex_rule.h"

namespace {

using namespace fromsel;
using namespace fromsel::regex;

// Caller-given option bits (IgnoreCase .. FoldForSearch).
constexpr std::uint32_t kCallerOptionMask = 0x3F;
// Patterns longer than this add little coverage and slow every iteration.
constexpr std::size_t kMaxPatternBytes = 2048;
// How far outside the subject the search start may be placed.
constexpr int kStartSlack = 4;
// Work each search of the target may do: every search that does not
// backtrack exponentially finishes well inside it, and inputs that do
// (back-references, or the plain search) do not slow the fuzzing down.
constexpr std::int64_t kSearchBudget = 30000;
// The search gives the liveness table at most half of what its probe left
// and runs plainly past that, but the table may overrun its cap by one
// charge batch (1,024 positions or 4,096 visits, and one position's): a
// plain search this close to half the budget may leave the other stopped.
constexpr std::int64_t kTableOverrun = 4096;

// The match registers of a successful search lie inside the subject.
void CheckRegisters(const RegexRegisters& registers, int found, int size) {
  FUZZ_CHECK(registers.registerCount >= 1);
  FUZZ_CHECK(registers.startOffsets && registers.endOffsets);
  FUZZ_CHECK(registers.startOffsets[0] == found);
  FUZZ_CHECK(registers.endOffsets[0] >= found && registers.endOffsets[0] <= size);
  for (int i = 1; i < registers.registerCount; ++i) {
    const int start = registers.startOffsets[i];
    const int end = registers.endOffsets[i];
    if (start == -1 || end == -1) continue;
    FUZZ_CHECK(start >= 0 && start <= size);
    FUZZ_CHECK(end >= 0 && end <= size);
  }
}

// First position in start..start+range at which MatchRegex succeeds, or
// NoMatch; MatchStopped when an attempt had to stop. One budget covers the
// walk, as one covers a search.
int WalkPositions(RegexProgram& program, const std::string& subject, int start, int range) {
  const int size = static_cast<int>(subject.size());
  WorkBudget budget{kSearchBudget};
  if (start < 0 || start > size) return NoMatch;
  const int last = range > size - start ? size : start + range;
  for (int position = start; position <= last; ++position) {
    const int length = MatchRegex(program, subject.data(), size, position, nullptr, &budget);
    if (length >= 0) return position;
    if (length == MatchStopped) return MatchStopped;
  }
  return NoMatch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::InstallPlugInTables();
  FuzzedDataProvider input(data, size);
  const bool ruleForm = input.ConsumeBool();
  const std::uint32_t options = input.ConsumeIntegral<std::uint8_t>() & kCallerOptionMask;
  const int startShift = input.ConsumeIntegralInRange<int>(-kStartSlack, kStartSlack);
  const int rangeShift = input.ConsumeIntegralInRange<int>(-kStartSlack, kStartSlack);
  std::string pattern = input.ConsumeRandomLengthString(kMaxPatternBytes);
  const std::string subject = input.ConsumeRemainingBytesAsString();

  if (ruleForm) pattern = RuleRegexText(pattern);
  RegexProgramOwner owner(ruleForm ? RuleRegexOptions : options);
  if (!owner.get()) return 0;
  RegexProgram& program = *owner.get();
  const char* error = CompileRegex(pattern.data(), pattern.size(), program);
  if (error) {
    FUZZ_CHECK(*error != '\0');
    return 0;
  }
  fuzz::CheckCompiledProgram(program);

  const int length = static_cast<int>(subject.size());
  // The rule form searches the whole address; the raw form a range around
  // it, the start sometimes outside the subject.
  const int start = ruleForm ? 0 : startShift;
  const int range = ruleForm ? length : length - (start > 0 ? start : 0) + rangeShift;
  const int searchRange = range < 0 ? 0 : range;

  RegexRegistersOwner first;
  WorkBudget firstBudget{kSearchBudget};
  const int found =
      SearchRegex(program, subject.data(), length, start, searchRange, &first.get(), &firstBudget);
  FUZZ_CHECK(found >= MatchStopped);
  if (start < 0 || start > length) {
    FUZZ_CHECK(found == NoMatch);
    return 0;
  }
  FUZZ_CHECK(program.fastmapValid == 1);
  if (found >= 0) {
    FUZZ_CHECK(found >= start && found <= start + searchRange && found <= length);
    CheckRegisters(first.get(), found, length);
    // The wrapper anchors both ends: a rule match covers the whole address.
    // (A pattern can close the wrapper's group itself, so only when the
    // pattern text has no parenthesis.)
    if (ruleForm && pattern.find_first_of("()", 4) == pattern.size() - 2) {
      FUZZ_CHECK(found == 0);
      FUZZ_CHECK(first.get().endOffsets[0] == length);
    }
  }

  RegexRegistersOwner second;
  WorkBudget secondBudget{kSearchBudget};
  const int again = SearchRegex(program, subject.data(), length, start, searchRange,
                                &second.get(), &secondBudget);
  if (found != MatchStopped && again != MatchStopped) {
    FUZZ_CHECK(again == found);
    if (found >= 0) FUZZ_CHECK(second.get().endOffsets[0] == first.get().endOffsets[0]);
  }

  // The plain search, without the automaton: wherever it finishes, the
  // answer and the registers are the same. (The probe and the liveness pass
  // cost work too: a plain search that only just finishes may leave the
  // other one stopped.)
  RegexRegistersOwner plain;
  WorkBudget plainBudget{kSearchBudget};
  SetPlainSearchForTesting(true);
  const int plainFound = SearchRegex(program, subject.data(), length, start, searchRange,
                                     &plain.get(), &plainBudget);
  SetPlainSearchForTesting(false);
  const bool plainWellInside = kSearchBudget - plainBudget.left < kSearchBudget / 2 - kTableOverrun;
  if (plainFound != MatchStopped && (found != MatchStopped || plainWellInside)) {
    if (found != plainFound || (found >= 0 && DescribeAttempt(found, plain.get()) !=
                                                   DescribeAttempt(found, first.get()))) {
      std::fprintf(stderr, "search gave %s, plain search %s\n",
                   DescribeAttempt(found, first.get()).c_str(),
                   DescribeAttempt(plainFound, plain.get()).c_str());
      FUZZ_CHECK(found == plainFound);
      FUZZ_CHECK(DescribeAttempt(found, plain.get()) == DescribeAttempt(found, first.get()));
    }
  }
  const std::string mismatch = CompareGuardedWalk(program, subject, start, ruleForm ? 0 : -1,
                                                  kSearchBudget);
  if (!mismatch.empty()) {
    std::fprintf(stderr, "guarded walk: %s\n", mismatch.c_str());
    FUZZ_CHECK(mismatch.empty());
  }

  // A program that opens with \G matches only where the search starts: a
  // walk that begins an attempt at every position would let \G hold at each.
  if (program.codeLength > 0 && program.code[0] == AtSearchStart) return 0;
  const int walked = WalkPositions(program, subject, start, searchRange);
  if (found != MatchStopped && walked != MatchStopped && walked != found) {
    std::fprintf(stderr, "search gave %d, position walk %d (start %d, range %d, options 0x%x)\n",
                 found, walked, start, searchRange, program.options);
    FUZZ_CHECK(walked == found);
  }
  return 0;
}
