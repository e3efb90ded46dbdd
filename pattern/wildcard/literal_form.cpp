#include "pattern/wildcard/literal_form.h"

#include <algorithm>

namespace fromsel {

namespace {

std::string Folded(std::string::const_iterator begin, std::string::const_iterator end,
                   const unsigned char* fold) {
  std::string folded(begin, end);
  for (char& c : folded) c = static_cast<char>(fold[static_cast<unsigned char>(c)]);
  return folded;
}

}  // namespace

LiteralForm FindLiteralForm(const std::string& pattern) {
  LiteralForm form;
  form.fold = RuleFoldTable();
  // A NUL ends the pattern for the matcher: no shortcut for such a pattern.
  if (pattern.find('\0') != std::string::npos) return form;
  auto literal = pattern.end();
  while (literal != pattern.begin() && !StopsLiteralRun(literal[-1])) --literal;
  form.folded = Folded(literal, pattern.end(), form.fold);
  const bool onlyStarsBefore =
      std::all_of(pattern.begin(), literal, [](char c) { return c == '*'; });
  if (onlyStarsBefore) form.shape = literal == pattern.begin() ? LiteralShape::Whole : LiteralShape::Suffix;
  return form;
}

}  // namespace fromsel
