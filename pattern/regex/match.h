// The backtracking interpreter: runs a program at one subject position.
#pragma once

#include <cstdint>

#include "pattern/regex/program.h"

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
// (all MatchRegex calls of one SearchRegex) executes at most this many
// instructions and grows its backtrack stack to at most this many bytes.
inline constexpr std::int64_t MatchInstructionBudget = 10'000'000;
inline constexpr std::int64_t MatchStackBudgetBytes = 64 * 1024 * 1024;

struct MatchBudget {
  std::int64_t instructionsLeft = MatchInstructionBudget;
};

// Length of the match at `position`, NoMatch when there is none,
// MatchStopped when the match had to stop (deep look-ahead stack, budget or
// memory exhausted).
int MatchRegex(RegexProgram& program, const char* subject, int size, int position,
               RegexRegisters* registers, MatchBudget* budget = nullptr);

}  // namespace fromsel::regex
