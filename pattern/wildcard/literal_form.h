// Rule patterns that are one literal ("me@example.com"), or stars and then
// one literal ("*@example.com"), decided by comparing bytes: the form rule
// matching prepares once per pattern so that the common rules cost about a
// length check per address. Any other pattern still has the literal items it
// ends with, which a matching subject must end with: a quick refusal.
#pragma once

#include <cstddef>
#include <string>

#include "pattern/wildcard/wildcard.h"

namespace fromsel {

enum class LiteralShape : unsigned char {
  Other,   // needs the wildcard matcher, for subjects ending in the literal
  Whole,   // the pattern is the literal
  Suffix,  // one or more stars, then the literal
};

struct LiteralForm {
  LiteralShape shape = LiteralShape::Other;
  // The literal (for Other the literal items the pattern ends with, maybe
  // none), case-folded as WildcardMatches folds.
  std::string folded;
  const unsigned char* fold = nullptr;  // that folding table, for the subject
};

// The form of `pattern` under WildcardMatches' options.
LiteralForm FindLiteralForm(const std::string& pattern);

// WildcardMatches(pattern, subject) for the pattern `form` was found from,
// when its shape is not Other and the subject holds no NUL byte.
inline bool LiteralFormMatches(const LiteralForm& form, const std::string& subject);

// False when the subject does not end in the form's literal, so that the
// pattern (of any shape) cannot match it.
inline bool EndsInLiteral(const LiteralForm& form, const std::string& subject);

// ---- implementation --------------------------------------------------------

namespace literal_form_detail {
// Compares `n` subject bytes folded with `n` folded literal bytes.
inline bool FoldedEqual(const unsigned char* fold, const unsigned char* subject,
                        const unsigned char* folded, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (fold[subject[i]] != folded[i]) return false;
  }
  return true;
}
}  // namespace literal_form_detail

inline bool LiteralFormMatches(const LiteralForm& form, const std::string& subject) {
  const std::size_t n = form.folded.size();
  const std::size_t size = subject.size();
  const auto* literal = reinterpret_cast<const unsigned char*>(form.folded.data());
  if (form.shape == LiteralShape::Whole) {
    if (size != n) return false;
    return literal_form_detail::FoldedEqual(
        form.fold, reinterpret_cast<const unsigned char*>(subject.data()), literal, n);
  }
  const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
  // A star never takes a leading period, not even as an empty run.
  if (size < n || (size != 0 && s[0] == '.')) return false;
  return literal_form_detail::FoldedEqual(form.fold, s + size - n, literal, n);
}

inline bool EndsInLiteral(const LiteralForm& form, const std::string& subject) {
  const std::size_t n = form.folded.size();
  const std::size_t size = subject.size();
  return size >= n &&
         literal_form_detail::FoldedEqual(
             form.fold, reinterpret_cast<const unsigned char*>(subject.data()) + size - n,
             reinterpret_cast<const unsigned char*>(form.folded.data()), n);
}

}  // namespace fromsel
