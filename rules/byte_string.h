// Byte-string helpers shared by the rule store, sender selection and the UI.
#pragma once

#include <cstdint>
#include <string>

namespace fromsel {

// Lower-cases the whole string in place with the platform's ANSI rules.
void ToLowerAnsi(std::string& text);

// Removes every leading and trailing byte from 0x01 to 0x20 (unsigned).
void TrimBlanks(std::string& text);

// Value of the decimal digits at the very start, 32-bit, wrapping; 0 if none.
std::uint32_t ParseLeadingDecimal(const std::string& text);

// Returns the text before the first `separator` and leaves only what follows
// it in `text`; without the separator returns all and leaves `text` empty.
std::string SplitAtFirst(std::string& text, char separator);

// The UTF-8 byte-order mark that Notepad and other editors put at the
// start of a file they save; never content of a settings file or message.
inline constexpr char Utf8ByteOrderMark[] = "\xEF\xBB\xBF";

// True when `text` starts with Utf8ByteOrderMark.
bool StartsWithByteOrderMark(const std::string& text);

// The text without a byte-order mark at its start.
std::string WithoutByteOrderMark(const std::string& text);

}  // namespace fromsel
