#include "pattern/wildcard/literal_form.h"

namespace fromsel {

namespace {

// Bytes with a meaning of their own in a pattern (a NUL would end it).
bool IsSpecial(char c) { return c == '*' || c == '?' || c == '[' || c == '\\' || c == '\0'; }

}  // namespace

LiteralForm FindLiteralForm(const std::string& pattern) {
  LiteralForm form;
  std::size_t start = 0;
  while (start < pattern.size() && pattern[start] == '*') ++start;
  for (std::size_t i = start; i < pattern.size(); ++i) {
    if (IsSpecial(pattern[i])) return form;
  }
  const unsigned char* fold = RuleFoldTable();
  form.folded.reserve(pattern.size() - start);
  for (std::size_t i = start; i < pattern.size(); ++i)
    form.folded.push_back(static_cast<char>(fold[static_cast<unsigned char>(pattern[i])]));
  form.fold = fold;
  form.shape = start == 0 ? LiteralShape::Whole : LiteralShape::Suffix;
  return form;
}

}  // namespace fromsel
