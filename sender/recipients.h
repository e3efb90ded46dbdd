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

RecipientHeaders CollectRecipientHeaders(const std::string& source);
std::vector<std::string> TokenizeAddressList(const std::string& value);
bool MatchHeaderAddresses(const std::string& headerLine, const AddressConsumer& consumer);
bool MatchAddressTokens(std::vector<std::string>::const_iterator begin,
                        std::vector<std::string>::const_iterator end,
                        const AddressConsumer& consumer);
// The Delivered-To line after its 13-byte name, trimmed, not tokenized.
std::string DeliveredToAddress(const std::string& deliveredToLine);

// Bytes that may stand in an atom (printable ASCII less the specials).
bool IsAtomCharacter(unsigned char c);

}  // namespace fromsel
