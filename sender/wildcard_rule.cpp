#include <new>

#include "pattern/wildcard/brace_expansion.h"
#include "pattern/wildcard/literal_form.h"
#include "pattern/wildcard/wildcard.h"
#include "sender/rule_cache.h"
#include "sender/rule_match.h"

namespace fromsel {

namespace {

// Steps charged per entry an expansion makes, beside its bytes: making a
// string and storing it costs about what a few dozen instructions do.
constexpr std::int64_t kStepsPerEntryMade = 32;

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

// The steps of expanding a pattern: each entry is a string of its own.
std::int64_t ExpansionSteps(const std::vector<std::string>& entries) {
  std::int64_t bytes = 0;
  for (const std::string& entry : entries) bytes += static_cast<std::int64_t>(entry.size());
  return kStepsPerEntryMade * static_cast<std::int64_t>(entries.size()) + ScanSteps(bytes);
}

}  // namespace

bool WildcardRuleMatches(AddressRule& rule, const std::string& address, WorkBudget& budget) {
  // A refusal is remembered: counting a pattern over the limit again for
  // every address of every reply would cost as much as expanding it.
  // Looked at only while the list is empty, so a rule that expanded pays
  // nothing for it.
  MatcherCache& cache = MatcherCacheOf(rule);
  if (cache.expandedPatterns.empty()) {
    if (cache.expansionRefused) return false;
    if (CountBraceExpansions(rule.pattern) > MaxBraceExpansions) {
      cache.expansionRefused = true;
      return false;
    }
    cache.literalForms.clear();
    ExpandBraces(rule.pattern, cache.expandedPatterns);
    budget.Charge(ExpansionSteps(cache.expandedPatterns));
  }
  const std::vector<std::string>& entries = cache.expandedPatterns;
  if (!HaveLiteralForms(cache)) {
    for (const std::string& entry : entries) {
      if (WildcardMatches(entry, address, &budget)) return true;
      if (budget.spent()) return false;
    }
    return false;
  }
  // Addresses are cut from NUL-terminated header text, so they hold no NUL
  // and a literal form decides exactly as the matcher would.
  // A literal form compares at most the address's bytes. The caller charges
  // one such read per rule test (RuleMatches); the other entries of an
  // expansion (at most 4096) are charged here, before the loop.
  if (entries.size() > 1)
    budget.Charge(static_cast<std::int64_t>(entries.size() - 1) *
                  ScanSteps(static_cast<std::int64_t>(address.size())));
  const LiteralForm* forms = cache.literalForms.data();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const LiteralForm& form = forms[i];
    if (form.shape != LiteralShape::Other) {
      if (LiteralFormMatches(form, address)) return true;
    } else if (EndsInLiteral(form, address)) {
      if (WildcardMatches(entries[i], address, &budget)) return true;
      if (budget.spent()) return false;
    }
  }
  return false;
}

}  // namespace fromsel
