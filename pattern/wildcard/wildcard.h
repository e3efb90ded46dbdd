// Shell-style wildcard matching of whole subjects.
#pragma once

#include <string>

namespace fromsel {

enum WildcardOption : int {
  WildcardNoEscape = 1,
  WildcardPathName = 2,
  WildcardLeadingPeriod = 4,
  WildcardCaseFold = 8,
};

// 0 when the whole subject matches the whole pattern, 1 otherwise.
int WildcardMatch(const char* pattern, const char* subject, int options);

// WildcardMatch without the shortcut for patterns ending in a literal;
// the two always agree (tests compare them).
int WildcardMatchGeneral(const char* pattern, const char* subject, int options);

// The form rule matching uses: case folding and leading period (12).
bool WildcardMatches(const std::string& pattern, const std::string& subject);

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
