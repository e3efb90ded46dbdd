// Searching a subject range for the first position where a program matches.
#pragma once

#include "pattern/regex/match.h"
#include "pattern/regex/program.h"

namespace fromsel::regex {

// Start offset of the first match in start..start+range, NoMatch when none,
// MatchStopped when a match attempt had to stop (its stack, memory, or the
// budget ran out). Registers may be null. Without a budget the search gets
// SearchWorkBudget; a caller's budget may be shared by many searches.
//
// The answer and the registers are those of the plain backtracking search
// given all the work it needs: a search that backtracks far is run with the
// program's automaton (automaton.h, liveness.h), which skips only work that
// cannot lead to a match. Programs with back-references keep to the budget.
int SearchRegex(RegexProgram& program, const char* subject, int size, int start, int range,
                RegexRegisters* registers, WorkBudget* budget = nullptr);

// Test hook: while set, every search runs plainly on its budget alone, as
// searches did before the automaton, with the plain matcher
// (SetPlainMatchForTesting), so that tests can compare the two.
void SetPlainSearchForTesting(bool plain);

}  // namespace fromsel::regex
