// The one-pass compiler from pattern text to byte code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pattern/regex/program.h"

namespace fromsel::regex {

// Compiles `length` bytes of `pattern` into `program` (whose options, code
// and codeCapacity the caller set). Returns null on success, otherwise the
// error text, which stays valid until the next compilation.
const char* CompileRegex(const char* pattern, std::size_t length, RegexProgram& program);

// Helpers of the compiler, exposed for tests.
struct ScanResult {
  std::uint32_t value = 0;
  int digits = 0;
};
ScanResult ScanOctal(const char* text, const char* end, int maxDigits);
ScanResult ScanHex(const char* text, const char* end, int maxDigits);
std::uint8_t EscapeLetterValue(std::uint8_t letter);

// Test hook: while a gate is set, every allocation the compiler makes (code
// buffer growth, group stack, skip table, work arrays) asks it first, and a
// false answer makes that allocation fail. Null restores normal allocation.
using AllocationGate = bool (*)(std::size_t bytes);
void SetAllocationGateForTesting(AllocationGate gate);

}  // namespace fromsel::regex
