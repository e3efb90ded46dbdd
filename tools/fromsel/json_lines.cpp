#include "tools/fromsel/json_lines.h"

#include <cstdio>

namespace fromsel::cli {

void JsonReader::SkipBlanks() {
  while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r'))
    ++at_;
}

bool JsonReader::Expect(char c) {
  SkipBlanks();
  if (at_ < text_.size() && text_[at_] == c) {
    ++at_;
    return true;
  }
  return false;
}

bool JsonReader::AtEnd() {
  SkipBlanks();
  return at_ == text_.size();
}

bool JsonReader::ReadHex4(std::uint32_t& value) {
  if (text_.size() - at_ < 4) return false;
  value = 0;
  for (int i = 0; i < 4; ++i) {
    const char c = text_[at_++];
    value <<= 4;
    if (c >= '0' && c <= '9') value |= static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') value |= static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') value |= static_cast<std::uint32_t>(c - 'A' + 10);
    else return false;
  }
  return true;
}

// The escape after a backslash.
bool JsonReader::ReadEscape(std::uint32_t& cp, std::string& reason) {
  if (at_ >= text_.size()) return reason = "unterminated string", false;
  switch (text_[at_++]) {
    case '"': cp = '"'; return true;
    case '\\': cp = '\\'; return true;
    case '/': cp = '/'; return true;
    case 'b': cp = 0x08; return true;
    case 'f': cp = 0x0C; return true;
    case 'n': cp = 0x0A; return true;
    case 'r': cp = 0x0D; return true;
    case 't': cp = 0x09; return true;
    case 'u':
      if (!ReadHex4(cp)) return reason = "malformed \\u escape", false;
      return true;
    default:
      return reason = "unknown escape", false;
  }
}

// One code point of a string body: an escape or a UTF-8 sequence.
bool JsonReader::ReadCodePoint(std::uint32_t& cp, std::string& reason) {
  const auto byte = static_cast<unsigned char>(text_[at_++]);
  if (byte == '\\') return ReadEscape(cp, reason);
  if (byte < 0x20) return reason = "control character in string", false;
  if (byte < 0x80) {
    cp = byte;
    return true;
  }
  // UTF-8: the lead byte tells how many continuation bytes follow.
  int more = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : -1;
  if (more < 0 || byte >= 0xF8) return reason = "malformed UTF-8", false;
  cp = byte & (0x3F >> more);
  for (; more > 0; --more) {
    if (at_ >= text_.size()) return reason = "malformed UTF-8", false;
    const auto next = static_cast<unsigned char>(text_[at_++]);
    if ((next & 0xC0) != 0x80) return reason = "malformed UTF-8", false;
    cp = (cp << 6) | (next & 0x3F);
  }
  return true;
}

bool JsonReader::ReadString(std::string& out, std::string& reason) {
  if (!Expect('"')) return reason = "string expected", false;
  out.clear();
  while (at_ < text_.size() && text_[at_] != '"') {
    std::uint32_t cp = 0;
    if (!ReadCodePoint(cp, reason)) return false;
    if (cp > 0xFF) return reason = "code point above U+00FF", false;
    out += static_cast<char>(cp);
  }
  if (at_ >= text_.size()) return reason = "unterminated string", false;
  ++at_;
  return true;
}

bool JsonReader::ReadInteger(std::int64_t& out, std::string& reason) {
  SkipBlanks();
  const bool negative = at_ < text_.size() && text_[at_] == '-';
  if (negative) ++at_;
  // Wide enough for every option word and offset, narrow enough not to overflow.
  constexpr std::int64_t kMaxMagnitude = std::int64_t{1} << 40;
  std::int64_t value = 0;
  const std::size_t first = at_;
  while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
    value = value * 10 + (text_[at_++] - '0');
    if (value > kMaxMagnitude) return reason = "number too large", false;
  }
  if (at_ == first) return reason = "integer expected", false;
  if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E'))
    return reason = "integer expected", false;
  out = negative ? -value : value;
  return true;
}

std::string JsonString(const std::string& bytes) {
  std::string out = "\"";
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace fromsel::cli
