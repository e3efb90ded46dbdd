#include "rules/byte_string.h"

#include "platform/platform.h"

namespace fromsel {

void ToLowerAnsi(std::string& text) { platform::LowerAnsiBuffer(text.data(), text.size()); }

namespace {
bool IsBlank(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x01 && byte <= 0x20;
}
}  // namespace

void TrimBlanks(std::string& text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  text = text.substr(begin, end - begin);
}

std::uint32_t ParseLeadingDecimal(const std::string& text) {
  std::uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10u + static_cast<std::uint32_t>(c - '0');
  }
  return value;
}

std::string SplitAtFirst(std::string& text, char separator) {
  const std::size_t at = text.find(separator);
  std::string head;
  if (at == std::string::npos) {
    head.swap(text);
    return head;
  }
  head = text.substr(0, at);
  text.erase(0, at + 1);
  return head;
}

bool StartsWithByteOrderMark(const std::string& text) {
  return text.compare(0, sizeof Utf8ByteOrderMark - 1, Utf8ByteOrderMark) == 0;
}

std::string WithoutByteOrderMark(const std::string& text) {
  return StartsWithByteOrderMark(text) ? text.substr(sizeof Utf8ByteOrderMark - 1) : text;
}

}  // namespace fromsel
