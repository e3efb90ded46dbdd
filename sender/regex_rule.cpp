#include "sender/regex_rule.h"

#include <climits>
#include <memory>

#include "pattern/regex/compile.h"
#include "pattern/regex/search.h"
#include "rules/address_rule.h"
#include "sender/rule_cache.h"
#include "sender/rule_match.h"

namespace fromsel {

CompiledRule::CompiledRule(const std::string& pattern, std::uint32_t options)
    : program(options) {
  if (!program) {
    errorText = "memory exhausted";
    return;
  }
  if (const char* error = regex::CompileRegex(pattern.data(), pattern.size(), *program))
    errorText = error;
}

std::string RuleRegexText(const std::string& pattern) { return "^(?:" + pattern + ")$"; }

namespace {

// A test with the rule's compiled program in hand.
RuleOutcome TestCompiled(const CompiledRule& compiled, const std::string& address,
                         regex::RegexRegisters& registers, WorkBudget& budget) {
  if (!compiled.program || !compiled.errorText.empty())
    return MissOutcome(budget, RuleOutcome::CompileError);
  if (address.size() > static_cast<std::size_t>(INT_MAX))
    return MissOutcome(budget, RuleOutcome::NoMatch);
  const int size = static_cast<int>(address.size());
  // NoMatch and MatchStopped (the budget ran out) both count as no match.
  const int found =
      regex::SearchRegex(*compiled.program, address.data(), size, 0, size, &registers, &budget);
  if (found >= 0) return RuleOutcome::Match;
  return MissOutcome(budget, RuleOutcome::NoMatch);
}

// The rule's first test: compiled once; a failed compilation is kept too,
// so the rule stays inert. Never inlined, so that every later test keeps a
// small frame.
[[gnu::noinline]] RuleOutcome CompileAndTest(AddressRule& rule, const std::string& address,
                                             regex::RegexRegisters& registers,
                                             WorkBudget& budget) {
  MatcherCache& cache = MatcherCacheOf(rule);
  // The compiler reads the pattern once and writes code as it goes.
  budget.Charge(static_cast<std::int64_t>(rule.pattern.size()));
  cache.compiledRule =
      std::make_unique<CompiledRule>(RuleRegexText(rule.pattern), RuleRegexOptions);
  return TestCompiled(*cache.compiledRule, address, registers, budget);
}

}  // namespace

RuleOutcome RegexRuleOutcome(AddressRule& rule, const std::string& address,
                             regex::RegexRegisters& registers, WorkBudget& budget) {
  const MatcherCache* cache = FindMatcherCache(rule);
  if (!cache || !cache->compiledRule) return CompileAndTest(rule, address, registers, budget);
  return TestCompiled(*cache->compiledRule, address, registers, budget);
}

namespace {

// Text of register n within the matched address; empty when unset.
std::string GroupText(const std::string& matched, const regex::RegexRegisters& registers, int n) {
  if (n >= registers.allocatedCount || !registers.startOffsets || !registers.endOffsets) return {};
  const int start = registers.startOffsets[n];
  const int end = registers.endOffsets[n];
  if (start < 0 || end < start || static_cast<std::size_t>(end) > matched.size()) return {};
  return matched.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
}

}  // namespace

std::string ExpandTemplate(const std::string& templateText, const std::string& matchedAddress,
                           const regex::RegexRegisters& registers) {
  std::string out;
  out.reserve(templateText.size() + matchedAddress.size());
  for (std::size_t i = 0; i < templateText.size(); ++i) {
    const char c = templateText[i];
    if (c != '\\' || i + 1 >= templateText.size()) {
      out += c;
      continue;
    }
    const char next = templateText[i + 1];
    if (next == '\\') {
      out += '\\';
      ++i;
    } else if (next == '&') {
      out += matchedAddress;
      ++i;
    } else if (next >= '1' && next <= '9') {
      const int n = next - '0';
      if (n < registers.registerCount) out += GroupText(matchedAddress, registers, n);
      else if (n > registers.registerCount) out.append(templateText, i, 2);
      ++i;  // n == registerCount (one above the groups): nothing
    } else {
      out += c;  // the next byte is read as ordinary text
    }
  }
  return out;
}

}  // namespace fromsel
