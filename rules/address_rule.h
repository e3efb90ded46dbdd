// One address rule: what the user wrote, and a slot for what rule matching
// derives from it.
#pragma once

#include <memory>
#include <string>

namespace fromsel {

// What rule matching derives from a rule's pattern and keeps in the rule
// between tests (the brace expansion, the compiled program). Rule matching
// defines it; the rule only owns it. It is never stored or shown.
class RuleCache {
 public:
  virtual ~RuleCache() = default;
  // What a rule assigned from this one takes over: the expansion, never a
  // compiled program.
  virtual std::unique_ptr<RuleCache> CopyForAssignment() const = 0;

 protected:
  RuleCache() = default;
  RuleCache(const RuleCache&) = default;
  RuleCache& operator=(const RuleCache&) = default;
};

struct AddressRule {
  bool regex = false;
  bool setSender = false;
  bool verp = false;
  std::string pattern;
  std::string name;
  std::string address;
  // Rule matching's cache: none in a new rule, filled at the first test.
  std::unique_ptr<RuleCache> cache;

  AddressRule() = default;
  // A copy starts without a cache.
  AddressRule(const AddressRule& other);
  // Drops its own cache and takes what the other's CopyForAssignment gives.
  AddressRule& operator=(const AddressRule& other);
  AddressRule(AddressRule&&) noexcept = default;
  AddressRule& operator=(AddressRule&&) noexcept = default;
  ~AddressRule() = default;
};

// The persistent part of two rules is equal (caches are not compared).
bool SameRule(const AddressRule& a, const AddressRule& b);

}  // namespace fromsel
