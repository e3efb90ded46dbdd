// Finding the recipient header lines of a raw message and walking their
// addresses one by one.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace fromsel {

struct RecipientHeaders {
  std::string to;           // the first To line, whole (name, colon, folds)
  std::string cc;           // the first Cc line
  std::string deliveredTo;  // the first Delivered-To line
};

// Takes a candidate address; true stops the walk.
using AddressConsumer = std::function<bool(const std::string& address)>;

// The first To, Cc and Delivered-To lines of the message's header, each
// whole with its folds; the header ends at an empty line, the text at
// its first NUL.
RecipientHeaders CollectRecipientHeaders(const std::string& source);

// The tokens of an address list value: atoms, quoted strings (unquoted),
// specials; comments, blanks, control and 8-bit bytes dropped.
std::vector<std::string> TokenizeAddressList(const std::string& value);

// The address walk. It matches nothing itself: it walks the addresses of
// one header line (name, colon, value) in order, a one-word group's
// members included, and offers each to `consumer`. True as soon as the
// consumer takes one (the walk stops there), false when none was taken.
bool MatchHeaderAddresses(const std::string& headerLine, const AddressConsumer& consumer);

// Offers the address of one list entry's tokens to `consumer`: the tokens
// inside <...> when there are angle brackets, else all of them, joined.
// The consumer's answer, or false when the entry holds no address.
bool MatchAddressTokens(std::vector<std::string>::const_iterator begin,
                        std::vector<std::string>::const_iterator end,
                        const AddressConsumer& consumer);

// The Delivered-To line after its 13-byte name, trimmed, not tokenized.
std::string DeliveredToAddress(const std::string& deliveredToLine);

// Bytes that may stand in an atom (printable ASCII less the specials).
bool IsAtomCharacter(unsigned char c);

}  // namespace fromsel
