#include "rules/settings_text.h"

#include "rules/byte_string.h"

namespace fromsel {
namespace {

void ParseSettingLine(std::string line, MailboxSettings& settings) {
  ToLowerAnsi(line);
  std::string key = SplitAtFirst(line, '=');
  TrimBlanks(key);
  key.erase(0, 1);  // the '>'
  std::string value = line;
  TrimBlanks(value);
  const bool on = ParseLeadingDecimal(value) != 0;
  if (key == "enable") settings.enabled = on;
  else if (key == "delivered-to") settings.lookAtDeliveredTo = on;
}

void ParseRuleLine(std::string line, MailboxSettings& settings) {
  line.erase(0, 1);  // the ':'
  AddressRule rule;
  for (char flag : SplitAtFirst(line, ':')) {
    switch (flag) {
      case 'r': case 'R': rule.regex = true; break;
      case 's': case 'S': rule.setSender = true; break;
      case 'v': case 'V': rule.verp = true; break;
      default: break;
    }
  }
  rule.pattern = SplitAtFirst(line, '\t');
  rule.name = SplitAtFirst(line, '\t');
  rule.address = SplitAtFirst(line, '\t');
  settings.rules.push_back(std::move(rule));
}

// A TAB, CR or LF inside a field would split or cut it when read back.
std::string StorableField(std::string field) {
  for (char& c : field)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return field;
}

}  // namespace

void ParseSettingsText(const std::string& rawText, MailboxSettings& settings) {
  // A mark left by an editor would glue itself to the first line's key.
  const std::string text = WithoutByteOrderMark(rawText);
  // Lines are cut by position: erasing each from the front of the rest
  // would make a long file cost the square of its length.
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    // A blank line in a hand-edited file separates nothing; the rules after it still count.
    if (line.empty()) continue;
    if (line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '>') ParseSettingLine(line, settings);
    else if (!line.empty() && line[0] == ':') ParseRuleLine(line, settings);
    else {
      AddressRule rule;
      rule.pattern = line;
      settings.rules.push_back(std::move(rule));
    }
  }
}

std::string FormatSettingsText(const MailboxSettings& settings) {
  std::string text = ">Enable=";
  text += settings.enabled ? '1' : '0';
  text += "\n>Delivered-To=";
  text += settings.lookAtDeliveredTo ? '1' : '0';
  text += '\n';
  for (const AddressRule& rule : settings.rules) {
    text += ':';
    if (rule.regex) text += 'R';
    if (rule.setSender) text += 'S';
    if (rule.verp) text += 'V';
    text += ':';
    text += StorableField(rule.pattern);
    text += '\t';
    text += StorableField(rule.name);
    text += '\t';
    text += StorableField(rule.address);
    text += '\n';
  }
  return text;
}

}  // namespace fromsel
