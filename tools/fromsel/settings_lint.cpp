#include "tools/fromsel/settings_lint.h"

#include <algorithm>
#include <map>

#include "rules/byte_string.h"
#include "rules/settings_text.h"
#include "sender/display_name.h"
#include "tools/fromsel/check_rules.h"

namespace fromsel::cli {
namespace {

// Keys the plug-in reads from setting lines (compared lower-cased).
constexpr const char* kEnableKey = "enable";
constexpr const char* kDeliveredToKey = "delivered-to";

// One line as the reader sees it: its number in the file and its text
// without the one CR the reader drops.
struct Line {
  int number;
  std::string text;
};

// The lines the reader takes, in order: split at LF, empty ones skipped.
std::vector<Line> ReadLines(const std::string& text) {
  std::vector<Line> lines;
  std::string rest = WithoutByteOrderMark(text);
  int number = 0;
  while (!rest.empty()) {
    std::string line = SplitAtFirst(rest, '\n');
    ++number;
    if (line.empty()) continue;
    if (line.back() == '\r') line.pop_back();
    lines.push_back({number, line});
  }
  return lines;
}

// Key and value text of a setting line, as the reader cuts them.
void SplitSetting(std::string line, std::string& key, std::string& value) {
  ToLowerAnsi(line);
  key = SplitAtFirst(line, '=');
  TrimBlanks(key);
  key.erase(0, 1);  // the '>'
  value = line;
  TrimBlanks(value);
}

bool StartsWithDigit(const std::string& value) {
  return !value.empty() && value[0] >= '0' && value[0] <= '9';
}

class Linter {
 public:
  explicit Linter(const std::string& text) : text_(text) {}

  std::vector<Finding> Run() {
    CheckFile();
    for (const Line& line : ReadLines(text_)) CheckLine(line);
    ParseSettingsText(text_, settings_);
    CheckSwitch();
    CheckRules();
    return std::move(findings_);
  }

 private:
  void Add(Severity severity, int line, int rule, std::string text, std::string todo) {
    findings_.push_back({severity, line, rule, std::move(text), std::move(todo)});
  }

  void CheckFile() {
    if (StartsWithByteOrderMark(text_))
      Add(Severity::Note, 1, 0, "the file starts with a byte-order mark, which Fromsel skips",
          "nothing to do; the settings dialog saves the file without it");
    // A CR that neither ends a line nor stands before another CR: lines
    // ended by CR alone, which the reader takes for one long line.
    for (std::size_t i = 0; i < text_.size(); ++i) {
      if (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] != '\n' &&
          text_[i + 1] != '\r') {
        Add(Severity::Problem, 0, 0,
            "lines end with CR alone; Fromsel reads everything up to the next LF as one line",
            "save the file with CR LF (Windows) or LF line ends");
        return;
      }
    }
  }

  void CheckLine(const Line& line) {
    const char first = line.text[0];
    if (first == '>') return CheckSettingLine(line);
    if (first == ':') {
      ++rules_;
      return CheckRuleLine(line);
    }
    ++rules_;
    CheckBareLine(line);
  }

  void CheckSettingLine(const Line& line) {
    std::string key, value;
    SplitSetting(line.text, key, value);
    if (key == kEnableKey) sawEnable_ = true;
    if (key != kEnableKey && key != kDeliveredToKey) {
      Add(Severity::Problem, line.number, 0,
          "setting line \"" + line.text + "\" is ignored: the key is neither Enable nor "
          "Delivered-To",
          "write >Enable=1 or >Delivered-To=1, with no blank after the >");
      return;
    }
    if (!StartsWithDigit(value))
      Add(Severity::Problem, line.number, 0,
          "setting line \"" + line.text + "\" has no number and reads as 0 (off)",
          "write 1 for on or 0 for off after the =");
  }

  void CheckRuleLine(const Line& line) {
    std::size_t tabs = 0;
    for (char c : line.text) tabs += c == '\t';
    if (tabs > 2)
      Add(Severity::Problem, line.number, rules_,
          "rule " + std::to_string(rules_) + " has text after its third field, which is dropped",
          "keep three fields, pattern<TAB>name<TAB>address, and remove the rest");
  }

  void CheckBareLine(const Line& line) {
    std::string trimmed = line.text;
    TrimBlanks(trimmed);
    const std::string rule = "rule " + std::to_string(rules_);
    if (!trimmed.empty() && trimmed != line.text && (trimmed[0] == '>' || trimmed[0] == ':')) {
      Add(Severity::Problem, line.number, rules_,
          "the line starts with a blank, so it is not a setting or rule line but the wildcard "
          "pattern of " + rule,
          "remove the blanks before the " + trimmed.substr(0, 1));
      if (trimmed[0] == '>') {
        std::string key, value;
        SplitSetting(trimmed, key, value);
        if (key == kEnableKey) sawIndentedEnable_ = true;
      }
      return;
    }
    if (trimmed.empty()) return;
    if (trimmed[0] == '#' || trimmed[0] == ';' || trimmed.compare(0, 2, "//") == 0)
      Add(Severity::Note, line.number, rules_,
          "this looks like a comment, but fromsel.ini has none: it is the wildcard pattern of " +
              rule,
          "delete the line");
  }

  void CheckSwitch() {
    if (settings_.rules.empty()) return;
    if (!sawEnable_)
      Add(Severity::Problem, 0, 0,
          sawIndentedEnable_ ? "no >Enable line the plug-in reads, so the mailbox is off"
                             : "no >Enable line, so the mailbox is off",
          "add the line >Enable=1, or tick Enable in the settings dialog");
    else if (!settings_.enabled)
      Add(Severity::Note, 0, 0, "the mailbox is off (>Enable=0), so its rules are not used",
          "tick Enable in the settings dialog to use them");
  }

  void CheckRules() {
    int catchAll = 0;
    std::map<std::pair<bool, std::string>, int> firstWithPattern;
    for (std::size_t i = 0; i < settings_.rules.size(); ++i) {
      const AddressRule& rule = settings_.rules[i];
      const int number = static_cast<int>(i) + 1;
      for (RuleProblem& problem : RuleProblems(rule))
        Add(Severity::Problem, 0, number, std::move(problem.text), std::move(problem.todo));
      CheckName(rule, number);
      if (catchAll)
        Add(Severity::Note, 0, number,
            "never used: rule " + std::to_string(catchAll) + " before it matches every address",
            "move this rule above rule " + std::to_string(catchAll) + ", or remove rule " +
                std::to_string(catchAll));
      const auto [first, inserted] = firstWithPattern.emplace(
          std::make_pair(rule.regex, rule.pattern), number);
      if (!inserted)
        Add(Severity::Note, 0, number,
            "same pattern as rule " + std::to_string(first->second) +
                ", which is tried first, so this rule is never used",
            "remove one of the two");
      if (!catchAll && !rule.pattern.empty() && MatchesEveryAddress(rule)) {
        catchAll = number;
        Add(Severity::Note, 0, number,
            "matches every address, so the first To address always decides, even when it is "
            "not yours; with no match the reply keeps the account's own address anyway",
            "remove this rule, or write a rule for each of your addresses");
      }
    }
  }

  void CheckName(const AddressRule& rule, int number) {
    if (rule.name.empty()) return;
    const std::string written = DisplayNameForFrom(rule.name);
    if (written != rule.name)
      Add(Severity::Note, 0, number, "the name is written in quotes: " + written,
          "nothing to do; the quotes keep the reply's From one address");
  }

  const std::string& text_;
  MailboxSettings settings_;
  std::vector<Finding> findings_;
  int rules_ = 0;
  bool sawEnable_ = false;
  bool sawIndentedEnable_ = false;
};

}  // namespace

std::vector<Finding> LintSettingsText(const std::string& text) {
  std::vector<Finding> findings = Linter(text).Run();
  // File and line findings first, then rule findings in rule order.
  std::stable_sort(findings.begin(), findings.end(), [](const Finding& a, const Finding& b) {
    const bool aRule = a.line == 0 && a.rule != 0;
    const bool bRule = b.line == 0 && b.rule != 0;
    if (aRule != bRule) return !aRule;
    return aRule && a.rule < b.rule;
  });
  return findings;
}

EnableLine FindEnableLine(const std::string& text) {
  bool seen = false;
  for (const Line& line : ReadLines(text)) {
    if (line.text[0] != '>') continue;
    std::string key, value;
    SplitSetting(line.text, key, value);
    if (key == kEnableKey) seen = true;
  }
  if (!seen) return EnableLine::Missing;
  MailboxSettings settings;
  ParseSettingsText(text, settings);
  return settings.enabled ? EnableLine::On : EnableLine::Off;
}

const char* SeverityName(Severity severity) {
  return severity == Severity::Problem ? "problem" : "note";
}

}  // namespace fromsel::cli
