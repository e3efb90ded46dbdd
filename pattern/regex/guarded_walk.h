// Test support shared by the unit tests and the fuzz targets: the plain
// matcher (SetPlainMatchForTesting) against the matcher run with a liveness
// table (liveness.h), at every start position of one subject. The table
// and the matcher's spent exits may only spare work: where
// the plain run finishes within its budget, the guarded run must give the
// same answer and the same registers, and a start the table refuses must be
// one where the plain run finds no match.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>

#include "pattern/regex/automaton.h"
#include "pattern/regex/liveness.h"
#include "pattern/regex/match.h"

namespace fromsel::regex {

struct GuardedWalkCounts {
  int compared = 0;  // attempts the plain run finished
  int refused = 0;   // of those, starts the table refused
};

inline std::string DescribeAttempt(int result, const RegexRegisters& registers) {
  std::ostringstream out;
  out << result;
  for (int i = 0; result >= 0 && i < registers.registerCount; ++i)
    out << " (" << registers.startOffsets[i] << "," << registers.endOffsets[i] << ")";
  return out.str();
}

// Empty when the two runs agree at every start from `from` on; otherwise
// what differed first. Programs without an automaton agree trivially.
// `attemptStart` is passed to the table as a search would (negative: starts
// anywhere; else only that start is compared). The plain runs share
// `plainWork`, and the walk ends where it runs out; each guarded run gets
// what its plain run used, which must do: skipping states only saves work.
inline std::string CompareGuardedWalk(RegexProgram& program, const std::string& subject, int from,
                                      int attemptStart, std::int64_t plainWork,
                                      GuardedWalkCounts* counts = nullptr) {
  const Automaton* automaton = ProgramAutomaton(program);
  if (!automaton) return "";
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(subject.data());
  const int size = static_cast<int>(subject.size());
  Liveness liveness;
  WorkBudget unlimited{INT64_MAX / 2};
  if (!liveness.Compute(*automaton, bytes, size, from, attemptStart, true, unlimited)) return "";
  const int last = attemptStart >= 0 ? attemptStart : size;
  WorkBudget plainBudget{plainWork};
  for (int at = attemptStart >= 0 ? attemptStart : from; at <= last; ++at) {
    RegexRegistersOwner plainRegisters;
    const std::int64_t before = plainBudget.left;
    SetPlainMatchForTesting(true);
    const int plain = MatchRegex(program, subject.data(), size, at, &plainRegisters.get(),
                                 &plainBudget);
    SetPlainMatchForTesting(false);
    if (plain == MatchStopped) break;
    const std::string expected = DescribeAttempt(plain, plainRegisters.get());
    if (counts) ++counts->compared;
    std::string got;
    if (!liveness.CanMatchFrom(at)) {
      if (counts) ++counts->refused;
      got = DescribeAttempt(NoMatch, plainRegisters.get());
    } else {
      RegexRegistersOwner guardedRegisters;
      WorkBudget guardedBudget{before - plainBudget.left};
      const int guarded = MatchRegex(program, subject.data(), size, at, &guardedRegisters.get(),
                                     &guardedBudget, &liveness);
      got = DescribeAttempt(guarded, guardedRegisters.get());
    }
    if (got != expected)
      return "at " + std::to_string(at) + ": plain " + expected + ", guarded " + got;
  }
  return "";
}

}  // namespace fromsel::regex
