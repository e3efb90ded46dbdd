// JSON Lines as `fromsel search --batch` reads and writes them: one object a
// line, whose strings carry bytes as the code points U+0000 to U+00FF.
#pragma once

#include <cstdint>
#include <string>

namespace fromsel::cli {

// Reads the values of one line from left to right. Each Read* returns false
// with a one-line reason when the text there is not what it reads.
class JsonReader {
 public:
  explicit JsonReader(const std::string& text) : text_(text) {}

  // Skips blanks, then takes `c` when it comes next.
  bool Expect(char c);
  // A string whose every code point is below U+0100, as bytes.
  bool ReadString(std::string& out, std::string& reason);
  // A decimal integer of at most 2^40 in magnitude (no fraction, no exponent).
  bool ReadInteger(std::int64_t& out, std::string& reason);
  // Nothing but blanks is left.
  bool AtEnd();

 private:
  void SkipBlanks();
  bool ReadCodePoint(std::uint32_t& cp, std::string& reason);
  bool ReadEscape(std::uint32_t& cp, std::string& reason);
  bool ReadHex4(std::uint32_t& value);

  const std::string& text_;
  std::size_t at_ = 0;
};

// A JSON string whose code points stand for the bytes; ASCII output only.
std::string JsonString(const std::string& bytes);

}  // namespace fromsel::cli
