#include "tools/fromsel/check_rules.h"

#include "pattern/wildcard/brace_expansion.h"
#include "sender/regex_rule.h"

namespace fromsel::cli {
namespace {

// A byte the settings file cannot carry inside a field: TAB separates
// fields, LF ends the line, a CR at a line's end is dropped on reading.
// NUL ends the text wherever the pattern engines see it as a C string.
struct Unstorable {
  char byte;
  const char* name;
};
constexpr Unstorable kUnstorableBytes[] = {
    {'\t', "a TAB"}, {'\r', "a CR"}, {'\n', "an LF"}, {'\0', "a NUL byte"}};

void AddFieldProblems(const char* fieldName, const std::string& field,
                      std::vector<std::string>& problems) {
  for (const Unstorable& unstorable : kUnstorableBytes) {
    if (field.find(unstorable.byte) != std::string::npos)
      problems.push_back(std::string(fieldName) + " holds " + unstorable.name);
  }
}

void AddRegexProblems(const AddressRule& rule, std::vector<std::string>& problems) {
  // Compiled exactly as rule matching compiles it, so the text is the one
  // that would make the rule inert at reply time.
  const CompiledRule compiled(RuleRegexText(rule.pattern), RuleRegexOptions);
  if (!compiled.errorText.empty())
    problems.push_back("regular expression does not compile: " + compiled.errorText);
}

void AddWildcardProblems(const AddressRule& rule, std::vector<std::string>& problems) {
  if (HasUnmatchedBrace(rule.pattern)) problems.push_back("unmatched { in wildcard pattern");
  // Expansion refuses a pattern over either limit, and the rule then never matches.
  if (CountBraceExpansions(rule.pattern) > MaxBraceExpansions)
    problems.push_back("wildcard pattern expands beyond the limit of " +
                       std::to_string(MaxBraceExpansions) + " patterns or " +
                       std::to_string(MaxBraceExpansionBytes >> 20) + " MiB and never matches");
}

}  // namespace

bool HasUnmatchedBrace(const std::string& pattern) {
  std::size_t open = 0;
  for (char c : pattern) {
    if (c == '{') ++open;
    else if (c == '}' && open > 0) --open;
  }
  return open > 0;
}

std::vector<std::string> RuleProblems(const AddressRule& rule) {
  std::vector<std::string> problems;
  if (rule.pattern.empty()) problems.push_back("empty pattern");
  AddFieldProblems("pattern", rule.pattern, problems);
  AddFieldProblems("name", rule.name, problems);
  AddFieldProblems("address", rule.address, problems);
  if (rule.pattern.empty()) return problems;
  if (rule.regex) AddRegexProblems(rule, problems);
  else AddWildcardProblems(rule, problems);
  return problems;
}

}  // namespace fromsel::cli
