// fromsel rule: test one rule against one address exactly as rule matching
// does, and show the sender base text a template gives.
#include <ostream>
#include <string>

#include "pattern/regex/program.h"
#include "rules/address_rule.h"
#include "sender/regex_rule.h"
#include "sender/rule_cache.h"
#include "sender/rule_match.h"
#include "tools/fromsel/check_rules.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {

namespace {

// The text the sender address is built from: as BuildSenderAddress chooses it.
std::string SenderBaseText(const AddressRule& rule, const std::string& address,
                           const regex::RegexRegisters& registers) {
  if (rule.address.empty()) return address;
  if (rule.regex) return ExpandTemplate(rule.address, address, registers);
  return rule.address;
}

}  // namespace

int RunRule(Arguments& args, Output& io) {
  AddressRule rule;
  rule.regex = args.TakeFlag("--regex");
  std::string templateText;
  const bool hasTemplate = args.TakeOption("--template", templateText);
  const std::vector<std::string> positionals = args.Positionals(2, 2);
  rule.pattern = args.Bytes(positionals[0]);
  const std::string address = args.Bytes(positionals[1]);
  if (hasTemplate) rule.address = args.Bytes(templateText);

  regex::InstallCaseTable();
  regex::RegexRegistersOwner registers;
  const bool matched = RuleMatches(rule, address, registers.get());
  const std::string compileError = RuleCompileError(rule);
  if (rule.regex && !compileError.empty()) {
    // Positions counted from PATTERN as given, not from the rule form.
    io.out << "error: " << CompileErrorForAuthor(rule.pattern, compileError) << "\n";
    return ExitCompileError;
  }
  if (!matched) {
    io.out << "no match\n";
    return ExitNo;
  }
  io.out << "match\n";
  if (hasTemplate) io.out << "address: " << SenderBaseText(rule, address, registers.get()) << "\n";
  return ExitYes;
}

}  // namespace fromsel::cli
