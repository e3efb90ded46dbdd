// One address rule, with the caches that rule matching fills lazily.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "pattern/wildcard/literal_form.h"

namespace fromsel {

struct CompiledRule;  // a rule's compiled regular expression (sender/regex_rule.h)
struct CompiledRuleDeleter {
  void operator()(CompiledRule* rule) const;
};
using CompiledRulePtr = std::unique_ptr<CompiledRule, CompiledRuleDeleter>;

struct AddressRule {
  bool regex = false;
  bool setSender = false;
  bool verp = false;
  std::string pattern;
  std::vector<std::string> expandedPatterns;  // cache: brace expansion of pattern
  // cache: one per expandedPatterns entry, filled with it; cleared by
  // whoever changes that list
  std::vector<LiteralForm> literalForms;
  std::string name;
  std::string address;
  CompiledRulePtr compiledRule;  // cache: compiled pattern of a regex rule

  AddressRule() = default;
  // A copy starts with every cache empty.
  AddressRule(const AddressRule& other);
  // Takes the expansion caches along but never the compiled pattern.
  AddressRule& operator=(const AddressRule& other);
  AddressRule(AddressRule&&) noexcept = default;
  AddressRule& operator=(AddressRule&&) noexcept = default;
  ~AddressRule() = default;
};

// The persistent part of two rules is equal (caches are not compared).
bool SameRule(const AddressRule& a, const AddressRule& b);

}  // namespace fromsel
