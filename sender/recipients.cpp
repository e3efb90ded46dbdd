#include "sender/recipients.h"

#include <algorithm>
#include <cstddef>
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

// The token is the one byte `c` (cheaper than comparing with a C string).
bool IsToken(const std::string& token, char c) { return token.size() == 1 && token[0] == c; }

bool IsSeparator(const std::string& token) { return IsToken(token, ',') || IsToken(token, ';'); }

struct AtomTable {
  bool atom[256];
};

constexpr AtomTable MakeAtomTable() {
  AtomTable table{};
  const char specials[] = "\",.:;<>@[\\]";
  for (int c = 0x21; c <= 0x7E; ++c) {
    bool special = false;
    for (const char* s = specials; *s; ++s) special = special || *s == c;
    table.atom[c] = !special;
  }
  return table;
}

// Looked up once per header byte, so a table rather than a search.
constexpr AtomTable kAtomTable = MakeAtomTable();

// Reads one token from `p` onto `tokens`; false when the text ends first.
bool ReadToken(const char*& p, const char* const end, std::vector<std::string>& tokens) {
  while (p < end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '(') {
      p = SkipComment(p, end);
    } else if (c == '"') {
      tokens.emplace_back();
      p = ReadQuotedString(p, end, tokens.back());
      return true;
    } else if (IsSkippedByte(c)) {
      while (p < end && IsSkippedByte(static_cast<unsigned char>(*p))) ++p;
    } else if (IsAtomCharacter(c)) {
      const char* const atomBegin = p;
      while (p < end && IsAtomCharacter(static_cast<unsigned char>(*p))) ++p;
      tokens.emplace_back(atomBegin, p);
      return true;
    } else if (c == '\\') {
      // A backslash at the very end ends the text.
      if (p + 1 >= end) break;
      if (p + 2 < end && p[1] == '\r' && p[2] == '\n') {
        tokens.emplace_back("\r\n");
        p += 3;
      } else {
        tokens.emplace_back(1, p[1]);
        p += 2;
      }
      return true;
    } else {
      tokens.emplace_back(1, *p);
      ++p;
      return true;
    }
  }
  p = end;
  return false;
}

// A header's tokens, read as the address walk asks for them. The walk only
// moves forward, so the tokens behind it are dropped: a long header never
// sits in memory as one list of tokens. Indexes count from the first token.
class TokenStream {
 public:
  TokenStream(const char* begin, const char* end) : p_(begin), end_(end) {}

  bool Has(std::size_t i) {
    while (i >= base_ + buffer_.size() && ReadToken(p_, end_, buffer_)) {
    }
    return i < base_ + buffer_.size();
  }
  const std::string& operator[](std::size_t i) const { return buffer_[i - base_]; }
  TokenIterator Iterator(std::size_t i) const {
    return buffer_.begin() + static_cast<std::ptrdiff_t>(i - base_);
  }
  // The first separator at or after `i`, or the token count when none.
  std::size_t SeparatorFrom(std::size_t i) {
    while (Has(i) && !IsSeparator((*this)[i])) ++i;
    return i;
  }
  // Tokens before `i` are no longer needed.
  void Forget(std::size_t i) {
    const std::size_t dropped = std::min(i - base_, buffer_.size());
    if (dropped < kForgetBatch) return;
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(dropped));
    base_ += dropped;
  }

 private:
  // Tokens are dropped in batches, so the few left behind move rarely.
  static constexpr std::size_t kForgetBatch = 64;

  const char* p_;
  const char* const end_;
  std::size_t base_ = 0;  // index of buffer_[0]
  std::vector<std::string> buffer_;
};

}  // namespace

bool IsAtomCharacter(unsigned char c) { return kAtomTable.atom[c]; }

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
  while (ReadToken(p, end, tokens)) {
  }
  return tokens;
}

bool MatchAddressTokens(TokenIterator begin, TokenIterator end, const AddressConsumer& consumer) {
  if (begin == end) return false;
  TokenIterator first = begin, last = end;
  for (TokenIterator it = begin; it != end; ++it) {
    if (IsToken(*it, '<')) {
      first = it + 1;
      last = first;
      while (last != end && !IsToken(*last, '>')) ++last;
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
  const char* const lineEnd = headerLine.data() + TextLength(headerLine);
  const void* colon =
      std::memchr(headerLine.data(), ':', static_cast<std::size_t>(lineEnd - headerLine.data()));
  if (!colon) return false;
  TokenStream tokens(static_cast<const char*>(colon) + 1, lineEnd);
  std::size_t i = 0;
  while (tokens.Has(i)) {
    tokens.Forget(i);
    if (tokens.Has(i + 1) && IsToken(tokens[i + 1], ':')) {
      // A one-word group name: walk its members up to ';' or the end.
      i += 2;
      for (;;) {
        const std::size_t stop = tokens.SeparatorFrom(i);
        if (MatchAddressTokens(tokens.Iterator(i), tokens.Iterator(stop), consumer)) return true;
        if (!tokens.Has(stop)) return false;
        i = stop + 1;
        if (IsToken(tokens[stop], ';')) break;
        if (!tokens.Has(i)) return false;
        tokens.Forget(i);
      }
      continue;
    }
    const std::size_t stop = tokens.SeparatorFrom(i);
    if (MatchAddressTokens(tokens.Iterator(i), tokens.Iterator(stop), consumer)) return true;
    if (!tokens.Has(stop)) break;
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
