// Creation and release of RegexProgram records, the shared case and word
// tables, and the byte-code layout facts (names, instruction lengths).

#include "pattern/regex/program.h"

#include "pattern/regex/automaton.h"

#include <cstdlib>
#include <cstring>

namespace fromsel::regex {

namespace case_table_detail {
const std::uint8_t* installed = nullptr;
}  // namespace case_table_detail

namespace {

// Entries of every byte-indexed table.
constexpr int ByteValues = 256;

std::uint8_t caseTableStorage[ByteValues];

std::uint8_t wordTableStorage[ByteValues];
bool wordTableBuilt = false;

void FreeAndClear(std::int32_t*& array) {
  std::free(array);
  array = nullptr;
}

// Opcode names, indexed by opcode value.
constexpr const char* opcodeNames[] = {
    "NoOperation",          "LiteralRun",
    "AtLineStart",          "AtLineEnd",
    "AtTextStart",          "AtTextEnd",
    "AtTextEndOrFinalNewline", "AtSearchStart",
    "Goto",                 "AlternativeExit",
    "PushBacktrack",        "PopBacktrackAndGoto",
    "GreedyLoopEnd",        "GotoWithMarker",
    "PushMarker",           "CountedRepeatStart",
    "CountedLoopEnd",       "LazySkip",
    "LazyLoopEnd",          "LazyCountedLoopEnd",
    "SetCounter",           "Dot",
    "DotRepeat",            "ByteSet",
    "NegatedByteSet",       "CaptureStart",
    "CaptureEnd",           "PlainGroupStart",
    "PlainGroupEnd",        "IgnoreCaseOn",
    "IgnoreCaseOff",        "SetRunOptions",
    "AssertionStart",       "LookAheadEnd",
    "NegativeLookAheadFail", "AtomicGroupEnd",
    "BackReference",        "UnusedOpcode37",
    "WordByte",             "NonWordByte",
    "AtWordStart",          "AtWordEnd",
    "AtWordBoundary",       "NotAtWordBoundary",
};
constexpr int opcodeCount = sizeof(opcodeNames) / sizeof(opcodeNames[0]);
static_assert(opcodeCount == NotAtWordBoundary + 1, "one name per opcode");

// Fixed lengths (opcode byte included) of every opcode but the two
// variable-length ones (LiteralRun, ByteSet/NegatedByteSet).
int FixedLength(std::uint8_t op) {
  switch (op) {
    case Goto: case AlternativeExit: case PushBacktrack: case PopBacktrackAndGoto:
    case GreedyLoopEnd: case GotoWithMarker: case LazySkip: case LazyLoopEnd:
    case AssertionStart:
      return JumpWidth;
    case CaptureStart: case CaptureEnd:
      return CaptureWidth;
    case LookAheadEnd: case AtomicGroupEnd:
      return SlotWidth;
    case CountedRepeatStart: case CountedLoopEnd: case LazyCountedLoopEnd: case SetCounter:
      return CountedWidth;
    case SetRunOptions: case BackReference:
      return ByteOperandWidth;
    default:
      return OpcodeWidth;  // operand-less opcodes, op 0, op 37 and unknown values
  }
}

}  // namespace

RegexProgram* CreateRegexProgram(std::uint32_t options) {
  auto* program = static_cast<RegexProgram*>(std::calloc(1, sizeof(RegexProgram)));
  if (program == nullptr) return nullptr;
  program->code = static_cast<std::uint8_t*>(std::malloc(InitialCodeCapacity));
  program->fastmap = static_cast<std::uint8_t*>(std::malloc(ByteValues));
  if (program->code == nullptr || program->fastmap == nullptr) {
    ReleaseRegexProgram(program);
    return nullptr;
  }
  program->codeCapacity = InitialCodeCapacity;
  program->options = options;
  return program;
}

void ReleaseWorkArrays(RegexProgram& program) {
  FreeAndClear(program.startSlots);
  FreeAndClear(program.endSlots);
  FreeAndClear(program.groupStates);
}

void ForgetAutomaton(RegexProgram& program) {
  ReleaseAutomaton(program.automaton);
  program.automaton = nullptr;
  program.automatonTried = 0;
}

void ReleaseRegexProgram(RegexProgram* program) {
  if (program == nullptr) return;
  ForgetAutomaton(*program);
  std::free(program->code);
  std::free(program->fastmap);
  std::free(program->skipTable);
  ReleaseWorkArrays(*program);
  std::free(program);
}

void InstallCaseTable() {
  for (int c = 0; c < ByteValues; ++c) {
    caseTableStorage[c] = static_cast<std::uint8_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  case_table_detail::installed = caseTableStorage;
}

void RemoveCaseTableForTesting() { case_table_detail::installed = nullptr; }

const std::uint8_t* WordTable() {
  if (!wordTableBuilt) {
    for (int c = 0; c < ByteValues; ++c) {
      const bool word = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                        (c >= 'a' && c <= 'z') || c == '_';
      wordTableStorage[c] = word ? 1 : 0;
    }
    wordTableBuilt = true;
  }
  return wordTableStorage;
}

const char* OpcodeName(std::uint8_t op) {
  if (op < opcodeCount) return opcodeNames[op];
  // Out-of-set values get "op N"; one static text per value keeps the
  // returned pointer valid for the life of the process.
  static char unknownNames[ByteValues][8];
  char* name = unknownNames[op];
  if (name[0] == '\0') {
    std::memcpy(name, "op ", 3);
    int at = 3;
    if (op >= 100) name[at++] = static_cast<char>('0' + op / 100);
    name[at++] = static_cast<char>('0' + op / 10 % 10);
    name[at++] = static_cast<char>('0' + op % 10);
    name[at] = '\0';
  }
  return name;
}

int InstructionLength(const std::uint8_t* at, const std::uint8_t* end) {
  if (at >= end) return 0;
  const std::ptrdiff_t available = end - at;
  std::ptrdiff_t length = 0;
  switch (at[0]) {
    case LiteralRun:
      if (available < RunHeaderWidth) return 0;
      length = RunHeaderWidth + static_cast<std::ptrdiff_t>(at[1]);
      break;
    case ByteSet:
    case NegatedByteSet: {
      if (available < SetHeaderWidth) return 0;
      const std::ptrdiff_t countAt = SetHeaderWidth + static_cast<std::ptrdiff_t>(at[1]);
      if (available < countAt + SetCountWidth) return 0;
      length = countAt + SetCountWidth +
               SetRangeWidth * static_cast<std::ptrdiff_t>(ReadU16(at + countAt));
      break;
    }
    default:
      length = FixedLength(at[0]);
      break;
  }
  return length <= available ? static_cast<int>(length) : 0;
}

}  // namespace fromsel::regex
