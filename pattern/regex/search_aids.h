// The search aids: what lets SearchRegex rule out start positions without
// running the matcher. CompileRegex derives the code-side aids after its
// pass (the required literal and its skip table, the leading set, the option
// bits StartsWithDotRepeat, StartsWithLiteral and NoSkipSearch); the first
// SearchRegex has CompileFastmap work out the fastmap and canMatchEmpty.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pattern/regex/program.h"

namespace fromsel::regex {

// How BuildSearchAids gets memory (the compiler passes its gated malloc).
using AidAllocator = void* (*)(std::size_t bytes);

// Sets the code-side aids of a compiled program (codeLength and options
// set, no aid yet). False when the skip table's memory cannot be had.
bool BuildSearchAids(RegexProgram& program, AidAllocator allocate);

// Walks the code that every match passes through, jumping over optional and
// counted bodies and over alternatives, and returns the length byte of the
// longest LiteralRun met (the first of equal lengths), or null.
const std::uint8_t* FindRequiredLiteral(const std::uint8_t* code, const std::uint8_t* end);

// Fills the 256 skip distances of a literal of `length` bytes, folding
// through the CaseTable when asked.
void BuildSkipTable(const std::uint8_t* literal, int length, bool fold, std::int32_t* skipTable);

// Fills the fastmap and sets fastmapValid and canMatchEmpty.
void CompileFastmap(RegexProgram& program);

}  // namespace fromsel::regex
