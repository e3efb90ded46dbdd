#include "platform/profile_text.h"

#include <cstddef>
#include <vector>

namespace fromsel::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string Trim(const std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// "[name]" gives name; anything else gives false.
bool SectionName(const std::string& line, std::string& name) {
  const std::string trimmed = Trim(line);
  if (trimmed.size() < 2 || trimmed.front() != '[') return false;
  const std::size_t close = trimmed.find(']');
  if (close == std::string::npos) return false;
  name = Trim(trimmed.substr(1, close - 1));
  return true;
}

// "key=value" gives both; a line without '=' gives false.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return false;
  key = Trim(line.substr(0, equals));
  value = Trim(line.substr(equals + 1));
  return true;
}

std::string Unquote(const std::string& value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

std::string ProfileDefault(const std::string& defaultValue) {
  std::size_t end = defaultValue.size();
  while (end > 0 && defaultValue[end - 1] == ' ') --end;
  return defaultValue.substr(0, end);
}

std::string FindProfileValue(const std::string& text, const std::string& section,
                             const std::string& key, const std::string& defaultValue) {
  // One line at a time: a file of millions of short lines is never held
  // a second time as a list of lines.
  bool inSection = false;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    std::string name, lineKey, value;
    if (SectionName(line, name)) {
      inSection = SameName(name, section);
    } else if (inSection && KeyValue(line, lineKey, value) && SameName(lineKey, key)) {
      return Unquote(value);
    }
  }
  return ProfileDefault(defaultValue);
}

std::string SetProfileValue(const std::string& text, const std::string& section,
                            const std::string& key, const std::string& value) {
  std::vector<std::string> lines = Lines(text);
  const std::string entry = key + "=" + value;
  bool inSection = false;
  std::size_t sectionEnd = lines.size();
  bool found = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string name, lineKey, lineValue;
    if (SectionName(lines[i], name)) {
      if (inSection) {
        sectionEnd = i;
        break;
      }
      inSection = SameName(name, section);
      if (inSection) found = true;
    } else if (inSection && KeyValue(lines[i], lineKey, lineValue) && SameName(lineKey, key)) {
      lines[i] = entry;
      sectionEnd = lines.size() + 1;  // replaced in place
      break;
    }
  }
  if (sectionEnd <= lines.size()) {
    if (found) {
      // Insert before trailing blank lines of the section.
      std::size_t at = sectionEnd;
      while (at > 0 && Trim(lines[at - 1]).empty()) --at;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), entry);
    } else {
      lines.push_back("[" + section + "]");
      lines.push_back(entry);
    }
  }
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

}  // namespace fromsel::platform
