// Recipient extraction over arbitrary bytes: header collection, the address
// walk and the Delivered-To value must stay inside the text, finish, and
// offer only sane candidates; the walk, which reads tokens as it goes,
// offers what a walk over the whole token list offers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sender/recipients.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

// Printable ASCII, and DEL, which the tokenizer passes on as a token of its own.
bool IsTokenByte(unsigned char c) { return c >= 0x21 && c <= 0x7F; }

// Only quoted content and backslash escapes can bring other bytes into a
// candidate, and only bytes the line holds.
void CheckCandidate(const std::string& line, const std::string& address) {
  Require(!address.empty());
  Require(address.size() <= line.size());
  Require(std::memchr(address.data(), '\0', address.size()) == nullptr);
  const bool mayCarryAnyByte = line.find('"') != std::string::npos || line.find('\\') != std::string::npos;
  for (unsigned char c : address) {
    if (IsTokenByte(c)) continue;
    Require(mayCarryAnyByte);
    Require(line.find(static_cast<char>(c)) != std::string::npos);
  }
}

using Tokens = std::vector<std::string>;

bool IsOneByte(const std::string& token, char c) { return token.size() == 1 && token[0] == c; }

std::size_t SeparatorFrom(const Tokens& t, std::size_t i) {
  while (i < t.size() && !IsOneByte(t[i], ',') && !IsOneByte(t[i], ';')) ++i;
  return i;
}

// The walk over the whole token list of the line's value.
std::vector<std::string> ReferenceWalk(const std::string& line) {
  std::vector<std::string> offered;
  const std::string text = line.substr(0, std::strlen(line.c_str()));
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos) return offered;
  const Tokens t = fromsel::TokenizeAddressList(text.substr(colon + 1));
  auto offer = [&](std::size_t begin, std::size_t end) {
    fromsel::MatchAddressTokens(t.begin() + static_cast<std::ptrdiff_t>(begin),
                                t.begin() + static_cast<std::ptrdiff_t>(end),
                                [&](const std::string& address) {
                                  offered.push_back(address);
                                  return false;
                                });
  };
  std::size_t i = 0;
  while (i < t.size()) {
    if (i + 1 < t.size() && IsOneByte(t[i + 1], ':')) {
      i += 2;
      for (;;) {
        const std::size_t stop = SeparatorFrom(t, i);
        offer(i, stop);
        if (stop == t.size()) return offered;
        i = stop + 1;
        if (IsOneByte(t[stop], ';')) break;
        if (i == t.size()) return offered;
      }
      continue;
    }
    const std::size_t stop = SeparatorFrom(t, i);
    offer(i, stop);
    if (stop == t.size()) break;
    i = stop + 1;
  }
  return offered;
}

// The walk offers the same candidates in the same order however early the
// consumer stops it.
void CheckLine(const std::string& line, std::size_t stopAt) {
  if (line.empty()) return;
  std::vector<std::string> all;
  const bool acceptedAny = fromsel::MatchHeaderAddresses(line, [&](const std::string& address) {
    CheckCandidate(line, address);
    all.push_back(address);
    return false;
  });
  Require(!acceptedAny);
  Require(all == ReferenceWalk(line));
  std::vector<std::string> prefix;
  const bool accepted = fromsel::MatchHeaderAddresses(line, [&](const std::string& address) {
    prefix.push_back(address);
    return prefix.size() == stopAt + 1;
  });
  Require(accepted == (stopAt < all.size()));
  Require(prefix.size() == (accepted ? stopAt + 1 : all.size()));
  for (std::size_t i = 0; i < prefix.size(); ++i) Require(prefix[i] == all[i]);
}

bool StartsWithName(const std::string& line, const char* name) {
  const std::size_t n = std::strlen(name);
  if (line.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != name[i]) return false;
  }
  return true;
}

void CheckStored(const std::string& source, const std::string& line, const char* name) {
  if (line.empty()) return;
  Require(StartsWithName(line, name));
  const std::string text = source.substr(0, std::strlen(source.c_str()));
  Require(text.find(line) != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses where the second walk stops.
  const std::size_t stopAt = data[0] % 8;
  const std::string source(reinterpret_cast<const char*>(data) + 1, size - 1);
  const fromsel::RecipientHeaders headers = fromsel::CollectRecipientHeaders(source);
  CheckStored(source, headers.to, "to:");
  CheckStored(source, headers.cc, "cc:");
  CheckStored(source, headers.deliveredTo, "delivered-to:");
  CheckLine(headers.to, stopAt);
  CheckLine(headers.cc, stopAt);
  // A whole source taken as one line exercises the tokenizer beyond headers.
  CheckLine(source, stopAt);
  const std::string deliveredTo = fromsel::DeliveredToAddress(headers.deliveredTo);
  if (!deliveredTo.empty()) {
    Require(static_cast<unsigned char>(deliveredTo.front()) > 0x20);
    Require(static_cast<unsigned char>(deliveredTo.back()) > 0x20);
  }
  return 0;
}
