#include "sender/recipients.h"

#include <cstring>

#include "rules/byte_string.h"

namespace fromsel {

namespace {

// Length of the NUL-terminated text held in `text`: the host hands over C
// strings, so a NUL ends the text even inside a longer buffer.
std::size_t TextLength(const std::string& text) {
  const void* nul = std::memchr(text.data(), '\0', text.size());
  return nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data())
             : text.size();
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

bool IsFoldBlank(char c) { return c == ' ' || c == '\t'; }

unsigned char FoldAsciiCase(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// True when the line [begin, end) starts with `name` (lower case), ASCII
// letters compared without regard to case.
bool StartsWithFieldName(const char* begin, const char* end, const char* name) {
  const std::size_t length = std::strlen(name);
  if (static_cast<std::size_t>(end - begin) < length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (FoldAsciiCase(static_cast<unsigned char>(begin[i])) != static_cast<unsigned char>(name[i]))
      return false;
  }
  return true;
}

void StoreFirst(std::string& slot, bool& taken, const char* begin, const char* end) {
  if (taken) return;
  slot.assign(begin, end);
  taken = true;
}

// A byte that separates tokens and never stands in one: controls, blank,
// and every byte with the high bit set.
bool IsSkippedByte(unsigned char c) { return (c >= 0x01 && c <= 0x20) || c >= 0x80; }

// Skips a comment opened at `p` ('('); returns the position after its first
// unescaped ')', or `end` when it is unterminated.
const char* SkipComment(const char* p, const char* end) {
  for (++p; p < end; ++p) {
    if (*p == '\\') {
      if (p + 1 < end) ++p;
    } else if (*p == ')') {
      return p + 1;
    }
  }
  return end;
}

// Reads a quoted string opened at `p` ('"') into `token`; returns the
// position after the closing quote, or `end` when it is unterminated.
const char* ReadQuotedString(const char* p, const char* end, std::string& token) {
  for (++p; p < end; ++p) {
    if (*p == '\\') {
      if (p + 1 < end) ++p;  // the escaped byte alone
      token.push_back(*p);   // before the end: the backslash itself
    } else if (*p == '"') {
      return p + 1;
    } else {
      token.push_back(*p);
    }
  }
  return end;
}

using TokenIterator = std::vector<std::string>::const_iterator;

bool IsSeparator(const std::string& token) { return token == "," || token == ";"; }

TokenIterator FindSeparator(TokenIterator begin, TokenIterator end) {
  while (begin != end && !IsSeparator(*begin)) ++begin;
  return begin;
}

}  // namespace

bool IsAtomCharacter(unsigned char c) {
  if (c < 0x21 || c > 0x7E) return false;
  return std::strchr("\",.:;<>@[\\]", c) == nullptr;
}

RecipientHeaders CollectRecipientHeaders(const std::string& source) {
  RecipientHeaders headers;
  bool haveTo = false, haveCc = false, haveDeliveredTo = false;
  const char* p = source.data();
  const char* const end = p + TextLength(source);
  while (p < end && !IsLineBreak(*p)) {
    const char* const lineBegin = p;
    const char* contentEnd;
    for (;;) {
      while (p < end && !IsLineBreak(*p)) ++p;
      contentEnd = p;
      if (p < end && *p == '\r') ++p;
      if (p < end && *p == '\n') ++p;
      if (p < end && IsFoldBlank(*p)) continue;  // folded: the line goes on
      break;
    }
    if (StartsWithFieldName(lineBegin, contentEnd, "to:"))
      StoreFirst(headers.to, haveTo, lineBegin, contentEnd);
    else if (StartsWithFieldName(lineBegin, contentEnd, "cc:"))
      StoreFirst(headers.cc, haveCc, lineBegin, contentEnd);
    else if (StartsWithFieldName(lineBegin, contentEnd, "delivered-to:"))
      StoreFirst(headers.deliveredTo, haveDeliveredTo, lineBegin, contentEnd);
  }
  return headers;
}

std::vector<std::string> TokenizeAddressList(const std::string& value) {
  std::vector<std::string> tokens;
  const char* p = value.data();
  const char* const end = p + TextLength(value);
  while (p < end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '(') {
      p = SkipComment(p, end);
    } else if (c == '"') {
      tokens.emplace_back();
      p = ReadQuotedString(p, end, tokens.back());
    } else if (IsSkippedByte(c)) {
      while (p < end && IsSkippedByte(static_cast<unsigned char>(*p))) ++p;
    } else if (IsAtomCharacter(c)) {
      const char* const atomBegin = p;
      while (p < end && IsAtomCharacter(static_cast<unsigned char>(*p))) ++p;
      tokens.emplace_back(atomBegin, p);
    } else if (c == '\\') {
      if (p + 1 >= end) break;
      if (p + 2 < end && p[1] == '\r' && p[2] == '\n') {
        tokens.emplace_back("\r\n");
        p += 3;
      } else {
        tokens.emplace_back(1, p[1]);
        p += 2;
      }
    } else {
      tokens.emplace_back(1, *p);
      ++p;
    }
  }
  return tokens;
}

bool MatchAddressTokens(TokenIterator begin, TokenIterator end, const AddressConsumer& consumer) {
  if (begin == end) return false;
  TokenIterator first = begin, last = end;
  for (TokenIterator it = begin; it != end; ++it) {
    if (*it == "<") {
      first = it + 1;
      last = first;
      while (last != end && *last != ">") ++last;
      break;
    }
  }
  std::string address;
  for (TokenIterator it = first; it != last; ++it) address += *it;
  // Empty quoted strings join to nothing: that is no address either.
  if (address.empty()) return false;
  return consumer(address);
}

bool MatchHeaderAddresses(const std::string& headerLine, const AddressConsumer& consumer) {
  const std::string line = headerLine.substr(0, TextLength(headerLine));
  const std::size_t colon = line.find(':');
  if (colon == std::string::npos) return false;
  const std::vector<std::string> tokens = TokenizeAddressList(line.substr(colon + 1));
  const TokenIterator end = tokens.end();
  TokenIterator i = tokens.begin();
  while (i != end) {
    if (i + 1 != end && *(i + 1) == ":") {
      // A one-word group name: walk its members up to ';' or the end.
      i += 2;
      for (;;) {
        const TokenIterator stop = FindSeparator(i, end);
        if (MatchAddressTokens(i, stop, consumer)) return true;
        if (stop == end) return false;
        i = stop + 1;
        if (*stop == ";") break;
        if (i == end) return false;
      }
      continue;
    }
    const TokenIterator stop = FindSeparator(i, end);
    if (MatchAddressTokens(i, stop, consumer)) return true;
    if (stop == end) break;
    i = stop + 1;
  }
  return false;
}

std::string DeliveredToAddress(const std::string& deliveredToLine) {
  // The field name and colon: "Delivered-To:".
  constexpr std::size_t kFieldNameLength = 13;
  const std::size_t length = TextLength(deliveredToLine);
  if (length <= kFieldNameLength) return std::string();
  std::string value = deliveredToLine.substr(kFieldNameLength, length - kFieldNameLength);
  TrimBlanks(value);
  return value;
}

}  // namespace fromsel
