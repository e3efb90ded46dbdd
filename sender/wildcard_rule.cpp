#include <new>

#include "pattern/wildcard/brace_expansion.h"
#include "pattern/wildcard/literal_form.h"
#include "pattern/wildcard/wildcard.h"
#include "sender/rule_cache.h"
#include "sender/rule_match.h"

namespace fromsel {

namespace {

// Fills literalForms to go with expandedPatterns; false when they cannot be
// had (out of memory), and the entries then go to the wildcard matcher.
bool HaveLiteralForms(MatcherCache& cache) {
  if (cache.literalForms.size() == cache.expandedPatterns.size()) return true;
  try {
    std::vector<LiteralForm> forms;
    forms.reserve(cache.expandedPatterns.size());
    for (const std::string& entry : cache.expandedPatterns) forms.push_back(FindLiteralForm(entry));
    cache.literalForms.swap(forms);
    return true;
  } catch (const std::bad_alloc&) {
    cache.literalForms.clear();
    return false;
  }
}

}  // namespace

bool WildcardRuleMatches(AddressRule& rule, const std::string& address) {
  // An empty cache means "not expanded yet" or "expansion refused"; the
  // latter costs only a count to refuse again.
  MatcherCache& cache = MatcherCacheOf(rule);
  if (cache.expandedPatterns.empty()) {
    cache.literalForms.clear();
    ExpandBraces(rule.pattern, cache.expandedPatterns);
  }
  const std::vector<std::string>& entries = cache.expandedPatterns;
  if (!HaveLiteralForms(cache)) {
    for (const std::string& entry : entries) {
      if (WildcardMatches(entry, address)) return true;
    }
    return false;
  }
  // Addresses are cut from NUL-terminated header text, so they hold no NUL
  // and a literal form decides exactly as the matcher would.
  const LiteralForm* forms = cache.literalForms.data();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const LiteralForm& form = forms[i];
    const bool matched = form.shape == LiteralShape::Other
                             ? EndsInLiteral(form, address) && WildcardMatches(entries[i], address)
                             : LiteralFormMatches(form, address);
    if (matched) return true;
  }
  return false;
}

}  // namespace fromsel
