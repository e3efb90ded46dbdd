// Wildcard matching under every one of the sixteen option combinations, and
// brace expansion. Checks: results are 0 or 1; the literal fast path and
// the general matcher agree; a pattern without special bytes matches only
// its own text (no case folding); WildcardMatches is option value 12;
// ExpandBraces produces exactly CountBraceExpansions entries (none above
// the limit), each no longer than the pattern; a pattern's literal form
// decides as the matcher does, or refuses only subjects the matcher refuses.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "pattern/wildcard/brace_expansion.h"
#include "pattern/wildcard/literal_form.h"
#include "pattern/wildcard/wildcard.h"

namespace {

using namespace fromsel;

// Every combination of the four option bits.
constexpr int kOptionCombinations = 16;
// Longer patterns only repeat what shorter ones reach, and a pattern's
// expansions (up to MaxBraceExpansions) are each as long as the pattern.
constexpr std::size_t kMaxPatternBytes = 512;

bool HasWildcardSyntax(const char* pattern) {
  return std::strpbrk(pattern, "*?[\\") != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string patternText = input.ConsumeRandomLengthString(kMaxPatternBytes);
  const std::string subjectText = input.ConsumeRemainingBytesAsString();
  // The matcher works on NUL-terminated text: what follows a NUL is unseen.
  const char* pattern = patternText.c_str();
  const char* subject = subjectText.c_str();

  for (int options = 0; options < kOptionCombinations; ++options) {
    const WildcardResult result = WildcardMatch(pattern, subject, options);
    FUZZ_CHECK(result == WildcardResult::Match || result == WildcardResult::NoMatch);
    FUZZ_CHECK(WildcardMatchGeneral(pattern, subject, options) == result);
    if (!HasWildcardSyntax(pattern) && !(options & WildcardCaseFold))
      FUZZ_CHECK((result == WildcardResult::Match) == (std::strcmp(pattern, subject) == 0));
  }
  FUZZ_CHECK(WildcardMatches(pattern, subject) ==
             (WildcardMatch(pattern, subject, WildcardCaseFold | WildcardLeadingPeriod) ==
              WildcardResult::Match));

  // Rule matching's shortcut, on the text the matcher sees (addresses never
  // hold NUL; the form refuses a pattern that does).
  const std::string seenSubject(subject);
  const LiteralForm form = FindLiteralForm(patternText);
  const bool matches = WildcardMatches(patternText, seenSubject);
  if (form.shape != LiteralShape::Other)
    FUZZ_CHECK(LiteralFormMatches(form, seenSubject) == matches);
  else if (!EndsInLiteral(form, seenSubject))
    FUZZ_CHECK(!matches);

  std::vector<std::string> expanded;
  ExpandBraces(patternText, expanded);
  const std::size_t count = CountBraceExpansions(patternText);
  if (count <= MaxBraceExpansions)
    FUZZ_CHECK(expanded.size() == count);
  else
    FUZZ_CHECK(expanded.empty());
  if (patternText.find('{') == std::string::npos) {
    FUZZ_CHECK(expanded.size() == 1 && expanded[0] == patternText);
  }
  for (const std::string& entry : expanded) {
    FUZZ_CHECK(entry.size() <= patternText.size());
    // Rule matching runs every entry; each must be a matchable pattern.
    const WildcardResult result =
        WildcardMatch(entry.c_str(), subject, WildcardCaseFold | WildcardLeadingPeriod);
    FUZZ_CHECK(result == WildcardResult::Match || result == WildcardResult::NoMatch);
  }
  return 0;
}
