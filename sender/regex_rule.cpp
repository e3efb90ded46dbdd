#include "sender/regex_rule.h"

#include "pattern/regex/compile.h"
#include "rules/address_rule.h"

namespace fromsel {

void CompiledRuleDeleter::operator()(CompiledRule* rule) const { delete rule; }

CompiledRule::CompiledRule(const std::string& pattern, std::uint32_t options) {
  program = regex::CreateRegexProgram(options);
  if (!program) {
    errorText = "memory exhausted";
    return;
  }
  if (const char* error = regex::CompileRegex(pattern.data(), pattern.size(), *program))
    errorText = error;
}

CompiledRule::~CompiledRule() { regex::ReleaseRegexProgram(program); }

std::string RuleRegexText(const std::string& pattern) { return "^(?:" + pattern + ")$"; }

}  // namespace fromsel
