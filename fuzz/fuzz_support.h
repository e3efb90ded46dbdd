// Helpers shared by the fuzz targets: a check that aborts with a message
// (so libFuzzer records the input) and the structural invariants every
// successfully compiled program must keep.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pattern/regex/compile.h"
#include "pattern/regex/program.h"

namespace fromsel::fuzz {

[[noreturn]] inline void Fail(const char* file, int line, const char* what) {
  std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what);
  std::abort();
}

#define FUZZ_CHECK(condition) \
  ((condition) ? (void)0 : ::fromsel::fuzz::Fail(__FILE__, __LINE__, #condition))

// The texts the compiler returns. A text that ends in a quote or colon is
// the fixed part of a message that goes on with a position or a name; the
// others must match whole.
inline constexpr const char* kCompileErrorTexts[] = {
    "memory exhausted",
    "regular expression too big",
    "premature end of regular expression",
    "unmatched (",
    "unmatched )",
    "undefined (?...) sequence",
    "undefined (?...) inline option",
    "invalid regular expression; there's no previous pattern, to which '",
    "nested *?+ in regexp",
    "invalid regular expression; '{' can't be last character",
    "too big quantifier in {,}",
    "can't do {n,m} with n > m",
    "invalid regular expression; '\\' can't be last character",
    "Invalid escape character syntax",
    // clang-format off
    "invalid regular expression; '[' can't be the last character ie. can't start range at the end of pattern",
    // clang-format on
    "invalid regular expression; empty character class",
    "invalid regular expression; can't use character class as a start value of range",
    "invalid regular expression; can't use character class as an end value of range",
    "invalid regular expression",
    "invalid regular expression; re can't end '[[:'",
    "invalid regular expression; [:",
    "invalid regular expression; range doesn't have ending ']' after a character class",
};

inline bool IsKnownCompileError(const char* text) {
  for (const char* known : kCompileErrorTexts) {
    const std::size_t length = std::strlen(known);
    const bool prefixOnly = known[length - 1] == '\'' || known[length - 1] == ':';
    if (prefixOnly ? std::strncmp(text, known, length) == 0 : std::strcmp(text, known) == 0)
      return true;
  }
  return false;
}

// The case table the plug-in installs at start; compiled programs fold
// through it, so every target installs it before the first compilation.
inline void InstallPlugInTables() {
  static const bool installed = [] {
    regex::InstallCaseTable();
    return true;
  }();
  (void)installed;
}

// The jump target of the instruction at `at` whose disp16 follows its opcode.
inline std::int64_t TargetOf(const std::uint8_t* code, std::int32_t at) {
  return static_cast<std::int64_t>(at) + 3 + regex::ReadDisp16(code + at + 1);
}

// Checks what a program must satisfy after a successful compilation: sizes,
// instruction boundaries, every jump and slot reference landing where the
// byte code says it lands, group numbers inside registerCount, and the
// search aids pointing at the right instructions.
inline void CheckCompiledProgram(const regex::RegexProgram& program) {
  using namespace regex;
  FUZZ_CHECK(program.code != nullptr);
  FUZZ_CHECK(program.codeLength >= 0);
  FUZZ_CHECK(program.codeLength < program.codeCapacity);
  FUZZ_CHECK(program.codeCapacity <= MaxCodeCapacity);
  FUZZ_CHECK(program.registerCount >= 1 && program.registerCount <= MaxRegisterCount);
  FUZZ_CHECK(program.fastmapValid == 0);
  FUZZ_CHECK(program.startSlots && program.endSlots && program.groupStates);

  const std::uint8_t* code = program.code;
  const std::uint8_t* end = code + program.codeLength;
  // Walk the instructions: each has a length, and the walk ends exactly at
  // codeLength.
  std::vector<std::uint8_t> isStart(static_cast<std::size_t>(program.codeLength) + 1, 0);
  std::int32_t at = 0;
  while (at < program.codeLength) {
    const int length = InstructionLength(code + at, end);
    FUZZ_CHECK(length > 0);
    isStart[static_cast<std::size_t>(at)] = 1;
    at += length;
  }
  FUZZ_CHECK(at == program.codeLength);
  isStart[static_cast<std::size_t>(program.codeLength)] = 1;  // running off the end matches

  auto startWithOp = [&](std::int64_t position, std::initializer_list<int> ops) {
    if (position < 0 || position >= program.codeLength || !isStart[static_cast<std::size_t>(position)])
      return false;
    for (int op : ops)
      if (code[position] == op) return true;
    return false;
  };
  auto isBoundary = [&](std::int64_t position) {
    return position >= 0 && position <= program.codeLength && isStart[static_cast<std::size_t>(position)];
  };

  for (at = 0; at < program.codeLength; at += InstructionLength(code + at, end)) {
    const std::uint8_t op = code[at];
    // 0 and 11 come only from the matcher's rewrites, 37 never; 43 is the last.
    FUZZ_CHECK(op >= LiteralRun && op <= NotAtWordBoundary);
    FUZZ_CHECK(op != PopBacktrackAndGoto && op != UnusedOpcode37);
    switch (op) {
      case Goto:
      case AlternativeExit:
      case PushBacktrack:
      case GotoWithMarker:
      case LazySkip:
      case CountedRepeatStart:
        FUZZ_CHECK(isBoundary(TargetOf(code, at)));
        break;
      case GreedyLoopEnd:
      case LazyLoopEnd:
        FUZZ_CHECK(startWithOp(TargetOf(code, at), {PushBacktrack}));
        break;
      case CountedLoopEnd:
      case LazyCountedLoopEnd:
        FUZZ_CHECK(startWithOp(TargetOf(code, at), {CountedRepeatStart}));
        break;
      case SetCounter:
        // The target is the count field, three bytes into a counted instruction.
        FUZZ_CHECK(startWithOp(TargetOf(code, at) - 3,
                               {CountedRepeatStart, CountedLoopEnd, LazyCountedLoopEnd}));
        break;
      case AssertionStart:
        // The target is the slot operand, right after the end instruction's opcode.
        FUZZ_CHECK(startWithOp(TargetOf(code, at) - 1, {LookAheadEnd, AtomicGroupEnd}));
        break;
      case CaptureStart:
      case CaptureEnd: {
        const int group = code[at + 1];
        const int span = code[at + 2];
        FUZZ_CHECK(group >= 1 && group < program.registerCount);
        FUZZ_CHECK(span >= 1 && group + span - 1 < program.registerCount);
        break;
      }
      case ByteSet:
      case NegatedByteSet:
        FUZZ_CHECK(code[at + 1] <= 32);
        break;
      default:
        break;
    }
  }

  if (program.requiredLiteral) {
    const std::int64_t lengthByte = program.requiredLiteral - code;
    FUZZ_CHECK(startWithOp(lengthByte - 1, {LiteralRun}));
  }
  if (program.leadingSet)
    FUZZ_CHECK(startWithOp(program.leadingSet - code, {ByteSet, NegatedByteSet}));
  if (program.options & StartsWithLiteral) FUZZ_CHECK(program.requiredLiteral != nullptr);
  if (program.options & NoSkipSearch) FUZZ_CHECK(program.skipTable == nullptr);
  if (program.skipTable) FUZZ_CHECK(program.requiredLiteral != nullptr);
}

}  // namespace fromsel::fuzz
