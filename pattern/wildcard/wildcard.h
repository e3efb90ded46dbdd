// Shell-style wildcard matching of whole subjects.
#pragma once

#include <string>

#include "pattern/work_budget.h"

namespace fromsel {

enum WildcardOption : int {
  WildcardNoEscape = 1,
  WildcardPathName = 2,
  WildcardLeadingPeriod = 4,
  WildcardCaseFold = 8,
};

// WildcardMatch's answer, in the classic fnmatch convention: 0 is a match.
enum class WildcardResult : int { Match = 0, NoMatch = 1 };

// Match when the whole subject matches the whole pattern. With a budget,
// the work is charged to it (a step per item compared, a few bytes read per
// step), and a match whose budget runs out ends as NoMatch.
WildcardResult WildcardMatch(const char* pattern, const char* subject, int options,
                             WorkBudget* budget = nullptr);

// WildcardMatch without the shortcut for patterns ending in a literal;
// the two always agree (tests compare them).
WildcardResult WildcardMatchGeneral(const char* pattern, const char* subject, int options);

// The form rule matching uses: case folding and leading period (12); true
// for a match.
bool WildcardMatches(const std::string& pattern, const std::string& subject,
                     WorkBudget* budget = nullptr);

// Bytes that end a pattern's trailing literal run when read backwards.
// Any other byte after the last of them is a literal item of its own: it
// cannot be inside a terminated bracket, and one inside an unterminated
// bracket makes every match fail anyway.
inline bool StopsLiteralRun(char c) {
  return c == '*' || c == '?' || c == '[' || c == ']' || c == '\\';
}

// The case-folding table WildcardMatches uses (indexed by unsigned byte).
const unsigned char* RuleFoldTable();

}  // namespace fromsel
