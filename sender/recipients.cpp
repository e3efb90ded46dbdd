#include "sender/recipients.h"

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
constexpr bool IsSkippedByte(unsigned char c) { return (c >= 0x01 && c <= 0x20) || c >= 0x80; }

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

// One token of a header value, as positions in the text: the walk reads a
// token again rather than keep a copy of it.
struct Token {
  const char* begin = nullptr;  // the token's first byte; null: no token
  const char* valueBegin = nullptr;
  const char* valueEnd = nullptr;
  bool quoted = false;  // the value still holds the string's backslash escapes
};

// The end of a quoted string opened at `p` ('"'): after its closing quote,
// or `end` when it is unterminated. `closed` tells which.
const char* QuotedStringEnd(const char* p, const char* end, bool& closed) {
  for (++p; p < end; ++p) {
    if (*p == '\\') {
      if (p + 1 < end) ++p;
    } else if (*p == '"') {
      closed = true;
      return p + 1;
    }
  }
  closed = false;
  return end;
}

// Calls `emit` with each byte of a quoted string's value: the escaped byte
// alone, or at the very end an unescaped backslash itself. Stops early
// when `emit` returns false.
template <typename Emit>
void UnescapeQuoted(const char* p, const char* end, Emit emit) {
  for (; p < end; ++p) {
    if (*p == '\\' && p + 1 < end) ++p;
    if (!emit(*p)) return;
  }
}

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

// Reads the token at or after `p` into `token` and returns the position
// after it; `token.begin` stays null when the text ends first.
const char* NextToken(const char* p, const char* const end, Token& token) {
  token = Token{};
  while (p < end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '(') {
      p = SkipComment(p, end);
    } else if (IsSkippedByte(c)) {
      while (p < end && IsSkippedByte(static_cast<unsigned char>(*p))) ++p;
    } else if (c == '"') {
      bool closed = false;
      const char* const after = QuotedStringEnd(p, end, closed);
      token = Token{p, p + 1, closed ? after - 1 : after, true};
      return after;
    } else if (kAtomTable.atom[c]) {
      const char* after = p;
      while (after < end && kAtomTable.atom[static_cast<unsigned char>(*after)]) ++after;
      token = Token{p, p, after, false};
      return after;
    } else if (c == '\\') {
      // A backslash at the very end ends the text; before CR LF it
      // escapes the pair, else the one byte after it.
      if (p + 1 >= end) break;
      const bool lineBreak = p + 2 < end && p[1] == '\r' && p[2] == '\n';
      const char* const after = p + (lineBreak ? 3 : 2);
      token = Token{p, p + 1, after, false};
      return after;
    } else {
      token = Token{p, p, p + 1, false};
      return p + 1;
    }
  }
  return end;
}

void AppendTokenValue(const Token& token, std::string& out) {
  if (!token.quoted) {
    out.append(token.valueBegin, token.valueEnd);
    return;
  }
  UnescapeQuoted(token.valueBegin, token.valueEnd, [&](char c) {
    out.push_back(c);
    return true;
  });
}

// The token's value when it is one byte, else -1 (a quoted "," is one
// byte too, so it separates as a bare one does). Looks at no more than the
// value's first two bytes.
int OneByteValue(const Token& token) {
  if (!token.quoted)
    return token.valueEnd - token.valueBegin == 1 ? static_cast<unsigned char>(*token.valueBegin)
                                                  : -1;
  int length = 0;
  unsigned char first = 0;
  UnescapeQuoted(token.valueBegin, token.valueEnd, [&](char byte) {
    if (length++ == 0) first = static_cast<unsigned char>(byte);
    return length < 2;
  });
  return length == 1 ? first : -1;
}

// One list entry: its tokens up to the next separator.
struct Entry {
  const char* begin = nullptr;
  const char* stop = nullptr;        // where its separator starts, or the end
  const char* next = nullptr;        // after the separator
  const char* afterAngle = nullptr;  // after its first '<', null without one
  char separator = 0;                // ',' or ';', 0 when the text ended
};

// How a byte that begins a token is read when the walk passes tokens by
// without building them: the first byte of an atom (the run follows), a
// one-byte token whose value is itself, or anything else (NextToken reads it).
enum class TokenStart : unsigned char { Other, Atom, OneByte };

struct TokenStartTable {
  TokenStart start[256];
};

constexpr TokenStartTable MakeTokenStartTable() {
  TokenStartTable table{};
  for (int c = 0; c < 256; ++c) {
    const auto byte = static_cast<unsigned char>(c);
    const bool readByNextToken = byte == '(' || byte == '"' || byte == '\\' || byte == ',' ||
                                 byte == ';' || IsSkippedByte(byte);
    if (readByNextToken) continue;
    table.start[c] = kAtomTable.atom[c] ? TokenStart::Atom : TokenStart::OneByte;
  }
  return table;
}

constexpr TokenStartTable kTokenStartTable = MakeTokenStartTable();

// The position after the tokens from `p` on whose value is their own text
// and that cannot end an entry: atoms, and one-byte tokens such as '.' or
// '@' other than `stopAt` (-1: none). Stops before skipped bytes, so what it
// passes is one verbatim run. A header of millions of one-byte tokens is
// read this way without building a token for each.
const char* PassVerbatimTokens(const char* p, const char* const end, int stopAt) {
  while (p < end) {
    const auto c = static_cast<unsigned char>(*p);
    const TokenStart start = kTokenStartTable.start[c];
    if (start == TokenStart::Atom) {
      while (p < end && kAtomTable.atom[static_cast<unsigned char>(*p)]) ++p;
    } else if (start == TokenStart::OneByte && c != stopAt) {
      ++p;
    } else {
      break;
    }
  }
  return p;
}

// No byte stops PassVerbatimTokens but those it never passes.
constexpr int kNoStopByte = -1;

Entry ScanEntry(const char* p, const char* end) {
  Entry entry;
  entry.begin = p;
  for (;;) {
    p = PassVerbatimTokens(p, end, entry.afterAngle ? kNoStopByte : '<');
    Token token;
    const char* const after = NextToken(p, end, token);
    if (!token.begin) {
      entry.stop = entry.next = end;
      return entry;
    }
    const int value = OneByteValue(token);
    if (value == ',' || value == ';') {
      entry.stop = token.begin;
      entry.next = after;
      entry.separator = static_cast<char>(value);
      return entry;
    }
    if (!entry.afterAngle && value == '<') entry.afterAngle = after;
    p = after;
  }
}

// The entry's address, as MatchAddressTokens joins it: the tokens inside
// <...> when there is a '<', else all of them. Built from the text, so the
// walk holds one address at a time and never a list of tokens; verbatim
// runs are copied whole.
std::string EntryAddress(const Entry& entry, const char* end) {
  std::string address;
  const bool angle = entry.afterAngle != nullptr;
  const char* p = angle ? entry.afterAngle : entry.begin;
  for (;;) {
    const char* const run = p;
    p = PassVerbatimTokens(p, entry.stop, angle ? '>' : kNoStopByte);
    address.append(run, p);
    Token token;
    const char* const after = NextToken(p, end, token);
    if (!token.begin || token.begin >= entry.stop) break;
    if (angle && OneByteValue(token) == '>') break;
    AppendTokenValue(token, address);
    p = after;
  }
  return address;
}

// Offers the entry's address; true when the consumer took it. Empty
// quoted strings join to nothing: that is no address either.
bool OfferEntry(const Entry& entry, const char* end, const AddressConsumer& consumer) {
  const std::string address = EntryAddress(entry, end);
  return !address.empty() && consumer(address);
}

using TokenIterator = std::vector<std::string>::const_iterator;

// A listed token is the one byte `c` (cheaper than comparing with a C string).
bool IsTokenText(const std::string& token, char c) { return token.size() == 1 && token[0] == c; }

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
  for (;;) {
    Token token;
    p = NextToken(p, end, token);
    if (!token.begin) return tokens;
    tokens.emplace_back();
    AppendTokenValue(token, tokens.back());
  }
}

bool MatchAddressTokens(TokenIterator begin, TokenIterator end, const AddressConsumer& consumer) {
  if (begin == end) return false;
  TokenIterator first = begin, last = end;
  for (TokenIterator it = begin; it != end; ++it) {
    if (IsTokenText(*it, '<')) {
      first = it + 1;
      last = first;
      while (last != end && !IsTokenText(*last, '>')) ++last;
      break;
    }
  }
  std::string address;
  for (TokenIterator it = first; it != last; ++it) address += *it;
  // Empty quoted strings join to nothing: that is no address either.
  if (address.empty()) return false;
  return consumer(address);
}

// The walk reads each entry twice from the text, once to find its bounds and
// once to join its address, so its memory is the one address it offers,
// whatever the header holds.
bool MatchHeaderAddresses(const std::string& headerLine, const AddressConsumer& consumer) {
  const char* const end = headerLine.data() + TextLength(headerLine);
  const void* colon =
      std::memchr(headerLine.data(), ':', static_cast<std::size_t>(end - headerLine.data()));
  if (!colon) return false;
  const char* p = static_cast<const char*>(colon) + 1;
  for (;;) {
    Token first, second;
    const char* const afterFirst = NextToken(p, end, first);
    if (!first.begin) return false;
    const char* const afterSecond = NextToken(afterFirst, end, second);
    if (second.begin && OneByteValue(second) == ':') {
      // A one-word group name: walk its members up to ';' or the end.
      p = afterSecond;
      for (;;) {
        const Entry member = ScanEntry(p, end);
        if (OfferEntry(member, end, consumer)) return true;
        if (!member.separator) return false;
        p = member.next;
        if (member.separator == ';') break;
      }
      continue;
    }
    const Entry entry = ScanEntry(p, end);
    if (OfferEntry(entry, end, consumer)) return true;
    if (!entry.separator) return false;
    p = entry.next;
  }
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
