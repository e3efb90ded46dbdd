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
#include "sender/recipients_reference.h"

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
  Require(all == fromsel::ReferenceAddressWalk(line));
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
