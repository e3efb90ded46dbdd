// Helpers shared by the fuzz targets: a check that aborts with a message
// (so libFuzzer records the input) and the structural invariants every
// successfully compiled program must keep.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
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

// Where the instructions of a program's code begin, found by walking it with
// InstructionLength; the walk must end exactly at codeLength. The end itself
// counts as a boundary: running off the end matches.
class InstructionStarts {
 public:
  explicit InstructionStarts(const regex::RegexProgram& program)
      : program_(program), isStart_(static_cast<std::size_t>(program.codeLength) + 1, 0) {
    const std::uint8_t* end = program.code + program.codeLength;
    std::int32_t at = 0;
    while (at < program.codeLength) {
      const int length = regex::InstructionLength(program.code + at, end);
      FUZZ_CHECK(length > 0);
      isStart_[static_cast<std::size_t>(at)] = 1;
      at += length;
    }
    FUZZ_CHECK(at == program.codeLength);
    isStart_[static_cast<std::size_t>(program.codeLength)] = 1;
  }

  bool IsBoundary(std::int64_t position) const {
    return position >= 0 && position <= program_.codeLength &&
           isStart_[static_cast<std::size_t>(position)];
  }
  // An instruction with one of `ops` begins at `position`.
  bool StartsWith(std::int64_t position, std::initializer_list<int> ops) const {
    if (position >= program_.codeLength || !IsBoundary(position)) return false;
    for (int op : ops)
      if (program_.code[position] == op) return true;
    return false;
  }

 private:
  const regex::RegexProgram& program_;
  std::vector<std::uint8_t> isStart_;
};

// The record's sizes and arrays after a successful compilation.
inline void CheckProgramRecord(const regex::RegexProgram& program) {
  FUZZ_CHECK(program.code != nullptr);
  FUZZ_CHECK(program.codeLength >= 0);
  FUZZ_CHECK(program.codeLength < program.codeCapacity);
  FUZZ_CHECK(program.codeCapacity <= regex::MaxCodeCapacity);
  FUZZ_CHECK(program.registerCount >= 1 && program.registerCount <= regex::MaxRegisterCount);
  FUZZ_CHECK(program.fastmapValid == 0);
  FUZZ_CHECK(program.startSlots && program.endSlots && program.groupStates);
}

// The instruction at `at`: a known opcode, every jump and slot reference
// landing where the byte code says it lands, groups inside registerCount.
inline void CheckInstruction(const regex::RegexProgram& program, std::int32_t at,
                             const InstructionStarts& starts) {
  namespace re = regex;
  const std::uint8_t* code = program.code;
  const std::uint8_t op = code[at];
  // 0 and 11 come only from the matcher's rewrites, 37 never; 43 is the last.
  FUZZ_CHECK(op >= re::LiteralRun && op <= re::NotAtWordBoundary);
  FUZZ_CHECK(op != re::PopBacktrackAndGoto && op != re::UnusedOpcode37);
  switch (op) {
    case re::Goto:
    case re::AlternativeExit:
    case re::PushBacktrack:
    case re::GotoWithMarker:
    case re::LazySkip:
    case re::CountedRepeatStart:
      FUZZ_CHECK(starts.IsBoundary(TargetOf(code, at)));
      break;
    case re::GreedyLoopEnd:
    case re::LazyLoopEnd:
      FUZZ_CHECK(starts.StartsWith(TargetOf(code, at), {re::PushBacktrack}));
      break;
    case re::CountedLoopEnd:
    case re::LazyCountedLoopEnd:
      FUZZ_CHECK(starts.StartsWith(TargetOf(code, at), {re::CountedRepeatStart}));
      break;
    case re::SetCounter:
      // The target is the count field, three bytes into a counted instruction.
      FUZZ_CHECK(starts.StartsWith(TargetOf(code, at) - 3, {re::CountedRepeatStart,
                                                             re::CountedLoopEnd,
                                                             re::LazyCountedLoopEnd}));
      break;
    case re::AssertionStart:
      // The target is the slot operand, right after the end instruction's opcode.
      FUZZ_CHECK(
          starts.StartsWith(TargetOf(code, at) - 1, {re::LookAheadEnd, re::AtomicGroupEnd}));
      break;
    case re::CaptureStart:
    case re::CaptureEnd: {
      const int group = code[at + 1];
      const int span = code[at + 2];
      FUZZ_CHECK(group >= 1 && group < program.registerCount);
      FUZZ_CHECK(span >= 1 && group + span - 1 < program.registerCount);
      break;
    }
    case re::ByteSet:
    case re::NegatedByteSet:
      FUZZ_CHECK(code[at + 1] <= 32);
      break;
    default:
      break;
  }
}

// The search aids point at the right instructions and agree with the options.
inline void CheckSearchAids(const regex::RegexProgram& program, const InstructionStarts& starts) {
  namespace re = regex;
  if (program.requiredLiteral) {
    const std::int64_t lengthByte = program.requiredLiteral - program.code;
    FUZZ_CHECK(starts.StartsWith(lengthByte - 1, {re::LiteralRun}));
  }
  if (program.leadingSet)
    FUZZ_CHECK(starts.StartsWith(program.leadingSet - program.code,
                                 {re::ByteSet, re::NegatedByteSet}));
  if (program.options & re::StartsWithLiteral) FUZZ_CHECK(program.requiredLiteral != nullptr);
  if (program.options & re::NoSkipSearch) FUZZ_CHECK(program.skipTable == nullptr);
  if (program.skipTable) FUZZ_CHECK(program.requiredLiteral != nullptr);
}

// Checks what a program must satisfy after a successful compilation: sizes,
// instruction boundaries, every jump and slot reference landing where the
// byte code says it lands, group numbers inside registerCount, and the
// search aids pointing at the right instructions.
inline void CheckCompiledProgram(const regex::RegexProgram& program) {
  CheckProgramRecord(program);
  const InstructionStarts starts(program);
  const std::uint8_t* end = program.code + program.codeLength;
  for (std::int32_t at = 0; at < program.codeLength;
       at += regex::InstructionLength(program.code + at, end))
    CheckInstruction(program, at, starts);
  CheckSearchAids(program, starts);
}

}  // namespace fromsel::fuzz
