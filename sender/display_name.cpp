#include "sender/display_name.h"

#include <cstring>

#include "platform/platform.h"

namespace fromsel {

namespace {

// Printable ASCII that may stand in an atom: everything but the specials
// ( ) < > [ ] : ; @ \ , . and the double quote.
bool IsAtomText(unsigned char c) {
  return c > 0x20 && c < 0x7F && !std::strchr("()<>[]:;@\\,.\"", c);
}

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t'; }

bool IsHighByte(unsigned char c) { return c >= 0x80; }

// Bytes taken by the character at `i`: two for a lead byte of the system's
// double-byte code page with its trail byte, whatever that trail byte is
// (it may be a backslash or a quote, which is no special there).
std::size_t CharacterLength(const std::string& text, std::size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  return IsHighByte(c) && platform::IsLeadByte(c) && i + 1 < text.size() ? 2 : 1;
}

// Past the atom starting at `i`.
std::size_t SkipAtom(const std::string& text, std::size_t i) {
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!IsAtomText(c) && !IsHighByte(c)) break;
    i += CharacterLength(text, i);
  }
  return i;
}

// Past the quoted string whose opening quote is at `i`; npos when it is not
// closed or holds a byte a quoted string may not.
std::size_t SkipQuotedString(const std::string& text, std::size_t i) {
  for (++i; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '"') return i + 1;
    if (c == '\\') {
      if (i + 1 >= text.size()) return std::string::npos;
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next < 0x20 && !IsBlank(next)) return std::string::npos;
      i += 2;
    } else if (c >= 0x20 || IsBlank(c)) {
      i += CharacterLength(text, i);
    } else {
      return std::string::npos;
    }
  }
  return std::string::npos;
}

}  // namespace

bool IsPhrase(const std::string& name) {
  bool sawWord = false;
  std::size_t i = 0;
  while (i < name.size()) {
    const auto c = static_cast<unsigned char>(name[i]);
    std::size_t next;
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    if (c == '"') next = SkipQuotedString(name, i);
    else if (IsAtomText(c) || IsHighByte(c)) next = SkipAtom(name, i);
    else return false;
    if (next == std::string::npos) return false;
    sawWord = true;
    i = next;
  }
  return sawWord;
}

std::string DisplayNameForFrom(const std::string& name) {
  if (IsPhrase(name)) return name;
  std::string quoted = "\"";
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t length = CharacterLength(name, i);
    if (length == 1 && (name[i] == '"' || name[i] == '\\')) quoted.push_back('\\');
    quoted.append(name, i, length);
    i += length;
  }
  quoted.push_back('"');
  return quoted;
}

}  // namespace fromsel
