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

// The entries of an expansion with their literal forms, first matching
// entry wins. Addresses are cut from NUL-terminated header text, so they
// hold no NUL and a literal form decides exactly as the matcher would.
// A literal form compares at most the address's bytes. The caller charges
// one such read per rule test (TestRule); the other entries (at most 4096)
// are charged here, before the loop. Never inlined, like PrepareAndTest:
// the loop's registers would cost every test of a one-entry rule
// (WildcardRuleOutcome) their saving.
[[gnu::noinline]] RuleOutcome TestEntries(const MatcherCache& cache, const std::string& address,
                                          WorkBudget& budget) {
  const std::string* entries = cache.expandedPatterns.data();
  const std::size_t count = cache.expandedPatterns.size();
  budget.Charge(static_cast<std::int64_t>(count - 1) *
                ScanSteps(static_cast<std::int64_t>(address.size())));
  const LiteralForm* forms = cache.literalForms.data();
  for (std::size_t i = 0; i < count; ++i) {
    const LiteralForm& form = forms[i];
    if (form.shape != LiteralShape::Other) {
      if (LiteralFormMatches(form, address)) return RuleOutcome::Match;
    } else if (EndsInLiteral(form, address)) {
      if (WildcardMatches(entries[i], address, &budget)) return RuleOutcome::Match;
      if (budget.spent()) return RuleOutcome::WorkBoundReached;
    }
  }
  return MissOutcome(budget, RuleOutcome::NoMatch);
}

// A test that finds the rule not ready: its first, one whose expansion was
// refused, or one without literal forms (out of memory). Never inlined, so
// that the ordinary test keeps a small frame.
[[gnu::noinline]] RuleOutcome PrepareAndTest(AddressRule& rule, const std::string& address,
                                             WorkBudget& budget) {
  // A refusal is remembered: counting a pattern over the limit again for
  // every address of every reply would cost as much as expanding it.
  // Looked at only while the list is empty, so a rule that expanded pays
  // nothing for it.
  MatcherCache& cache = MatcherCacheOf(rule);
  if (cache.expandedPatterns.empty()) {
    if (cache.expansionRefused) return MissOutcome(budget, RuleOutcome::OverBraceLimit);
    if (CountBraceExpansions(rule.pattern) > MaxBraceExpansions) {
      cache.expansionRefused = true;
      return MissOutcome(budget, RuleOutcome::OverBraceLimit);
    }
    cache.literalForms.clear();
    ExpandBraces(rule.pattern, cache.expandedPatterns);
    budget.Charge(ExpansionSteps(cache.expandedPatterns));
  }
  const std::vector<std::string>& entries = cache.expandedPatterns;
  if (HaveLiteralForms(cache)) {
    if (entries.empty()) return MissOutcome(budget, RuleOutcome::NoMatch);
    return TestEntries(cache, address, budget);
  }
  for (const std::string& entry : entries) {
    if (WildcardMatches(entry, address, &budget)) return RuleOutcome::Match;
    if (budget.spent()) return RuleOutcome::WorkBoundReached;
  }
  return MissOutcome(budget, RuleOutcome::NoMatch);
}

}  // namespace

RuleOutcome WildcardRuleOutcome(AddressRule& rule, const std::string& address, WorkBudget& budget) {
  // Every test but a rule's first finds it expanded with its literal forms.
  // One entry, as most rules have, is decided here, seen by sizes compared
  // without a division. A literal form charges nothing, so its miss is a
  // plain NoMatch.
  const MatcherCache* cache = FindMatcherCache(rule);
  if (cache && cache->expandedPatterns.size() == 1 && cache->literalForms.size() == 1) {
    const LiteralForm& form = cache->literalForms[0];
    if (form.shape != LiteralShape::Other)
      return LiteralFormMatches(form, address) ? RuleOutcome::Match : RuleOutcome::NoMatch;
    if (EndsInLiteral(form, address) &&
        WildcardMatches(cache->expandedPatterns[0], address, &budget))
      return RuleOutcome::Match;
    return MissOutcome(budget, RuleOutcome::NoMatch);
  }
  if (cache && !cache->expandedPatterns.empty() &&
      cache->literalForms.size() == cache->expandedPatterns.size())
    return TestEntries(*cache, address, budget);
  return PrepareAndTest(rule, address, budget);
}

}  // namespace fromsel
