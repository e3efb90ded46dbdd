// Random words for generated test and benchmark data: the same seed gives
// the same words on every run.
#pragma once

#include <random>
#include <string>

namespace fromsel::testing {

// Letters and digits of an address's local part or host name.
inline constexpr const char* LowerCaseAndDigits = "abcdefghijklmnopqrstuvwxyz0123456789";

// A word of `minSize` to `maxSize` bytes, each drawn from `alphabet`.
inline std::string RandomWord(std::mt19937& random, int minSize, int maxSize,
                              const std::string& alphabet = LowerCaseAndDigits) {
  std::uniform_int_distribution<int> size(minSize, maxSize);
  std::uniform_int_distribution<int> pick(0, static_cast<int>(alphabet.size()) - 1);
  std::string word;
  for (int n = size(random); n > 0; --n) word.push_back(alphabet[pick(random)]);
  return word;
}

}  // namespace fromsel::testing
