// The compiled form of a regular expression: byte code, search aids, option
// word and the matcher's work arrays, plus the two process-wide tables that
// the compiler, the matcher and the searcher share, and the instruction
// widths and operand readers every stage uses.
//
// Byte-code operands are little-endian; a disp16 jump target is the
// position of the byte after the displacement field plus the displacement.
#pragma once

#include <cstdint>

namespace fromsel::regex {

// Option word. The caller gives 0x1..0x20; the compiler adds 0x40..0x100.
enum RegexOption : std::uint32_t {
  IgnoreCase = 0x1,
  FreeSpacing = 0x2,
  DotMatchesNewline = 0x4,
  SingleLine = 0x8,
  // Asks for the longest match at a position. Never set by this program's
  // callers, and ignored: the matcher always returns the first match found.
  LongestMatch = 0x10,
  FoldForSearch = 0x20,
  StartsWithDotRepeat = 0x40,
  StartsWithLiteral = 0x80,
  NoSkipSearch = 0x100,
};

// Whether a program can match the empty string: worked out by
// CompileFastmap together with the fastmap.
enum class EmptyMatch : std::uint8_t {
  Never = 0,
  Possible = 1,
  // Possible, but only at the end of the range or before a byte in the fastmap.
  OnlyBeforeFastmapByte = 2,
};

enum Opcode : std::uint8_t {
  NoOperation = 0,              // made by the matcher's rewrite of PushMarker
  LiteralRun = 1,               // len u8, len bytes (0xFF escapes the next byte)
  AtLineStart = 2,
  AtLineEnd = 3,
  AtTextStart = 4,
  AtTextEnd = 5,
  AtTextEndOrFinalNewline = 6,
  AtSearchStart = 7,
  Goto = 8,                     // disp16
  AlternativeExit = 9,          // disp16
  PushBacktrack = 10,           // disp16
  PopBacktrackAndGoto = 11,     // disp16
  GreedyLoopEnd = 12,           // disp16
  GotoWithMarker = 13,          // disp16
  PushMarker = 14,
  CountedRepeatStart = 15,      // disp16, count u16
  CountedLoopEnd = 16,          // disp16, count u16
  LazySkip = 17,                // disp16
  LazyLoopEnd = 18,             // disp16
  LazyCountedLoopEnd = 19,      // disp16, count u16
  SetCounter = 20,              // disp16, value u16
  Dot = 21,
  DotRepeat = 22,
  ByteSet = 23,                 // L u8, L bitmap bytes, count u16, count*8 bytes
  NegatedByteSet = 24,          // as ByteSet
  CaptureStart = 25,            // group u8, span u8
  CaptureEnd = 26,              // group u8, span u8
  PlainGroupStart = 27,
  PlainGroupEnd = 28,
  IgnoreCaseOn = 29,
  IgnoreCaseOff = 30,
  SetRunOptions = 31,           // options u8
  AssertionStart = 32,          // disp16 to the slot of the matching end
  LookAheadEnd = 33,            // slot u16
  NegativeLookAheadFail = 34,
  AtomicGroupEnd = 35,          // slot u16
  BackReference = 36,           // group u8
  UnusedOpcode37 = 37,          // never produced; passed over
  WordByte = 38,
  NonWordByte = 39,
  AtWordStart = 40,
  AtWordEnd = 41,
  AtWordBoundary = 42,
  NotAtWordBoundary = 43,
};

// Instruction widths in bytes, opcode included.
inline constexpr int OpcodeWidth = 1;       // operand-less instructions
inline constexpr int ByteOperandWidth = 2;  // SetRunOptions, BackReference: opcode, u8
inline constexpr int JumpWidth = 3;         // opcode, disp16
inline constexpr int CaptureWidth = 3;      // CaptureStart/End: opcode, group u8, span u8
inline constexpr int SlotWidth = 3;         // LookAheadEnd, AtomicGroupEnd: opcode, slot u16
inline constexpr int CountedWidth = 5;      // opcode, disp16, count or value u16
// The variable-width ones: a header, then what it counts.
inline constexpr int RunHeaderWidth = 2;  // LiteralRun: opcode, len u8; len bytes follow
inline constexpr int SetHeaderWidth = 2;  // ByteSet: opcode, L u8; L bitmap bytes follow
inline constexpr int SetCountWidth = 2;   // after the bitmap: the range count u16
inline constexpr int SetRangeWidth = 8;   // each range after the count
// Operand positions, counted from the opcode byte.
inline constexpr int DisplacementAt = 1;  // the disp16 of a jump or counted instruction
inline constexpr int CountAt = 3;         // the count or value u16 of a counted instruction
inline constexpr int GroupAt = 1;         // the group u8 of CaptureStart/End, BackReference
inline constexpr int SlotAt = 1;          // the slot u16 of LookAheadEnd, AtomicGroupEnd

// Escape byte inside a LiteralRun: the next byte is compared exactly.
inline constexpr std::uint8_t LiteralEscape = 0xFF;
// The code buffer never grows beyond this many bytes.
inline constexpr std::int32_t MaxCodeCapacity = 65536;
// Capturing groups + 1 never exceeds this.
inline constexpr std::int32_t MaxRegisterCount = 254;
// Code capacity given by the owner when it creates a program.
inline constexpr std::int32_t InitialCodeCapacity = 16;

struct Automaton;  // automaton.h

struct RegexProgram {
  std::uint8_t* code = nullptr;
  std::int32_t codeCapacity = 0;
  std::int32_t codeLength = 0;
  std::uint8_t* fastmap = nullptr;           // 256 flags
  std::uint8_t* requiredLiteral = nullptr;   // length byte of a LiteralRun in code
  std::int32_t* skipTable = nullptr;         // 256 entries
  std::uint8_t* leadingSet = nullptr;        // ByteSet/NegatedByteSet opcode in code
  std::uint32_t options = 0;
  std::int32_t registerCount = 0;
  std::uint8_t fastmapValid = 0;
  EmptyMatch canMatchEmpty = EmptyMatch::Never;
  // The matcher's per-register work arrays, registerCount entries each: a
  // group's start and end (-1 while unset) and its open flag. (No saved or
  // best copies: the backtrack stack saves registers, and no longest-match
  // search keeps a best one.)
  std::int32_t* startSlots = nullptr;
  std::int32_t* endSlots = nullptr;
  std::int32_t* groupStates = nullptr;
  // The program's automaton (automaton.h), made by the first search that
  // needs it; automatonTried is set once it was attempted, so a program
  // without one is not read again.
  Automaton* automaton = nullptr;
  std::uint8_t automatonTried = 0;
};

// A new record: 16-byte code buffer, 256-byte fastmap, the given options.
// Null when memory cannot be had.
RegexProgram* CreateRegexProgram(std::uint32_t options);

// Frees every buffer the record owns and the record itself. Null is fine.
void ReleaseRegexProgram(RegexProgram* program);

// Frees and clears the three work arrays.
void ReleaseWorkArrays(RegexProgram& program);

// Frees the program's automaton and lets the next search make it again.
void ForgetAutomaton(RegexProgram& program);

// The one owner of a RegexProgram: created with the caller's options,
// released when the owner goes. get() is null when memory could not be had.
class RegexProgramOwner {
 public:
  explicit RegexProgramOwner(std::uint32_t options) : program_(CreateRegexProgram(options)) {}
  ~RegexProgramOwner() { ReleaseRegexProgram(program_); }
  RegexProgramOwner(const RegexProgramOwner&) = delete;
  RegexProgramOwner& operator=(const RegexProgramOwner&) = delete;

  RegexProgram* get() const { return program_; }
  explicit operator bool() const { return program_ != nullptr; }
  RegexProgram& operator*() const { return *program_; }
  RegexProgram* operator->() const { return program_; }

 private:
  RegexProgram* program_;
};

namespace case_table_detail {
extern const std::uint8_t* installed;
}  // namespace case_table_detail

// ASCII case folding, installed at plug-in start. Null until installed, and
// then nothing is folded. Inline: every search and match asks for it.
inline const std::uint8_t* CaseTable() { return case_table_detail::installed; }
void InstallCaseTable();
void RemoveCaseTableForTesting();

// Word characters: ASCII letters, digits, underscore. Built on first use.
const std::uint8_t* WordTable();

// Operand readers for the byte code.
inline std::uint16_t ReadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::int16_t ReadDisp16(const std::uint8_t* p) {
  return static_cast<std::int16_t>(ReadU16(p));
}
inline void WriteU16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value & 0xFF);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}
// Target of the jump whose displacement field starts at `field`.
inline const std::uint8_t* JumpTarget(const std::uint8_t* field) {
  return field + 2 + ReadDisp16(field);
}
// The same as a code offset: `field` is the offset of a displacement field.
inline int JumpTargetAt(const std::uint8_t* code, int field) {
  return field + 2 + ReadDisp16(code + field);
}

// Name of an opcode as used in disassembly ("LiteralRun", ...); "op N" for
// values outside the set.
const char* OpcodeName(std::uint8_t op);

// Length in bytes of the instruction at `at` (opcode and operands), reading
// no byte at or past `end`; 0 when the instruction is cut off by `end`.
int InstructionLength(const std::uint8_t* at, const std::uint8_t* end);

// Whether byte c is in the set of the ByteSet/NegatedByteSet at `set`
// (the opcode byte), before negation.
inline bool ByteSetHas(const std::uint8_t* set, std::uint8_t c) {
  const std::uint8_t bitmapLength = set[1];
  return c / 8 < bitmapLength && (set[SetHeaderWidth + c / 8] >> (c % 8)) & 1;
}

}  // namespace fromsel::regex
