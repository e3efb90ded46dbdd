#include "rules/address_rule.h"

namespace fromsel {

AddressRule::AddressRule(const AddressRule& other)
    : regex(other.regex),
      setSender(other.setSender),
      verp(other.verp),
      pattern(other.pattern),
      name(other.name),
      address(other.address) {}

AddressRule& AddressRule::operator=(const AddressRule& other) {
  if (this == &other) return *this;
  cache.reset();
  regex = other.regex;
  setSender = other.setSender;
  verp = other.verp;
  pattern = other.pattern;
  name = other.name;
  address = other.address;
  if (other.cache) cache = other.cache->CopyForAssignment();
  return *this;
}

bool SameRule(const AddressRule& a, const AddressRule& b) {
  return a.regex == b.regex && a.setSender == b.setSender && a.verp == b.verp &&
         a.pattern == b.pattern && a.name == b.name && a.address == b.address;
}

}  // namespace fromsel
