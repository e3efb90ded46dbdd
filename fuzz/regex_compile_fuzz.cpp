// libFuzzer target for the regex compiler. Input: one option byte, one
// allocation-failure byte, then the pattern. Every compilation must either
// fail with one of the compiler's texts or leave a well-formed program.
//
// Build by hand:
//   clang++ -std=c++17 -g -O1 -fsanitize=fuzzer,address,undefined -I. \
//     fuzz/regex_compile_fuzz.cpp pattern/regex/program.cpp pattern/regex/compile.cpp

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "pattern/regex/compile.h"
#include "pattern/regex/program.h"

using namespace fromsel::regex;

namespace {

// Allocations still allowed while the gate is armed.
int allocationsLeft = -1;

bool Gate(std::size_t) { return allocationsLeft < 0 || allocationsLeft-- > 0; }

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
  }
}


bool IsJump(std::uint8_t op) {
  return (op >= Goto && op <= GotoWithMarker) || (op >= CountedRepeatStart && op <= LazyCountedLoopEnd);
}

void CheckProgram(const RegexProgram& program) {
  Check(program.codeLength >= 0 && program.codeLength < program.codeCapacity, "codeLength");
  Check(program.codeCapacity <= MaxCodeCapacity, "codeCapacity");
  Check(program.registerCount >= 1 && program.registerCount <= MaxRegisterCount, "registerCount");
  Check(program.startSlots && program.endSlots && program.groupStates,
        "work arrays");
  const std::uint8_t* code = program.code;
  const std::uint8_t* end = code + program.codeLength;
  std::vector<bool> starts(static_cast<std::size_t>(program.codeLength) + 1, false);
  const std::uint8_t* at = code;
  while (at < end) {
    starts[static_cast<std::size_t>(at - code)] = true;
    const int length = InstructionLength(at, end);
    Check(length > 0, "instruction cut off");
    Check(*at != NoOperation && *at != PopBacktrackAndGoto && *at != UnusedOpcode37 &&
              *at <= NotAtWordBoundary,
          "opcode the compiler never writes");
    at += length;
  }
  Check(at == end, "instruction walk ends on codeLength");
  starts[static_cast<std::size_t>(program.codeLength)] = true;
  for (at = code; at < end; at += InstructionLength(at, end)) {
    if (!IsJump(*at) && *at != SetCounter && *at != AssertionStart) continue;
    const long target = JumpTarget(at + 1) - code;
    Check(target >= 0 && target <= program.codeLength, "jump target inside the code");
    if (IsJump(*at)) Check(starts[static_cast<std::size_t>(target)], "jump to an instruction");
    if (*at == SetCounter) {
      Check(target >= 3 && starts[static_cast<std::size_t>(target - 3)], "counter field");
      const std::uint8_t op = code[target - 3];
      Check(op == CountedRepeatStart || op == CountedLoopEnd || op == LazyCountedLoopEnd,
            "counter of a counted instruction");
    }
    if (*at == AssertionStart) {
      Check(target >= 1 && starts[static_cast<std::size_t>(target - 1)], "assertion slot");
      const std::uint8_t op = code[target - 1];
      Check(op == LookAheadEnd || op == AtomicGroupEnd, "slot of a look-ahead or atomic end");
    }
  }
  if (program.requiredLiteral != nullptr) {
    const long offset = program.requiredLiteral - code;
    Check(offset >= 1 && offset < program.codeLength, "requiredLiteral inside the code");
    Check(starts[static_cast<std::size_t>(offset - 1)] && code[offset - 1] == LiteralRun,
          "requiredLiteral is a run");
    Check((program.skipTable != nullptr) != ((program.options & NoSkipSearch) != 0),
          "skip table unless NoSkipSearch");
  } else {
    Check(program.skipTable == nullptr, "no skip table without a literal");
  }
  if (program.leadingSet != nullptr) {
    const long offset = program.leadingSet - code;
    Check(offset >= 0 && offset < program.codeLength && starts[static_cast<std::size_t>(offset)],
          "leadingSet inside the code");
    Check(code[offset] == ByteSet || code[offset] == NegatedByteSet, "leadingSet is a set");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  InstallCaseTable();
  // Bits 0x1..0x20 are the caller's options; 0x80 arms the allocation gate.
  const std::uint32_t options = data[0] & 0x3F;
  allocationsLeft = (data[0] & 0x80) ? data[1] % 32 : -1;
  SetAllocationGateForTesting(Gate);
  // The pattern in a buffer of exactly its size, so overreads are caught.
  std::vector<char> pattern(data + 2, data + size);
  const RegexProgramOwner program(options);
  if (!program) return 0;
  const char* error = CompileRegex(pattern.data(), pattern.size(), *program);
  if (error != nullptr) {
    Check(fromsel::fuzz::IsKnownCompileError(error), "error text from the table");
    Check(program->startSlots == nullptr && program->skipTable == nullptr, "nothing after failure");
  } else {
    CheckProgram(*program);
  }
  SetAllocationGateForTesting(nullptr);
  return 0;
}
