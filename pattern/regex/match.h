// The backtracking interpreter: runs a program at one subject position.
#pragma once

#include <cstdint>

#include "pattern/regex/program.h"
#include "pattern/work_budget.h"

namespace fromsel::regex {

// What MatchRegex and SearchRegex return instead of a length or a position.
inline constexpr int NoMatch = -1;       // the program does not match
inline constexpr int MatchStopped = -2;  // a budget or memory ran out first

struct RegexRegisters {
  int allocatedCount = 0;
  int registerCount = 0;
  int* startOffsets = nullptr;
  int* endOffsets = nullptr;
};

// Releases the two arrays when allocated and clears the record, so that a
// second release or a later reuse is safe.
void FreeRegisters(RegexRegisters& registers);

// The one owner of a RegexRegisters record: empty at first, sized by every
// match it is given to, its arrays freed when the owner goes.
class RegexRegistersOwner {
 public:
  RegexRegistersOwner() = default;
  ~RegexRegistersOwner() { FreeRegisters(registers_); }
  RegexRegistersOwner(const RegexRegistersOwner&) = delete;
  RegexRegistersOwner& operator=(const RegexRegistersOwner&) = delete;

  RegexRegisters& get() { return registers_; }
  const RegexRegisters& get() const { return registers_; }

 private:
  RegexRegisters registers_;
};

// Limits that keep one search from hanging or exhausting the host: a search
// given no budget of its own (all MatchRegex calls of one SearchRegex) does
// at most this much work (work_budget.h: an instruction is one step, and so
// is each register a backtrack point saves or restores and each word its
// backtrack stack grows by) and grows its backtrack stack to at most this
// many bytes.
inline constexpr std::int64_t SearchWorkBudget = 10'000'000;
inline constexpr std::int64_t MatchStackBudgetBytes = 64 * 1024 * 1024;

class Liveness;  // liveness.h

// Length of the match at `position`, NoMatch when there is none,
// MatchStopped when the match had to stop (deep look-ahead stack, budget or
// memory exhausted). Without a budget the attempt gets SearchWorkBudget.
// With a liveness table (computed over this subject from `position` or
// before) the matcher gives up the states the table marks dead at once;
// the answer and the registers stay the same.
int MatchRegex(RegexProgram& program, const char* subject, int size, int position,
               RegexRegisters* registers, WorkBudget* budget = nullptr,
               const Liveness* liveness = nullptr);

// Test hook: while set, every match runs as the plain backtracker, which
// resumes a lazy construct's exit again after a further pass failed (the
// same answer, with more work), so that tests can compare the two.
void SetPlainMatchForTesting(bool plain);

// The instruction a GreedyLoopEnd at `at` rewrites itself into the first time
// it runs: PopBacktrackAndGoto when the continuation can never begin like
// another pass, Goto otherwise. Decided from the code alone.
std::uint8_t GreedyLoopRewrite(const std::uint8_t* code, int codeLength, int at);

// Whether the position assertion `op` (AtLineStart .. AtSearchStart,
// AtWordStart .. NotAtWordBoundary) holds at `cursor` of the subject, for an
// attempt that began at `attemptStart`; a negative attemptStart stands for
// any, and AtSearchStart then holds everywhere.
bool PositionAssertionHolds(std::uint8_t op, const std::uint8_t* subject, int size, int cursor,
                            int attemptStart);

}  // namespace fromsel::regex
