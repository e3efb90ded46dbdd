// What `fromsel check` finds in one mailbox's settings file: the lines the
// plug-in reads otherwise than their writer meant, the rules that cannot
// work or are never used, and the mailbox's switch. Each finding is a
// problem (it changes what a reply does, or silently turns rules off) or a
// note (worth knowing; the replies are as the writer meant).
#pragma once

#include <string>
#include <vector>

namespace fromsel::cli {

enum class Severity { Problem, Note };

struct Finding {
  Severity severity = Severity::Problem;
  int line = 0;  // 1-based line of the file, 0 when it is about a rule or the whole file
  int rule = 0;  // 1-based rule number, 0 when it is about a line or the whole file
  std::string text;
  std::string todo;
};

// Every finding of the settings text, file and line findings first, then
// rule findings in rule order.
std::vector<Finding> LintSettingsText(const std::string& text);

// The state of the mailbox's >Enable line as the plug-in reads it.
enum class EnableLine { Missing, Off, On };
EnableLine FindEnableLine(const std::string& text);

const char* SeverityName(Severity severity);

}  // namespace fromsel::cli
