#include "sender/address_field.h"

#include "sender/regex_rule.h"

namespace fromsel {

namespace {

bool IsGroupDigit(char c) { return c >= '1' && c <= '9'; }

// The largest \1..\9 the template names, 0 for none; `anyTemplate` tells
// whether it holds \& or \1..\9 at all. `\\` is a backslash, not a lead-in.
int LargestGroupReference(const std::string& text, bool& anyTemplate) {
  int largest = 0;
  anyTemplate = false;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '\\') continue;
    const char next = text[i + 1];
    if (next == '&') anyTemplate = true;
    if (IsGroupDigit(next)) {
      anyTemplate = true;
      if (next - '0' > largest) largest = next - '0';
    }
    ++i;  // the byte after the backslash is never a lead-in itself
  }
  return largest;
}

}  // namespace

int RegexGroupCount(const std::string& pattern) {
  // The rule form adds no group; compiled as replies compile it.
  const CompiledRule compiled(RuleRegexText(pattern), RuleRegexOptions);
  if (!compiled.errorText.empty() || !compiled.program) return -1;
  return compiled.program->registerCount - 1;
}

AddressFieldProblem FindAddressFieldProblem(const AddressRule& rule) {
  const std::string& address = rule.address;
  if (address.find_first_of("<>,;") != std::string::npos)
    return AddressFieldProblem::NotOneAddress;
  bool anyTemplate = false;
  const int largest = LargestGroupReference(address, anyTemplate);
  if (!rule.regex)
    return anyTemplate ? AddressFieldProblem::TemplateInWildcardRule : AddressFieldProblem::None;
  if (largest == 0) return AddressFieldProblem::None;
  const int groups = RegexGroupCount(rule.pattern);
  if (groups >= 0 && largest > groups) return AddressFieldProblem::GroupBeyondPattern;
  return AddressFieldProblem::None;
}

}  // namespace fromsel
