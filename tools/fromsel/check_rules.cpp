#include "tools/fromsel/check_rules.h"

#include <algorithm>

#include "pattern/wildcard/brace_expansion.h"
#include "sender/address_field.h"
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

constexpr const char* kRetypeField =
    "retype the field in the settings dialog, or mend the line in fromsel.ini";

// What rules put before a pattern when they compile it: "^(?:".
constexpr std::size_t kRuleFormPrefixBytes = 4;

void AddFieldProblems(const char* fieldName, const std::string& field,
                      std::vector<RuleProblem>& problems) {
  for (const Unstorable& unstorable : kUnstorableBytes) {
    if (field.find(unstorable.byte) != std::string::npos)
      problems.push_back({std::string(fieldName) + " holds " + unstorable.name, kRetypeField});
  }
}

void AddRegexProblems(const AddressRule& rule, std::vector<RuleProblem>& problems) {
  // Compiled exactly as rule matching compiles it, so the text is the one
  // that would make the rule inert at reply time.
  const CompiledRule compiled(RuleRegexText(rule.pattern), RuleRegexOptions);
  if (!compiled.errorText.empty())
    problems.push_back(
        {"regular expression does not compile: " +
             CompileErrorForAuthor(rule.pattern, compiled.errorText),
         "correct the pattern; the rule never matches as it is"});
}

void AddWildcardProblems(const AddressRule& rule, std::vector<RuleProblem>& problems) {
  if (HasUnmatchedBrace(rule.pattern))
    problems.push_back({"unmatched { in wildcard pattern", "add the missing }"});
  // Expansion refuses a pattern over either limit, and the rule then never matches.
  if (CountBraceExpansions(rule.pattern) > MaxBraceExpansions)
    problems.push_back({"wildcard pattern expands beyond the limit of " +
                            std::to_string(MaxBraceExpansions) + " patterns or " +
                            std::to_string(MaxBraceExpansionBytes >> 20) +
                            " MiB and never matches",
                        "split it into several rules with fewer {..} choices"});
}

void AddAddressFieldProblem(const AddressRule& rule, std::vector<RuleProblem>& problems) {
  switch (FindAddressFieldProblem(rule)) {
    case AddressFieldProblem::None:
      return;
    case AddressFieldProblem::NotOneAddress:
      problems.push_back({"the From field holds <, >, a comma or a semicolon, which garbles "
                          "the reply's From",
                          "write one address only, such as jane@example.com, and put the "
                          "display name in the Name field"});
      return;
    case AddressFieldProblem::GroupBeyondPattern:
      problems.push_back({"the From field uses \\1..\\9 for a group the pattern does not have",
                          "count the pattern's ( groups, or remove that part"});
      return;
    case AddressFieldProblem::TemplateInWildcardRule:
      problems.push_back({"the From field uses \\& or \\1..\\9, which a wildcard rule writes "
                          "as they stand",
                          "make the rule a regular expression, or write the address itself"});
      return;
  }
}

// The pattern without any number of enclosing groups, "(...)" or "(?:...)",
// whose insides hold no other parenthesis, and without ^ and $ around it.
std::string WithoutWrapping(std::string pattern) {
  for (bool changed = true; changed;) {
    changed = false;
    if (pattern.size() >= 2 && pattern.front() == '^') {
      pattern.erase(0, 1);
      changed = true;
    }
    if (pattern.size() >= 2 && pattern.back() == '$' && pattern[pattern.size() - 2] != '\\') {
      pattern.pop_back();
      changed = true;
    }
    std::size_t open = 0;
    if (pattern.compare(0, 3, "(?:") == 0) open = 3;
    else if (pattern.compare(0, 1, "(") == 0) open = 1;
    if (open && pattern.back() == ')' &&
        pattern.find_first_of("()", open) == pattern.size() - 1) {
      pattern = pattern.substr(open, pattern.size() - open - 1);
      changed = true;
    }
  }
  return pattern;
}

bool IsStarsOnly(const std::string& entry) {
  return !entry.empty() && entry.find_first_not_of('*') == std::string::npos;
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

std::vector<RuleProblem> RuleProblems(const AddressRule& rule) {
  std::vector<RuleProblem> problems;
  if (rule.pattern.empty())
    problems.push_back({"empty pattern", "give the rule a pattern, or remove it"});
  AddFieldProblems("pattern", rule.pattern, problems);
  AddFieldProblems("name", rule.name, problems);
  AddFieldProblems("address", rule.address, problems);
  if (rule.pattern.empty()) return problems;
  if (rule.regex) AddRegexProblems(rule, problems);
  else AddWildcardProblems(rule, problems);
  AddAddressFieldProblem(rule, problems);
  return problems;
}

std::string CompileErrorForAuthor(const std::string& pattern, const std::string& errorText) {
  std::string text = errorText;
  // "... at N": N counts from the start of the rule form.
  const std::size_t at = text.rfind(" at ");
  if (at != std::string::npos && at + 4 < text.size() &&
      text.find_first_not_of("0123456789", at + 4) == std::string::npos &&
      text.size() - at - 4 < 10) {
    const long position = std::stol(text.substr(at + 4)) - static_cast<long>(kRuleFormPrefixBytes);
    if (position >= 1) text = text.substr(0, at + 4) + std::to_string(position);
  }
  if (!pattern.empty() && pattern[0] == '*')
    text += " (a leading * is wildcard syntax: make this a wildcard rule, or write .* for "
            "any text)";
  return text;
}

bool MatchesEveryAddress(const AddressRule& rule) {
  if (rule.regex) {
    static const char* const kAnyText[] = {".*", ".+", ".*?", ".+?"};
    const std::string core = WithoutWrapping(rule.pattern);
    return std::find(std::begin(kAnyText), std::end(kAnyText), core) != std::end(kAnyText);
  }
  if (CountBraceExpansions(rule.pattern) > MaxBraceExpansions) return false;
  std::vector<std::string> entries;
  ExpandBraces(rule.pattern, entries);
  return std::any_of(entries.begin(), entries.end(), IsStarsOnly);
}

}  // namespace fromsel::cli
