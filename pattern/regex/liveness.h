// Liveness: which states of a program's automaton (automaton.h) can still
// reach its Match state from each position of one subject. One backward
// pass over the subject answers it for every position at once, in time
// linear in the subject: a position's live set follows from the set one
// position on, the byte there and which assertions hold there, and the
// pass keeps each distinct set once and remembers where each (set, byte,
// assertions) led, so most positions cost one table read.
//
// What it gives the search:
// - A start position from which the automaton cannot match cannot start a
//   match of the matcher either, which matches only what the automaton
//   accepts: the search skips it without running the matcher, and a range
//   with no live start has no match.
// - A matcher state (instruction, position) whose automaton states are all
//   dead cannot lead to a match. Where the automaton marks the instruction
//   skippable, running it could also not cut away a point pushed before it,
//   so running it would only fail back to the stack as it was, with every
//   register and counter restored by that backtracking. Failing it at once
//   therefore leaves the matcher's answer and registers as they were, and
//   spares the search that fails deep inside nested loops.
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/regex/automaton.h"
#include "pattern/work_budget.h"

namespace fromsel::regex {

// Positions whose live sets are kept for the matcher (4 bytes each); over
// this, only the live starts are kept (1 MiB of subject: far beyond any
// address, and 4 MiB of memory).
inline constexpr std::int64_t MaxLivenessPositions = std::int64_t{1} << 20;

class Liveness {
 public:
  // Runs the backward pass over subject positions size down to `from`.
  // `attemptStart` is the one position attempts begin at, or negative when
  // the search tries several (AtSearchStart then holds everywhere). The
  // sets for the matcher are kept when asked and when they fit. False when
  // the budget ran out first or memory could not be had; nothing may be
  // read then.
  bool Compute(const Automaton& automaton, const std::uint8_t* subject, int size, int from,
               int attemptStart, bool keepSets, WorkBudget& budget);

  // Whether a match can start at `position` (from <= position <= size).
  bool CanMatchFrom(int position) const {
    const std::int64_t i = position - from_;
    return (liveStarts_[static_cast<std::size_t>(i >> 6)] >> (i & 63)) & 1;
  }
  bool hasSets() const { return !setAt_.empty(); }

  // Whether the matcher may fail the instruction at code offset `at` at
  // once at `position`: the sets are kept, the instruction is skippable and
  // every state of it is dead there.
  bool MaySkip(int at, int position) const {
    if (setAt_.empty() || !automaton_->skippable[at]) return false;
    const std::uint64_t* set = sets_.data() + setAt_[position - from_] * words_;
    const StateLists& states = automaton_->statesOfOffset;
    for (const std::int32_t* s = states.begin(at); s != states.end(at); ++s)
      if ((set[*s >> 6] >> (*s & 63)) & 1) return false;
    return true;
  }

 private:
  friend class BackwardPass;

  const Automaton* automaton_ = nullptr;
  int from_ = 0;
  std::int64_t words_ = 0;                 // 64-bit words per set
  std::vector<std::uint64_t> sets_;        // the distinct live sets met
  std::vector<std::int32_t> setAt_;        // per position from_..size, when kept
  std::vector<std::uint64_t> liveStarts_;  // one bit per position from_..size
};

}  // namespace fromsel::regex
