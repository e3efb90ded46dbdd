// Whether a rule's address (the dialog's From field) can give one usable
// sender address. The settings dialog refuses a rule that cannot, and
// `fromsel check` reports one found in a settings file.
#pragma once

#include <string>

#include "rules/address_rule.h"

namespace fromsel {

enum class AddressFieldProblem {
  None,
  // `<`, `>`, a comma or a semicolon: a display name or a list was typed
  // where one address belongs; the reply's From would be garbled.
  NotOneAddress,
  // \N for a group the regular expression does not have: it gives nothing,
  // or stays as written.
  GroupBeyondPattern,
  // \& or \1..\9 in a wildcard rule, whose address is used as written.
  TemplateInWildcardRule,
};

// The first problem of the rule's address; None for an empty address (the
// matched address is used) and for a regular expression that does not
// compile (that is reported on its own). A blank is no problem: the local
// part is quoted.
AddressFieldProblem FindAddressFieldProblem(const AddressRule& rule);

// Number of groups of a regular-expression pattern, -1 when it does not compile.
int RegexGroupCount(const std::string& pattern);

}  // namespace fromsel
