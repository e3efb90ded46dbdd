// Searching a subject range for the first position where a program matches.
#pragma once

#include "pattern/regex/match.h"
#include "pattern/regex/program.h"

namespace fromsel::regex {

// Start offset of the first match in start..start+range, NoMatch when none,
// MatchStopped when a match attempt had to stop. Registers may be null.
int SearchRegex(RegexProgram& program, const char* subject, int size, int start, int range,
                RegexRegisters* registers);

}  // namespace fromsel::regex
