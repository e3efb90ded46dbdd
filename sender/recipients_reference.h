// For tests and the recipients fuzz target only: the address walk as first
// written, over the whole token list of a header line's value at once. The
// walk of recipients.cpp reads tokens as it goes and must offer the same.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "sender/recipients.h"

namespace fromsel {

// The addresses the walk offers, stopping once `stopAfter` have been
// offered (0: all of them).
inline std::vector<std::string> ReferenceAddressWalk(const std::string& headerLine,
                                                     std::size_t stopAfter = 0) {
  std::vector<std::string> offered;
  const std::string line = headerLine.substr(0, std::strlen(headerLine.c_str()));
  const std::size_t colon = line.find(':');
  if (colon == std::string::npos) return offered;
  const std::vector<std::string> t = TokenizeAddressList(line.substr(colon + 1));
  auto is = [&](std::size_t k, char c) { return t[k].size() == 1 && t[k][0] == c; };
  auto separatorFrom = [&](std::size_t k) {
    while (k < t.size() && !is(k, ',') && !is(k, ';')) ++k;
    return k;
  };
  // True when the walk stops.
  auto offer = [&](std::size_t begin, std::size_t end) {
    return MatchAddressTokens(t.begin() + static_cast<std::ptrdiff_t>(begin),
                              t.begin() + static_cast<std::ptrdiff_t>(end),
                              [&](const std::string& address) {
                                offered.push_back(address);
                                return offered.size() == stopAfter;
                              });
  };
  std::size_t i = 0;
  while (i < t.size()) {
    if (i + 1 < t.size() && is(i + 1, ':')) {
      i += 2;
      for (;;) {
        const std::size_t stop = separatorFrom(i);
        if (offer(i, stop) || stop == t.size()) return offered;
        i = stop + 1;
        if (is(stop, ';')) break;
        if (i == t.size()) return offered;
      }
      continue;
    }
    const std::size_t stop = separatorFrom(i);
    if (offer(i, stop) || stop == t.size()) break;
    i = stop + 1;
  }
  return offered;
}

}  // namespace fromsel
