// The one-pass compiler from pattern text to byte code.
//
// The pattern is read once from left to right. Code is written in place;
// quantifiers and alternatives insert their jumps in front of code that is
// already written. Every position the compiler keeps into the code buffer is
// an offset, so it survives the buffer being resized. Open groups live on an
// explicit, heap-growable stack: nothing here recurses on the input.

#include "pattern/regex/compile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "pattern/regex/search_aids.h"

namespace fromsel::regex {

namespace {

// Entries of every byte-indexed table.
constexpr int ByteValues = 256;
// Bytes of a class bitmap before trailing zero bytes are dropped.
constexpr int FullBitmapBytes = 32;
// Free code bytes a class needs before it starts: opcode, length, the full
// bitmap and the count field, with room to spare.
constexpr int ClassRoom = 41;
// Code capacity given to a record that arrives without a buffer.
constexpr std::int32_t FallbackCodeCapacity = 28;
// A run the compiler builds from consecutive literals is closed at this length.
constexpr int LiteralRunClosingLength = 127;
// Interval bounds must stay below this; an unset upper bound becomes it.
constexpr std::uint32_t IntervalLimit = 32767;
// Decimal readers stop growing a value here, far above every limit it is
// compared with, so that a long run of digits cannot overflow.
constexpr std::uint32_t DecimalSaturation = 1000000;
// Group numbers at or above this cannot be opened: 253 capturing groups.
constexpr int GroupNumberLimit = 255;
// Bytes of a class name before its reading stops (the seventh ends it).
constexpr int ClassNameMaxLength = 6;
// Size of the buffer for messages that carry a number or a name.
constexpr int ErrorTextSize = 200;
// Open groups kept without touching the heap.
constexpr int InlineGroupEntries = 8;
// Exact-count copies are made only below this count and piece length.
constexpr std::uint32_t CopyCountLimit = 5;
constexpr std::int32_t CopyPieceLimit = 10;
// A literal run may hold at most this many bytes.
constexpr std::uint32_t MaxRunLength = 255;
// Largest and smallest displacement a disp16 field can hold.
constexpr std::int32_t MaxDisplacement = 32767;
constexpr std::int32_t MinDisplacement = -32768;

constexpr const char* MemoryExhausted = "memory exhausted";
constexpr const char* TooBig = "regular expression too big";
constexpr const char* PrematureEnd = "premature end of regular expression";
constexpr const char* UnmatchedOpen = "unmatched (";
constexpr const char* UnmatchedClose = "unmatched )";
constexpr const char* UndefinedSequence = "undefined (?...) sequence";
constexpr const char* UndefinedInlineOption = "undefined (?...) inline option";
constexpr const char* NestedQuantifier = "nested *?+ in regexp";
constexpr const char* BraceLast = "invalid regular expression; '{' can't be last character";
constexpr const char* TooBigQuantifier = "too big quantifier in {,}";
constexpr const char* BoundsReversed = "can't do {n,m} with n > m";
constexpr const char* BackslashLast = "invalid regular expression; '\\' can't be last character";
constexpr const char* BadControlEscape = "Invalid escape character syntax";
constexpr const char* BracketLast =
    "invalid regular expression; '[' can't be the last character ie. can't start range at the "
    "end of pattern";
constexpr const char* EmptyClass = "invalid regular expression; empty character class";
constexpr const char* ClassAsRangeStart =
    "invalid regular expression; can't use character class as a start value of range";
constexpr const char* ClassAsRangeEnd =
    "invalid regular expression; can't use character class as an end value of range";
constexpr const char* ReversedRange = "invalid regular expression";
constexpr const char* ClassNameCutOff = "invalid regular expression; re can't end '[[:'";
constexpr const char* ClassNameUnclosed =
    "invalid regular expression; range doesn't have ending ']' after a character class";

char errorTextBuffer[ErrorTextSize];
AllocationGate allocationGate = nullptr;

bool AllocationAllowed(std::size_t bytes) {
  return allocationGate == nullptr || allocationGate(bytes);
}

void* GatedMalloc(std::size_t bytes) {
  return AllocationAllowed(bytes) ? std::malloc(bytes) : nullptr;
}

void* GatedRealloc(void* block, std::size_t bytes) {
  return AllocationAllowed(bytes) ? std::realloc(block, bytes) : nullptr;
}

bool IsDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// --- Byte sets ---------------------------------------------------------------

void AddByte(std::uint8_t* bitmap, std::uint32_t c) {
  bitmap[(c & 0xFF) / 8] |= static_cast<std::uint8_t>(1u << (c % 8));
}

void AddRange(std::uint8_t* bitmap, std::uint32_t from, std::uint32_t to) {
  for (std::uint32_t c = from; c <= to; ++c) AddByte(bitmap, c);
}

// Adds the bytes of `ranges`, pairs of inclusive bounds ending in a zero pair.
void AddRanges(std::uint8_t* bitmap, const std::uint8_t* ranges) {
  for (; ranges[1] != 0; ranges += 2) AddRange(bitmap, ranges[0], ranges[1]);
}

constexpr std::uint8_t DigitRanges[] = {'0', '9', 0, 0};
constexpr std::uint8_t SpaceOutsideClassBytes[] = {0x09, 0x0A, 0x0C, 0x0D, 0x20};
constexpr std::uint8_t SpaceInClassRanges[] = {0x09, 0x0D, 0x20, 0x20, 0, 0};

struct ClassName {
  const char* name;
  std::uint8_t ranges[10];  // inclusive pairs, ending in a zero pair
};

// The C locale's classes; no byte from 0x80 up belongs to any of them.
constexpr ClassName ClassNames[] = {
    {"alnum", {'0', '9', 'A', 'Z', 'a', 'z', 0, 0}},
    {"alpha", {'A', 'Z', 'a', 'z', 0, 0}},
    {"blank", {0x09, 0x09, 0x20, 0x20, 0, 0}},
    {"cntrl", {0x01, 0x1F, 0x7F, 0x7F, 0, 0}},  // 0x00 is added separately
    {"digit", {'0', '9', 0, 0}},
    {"graph", {0x21, 0x7E, 0, 0}},
    {"lower", {'a', 'z', 0, 0}},
    {"print", {0x20, 0x7E, 0, 0}},
    {"punct", {0x21, 0x2F, 0x3A, 0x40, 0x5B, 0x60, 0x7B, 0x7E, 0, 0}},
    {"space", {0x09, 0x0D, 0x20, 0x20, 0, 0}},
    {"upper", {'A', 'Z', 0, 0}},
    {"xdigit", {'0', '9', 'A', 'F', 'a', 'f', 0, 0}},
};

const ClassName* FindClassName(const std::uint8_t* name, int length) {
  for (const ClassName& entry : ClassNames) {
    if (static_cast<int>(std::strlen(entry.name)) == length &&
        std::memcmp(entry.name, name, static_cast<std::size_t>(length)) == 0) {
      return &entry;
    }
  }
  return nullptr;
}

void AddClassName(std::uint8_t* bitmap, const ClassName& entry) {
  if (std::strcmp(entry.name, "cntrl") == 0) AddByte(bitmap, 0x00);
  AddRanges(bitmap, entry.ranges);
}

// Adds every byte that `member` does not accept.
void AddComplement(std::uint8_t* bitmap, bool (*member)(std::uint32_t)) {
  for (std::uint32_t c = 0; c < ByteValues; ++c) {
    if (!member(c)) AddByte(bitmap, c);
  }
}

bool IsDigitByte(std::uint32_t c) { return c >= '0' && c <= '9'; }
bool IsClassSpace(std::uint32_t c) { return (c >= 0x09 && c <= 0x0D) || c == 0x20; }
bool IsWordByte(std::uint32_t c) { return WordTable()[c] != 0; }

// --- Control escapes -----------------------------------------------------------

// A byte transformation (v AND keep) OR set; control and meta prefixes
// compose into one of these, so nested escapes need no recursion.
struct ByteTransform {
  std::uint8_t keep = 0xFF;
  std::uint8_t set = 0;
  std::uint8_t Apply(std::uint8_t v) const { return static_cast<std::uint8_t>((v & keep) | set); }
  // This transform applied after `inner`.
  ByteTransform After(ByteTransform inner) const {
    return {static_cast<std::uint8_t>(inner.keep & keep),
            static_cast<std::uint8_t>((inner.set & keep) | set)};
  }
};

constexpr ByteTransform ControlTransform{0x9F, 0x00};
constexpr ByteTransform MetaTransform{0xFF, 0x80};

// Reads a control or meta escape: `p` is at the letter after the backslash
// (C, M or c). On success stores the value, leaves `p` after the last byte
// used and returns true.
bool ReadControlEscape(const std::uint8_t*& p, const std::uint8_t* end, std::uint8_t& value) {
  ByteTransform outer;            // everything read so far
  ByteTransform beforeControl;    // the same without the innermost control prefix
  bool first = true;
  for (;;) {
    if (p >= end) return false;
    const std::uint8_t letter = *p++;
    if (letter != 'C' && letter != 'M' && letter != 'c') {
      if (first) return false;
      value = outer.Apply(EscapeLetterValue(letter));
      return true;
    }
    first = false;
    if (letter == 'C' || letter == 'M') {
      if (p >= end || *p != '-') return false;
      ++p;
    }
    if (p >= end) return false;
    const std::uint8_t x = *p++;
    if (letter == 'M') {
      outer = outer.After(MetaTransform);
    } else {
      beforeControl = outer;
      outer = outer.After(ControlTransform);
      if (x == '?') {
        value = beforeControl.Apply(0x7F);
        return true;
      }
    }
    if (x != '\\') {
      value = outer.Apply(x);
      return true;
    }
    // A nested escape follows: its letter is read by the next round.
  }
}

// --- Group stack ---------------------------------------------------------------

enum class GroupKind : std::uint8_t { Capturing, Plain, LookAhead, NegativeLookAhead, Atomic };

struct GroupEntry {
  std::int32_t codeStart;
  std::int32_t pendingExit;
  std::int32_t alternativeStart;
  std::int32_t groupNumber;
  std::int32_t markPosition;       // span byte, or AssertionStart displacement
  std::int32_t backtrackPosition;  // PushBacktrack displacement of a negative look-ahead
  GroupKind kind;
  std::uint32_t savedOptions;
};

// A stack of open groups: a small inline area, then a heap block that
// doubles. Push reports allocation failure instead of throwing.
class GroupStack {
 public:
  GroupStack() = default;
  GroupStack(const GroupStack&) = delete;
  GroupStack& operator=(const GroupStack&) = delete;
  ~GroupStack() {
    if (entries_ != inline_) std::free(entries_);
  }

  bool Push(const GroupEntry& entry) {
    if (size_ == capacity_ && !Grow()) return false;
    entries_[size_++] = entry;
    return true;
  }
  bool Empty() const { return size_ == 0; }
  GroupEntry& Top() { return entries_[size_ - 1]; }
  void Pop() { --size_; }

 private:
  bool Grow() {
    const std::size_t newCapacity = capacity_ * 2;
    void* block = entries_ == inline_ ? GatedMalloc(newCapacity * sizeof(GroupEntry))
                                      : GatedRealloc(entries_, newCapacity * sizeof(GroupEntry));
    if (block == nullptr) return false;
    if (entries_ == inline_) std::memcpy(block, inline_, sizeof(inline_));
    entries_ = static_cast<GroupEntry*>(block);
    capacity_ = newCapacity;
    return true;
  }

  GroupEntry inline_[InlineGroupEntries];
  GroupEntry* entries_ = inline_;
  std::size_t size_ = 0;
  std::size_t capacity_ = InlineGroupEntries;
};

// --- The compiler --------------------------------------------------------------

constexpr std::int32_t None = -1;

class Compiler {
 public:
  Compiler(const char* pattern, std::size_t length, RegexProgram& program)
      : start_(reinterpret_cast<const std::uint8_t*>(pattern)),
        p_(start_),
        end_(start_ + length),
        program_(program),
        options_(program.options),
        callerOptions_(program.options) {}

  const char* Run();

 private:
  // Reading.
  bool AtEnd() const { return p_ >= end_; }
  std::uint8_t Fold(std::uint8_t c) const {
    const std::uint8_t* table = CaseTable();
    return (options_ & IgnoreCase) && table != nullptr ? table[c] : c;
  }
  std::uint8_t ReadFolded() { return Fold(*p_++); }
  bool NextIs(std::uint8_t c) const { return p_ < end_ && *p_ == c; }
  std::int32_t BytesRead() const { return static_cast<std::int32_t>(p_ - start_); }
  std::uint32_t ReadDecimal(bool& present);

  // Code buffer.
  bool Fail(const char* text) {
    error_ = text;
    return false;
  }
  bool Reserve(std::int32_t bytes);
  bool ReserveFree(std::int32_t bytes);
  bool Grow();
  bool Emit(std::uint8_t byte);
  bool Emit2(std::uint8_t op, std::uint8_t operand);
  bool EmitZeroDisplacement(std::uint8_t op);
  bool InsertGap(std::int32_t at, std::int32_t bytes);
  bool WriteJump(std::int32_t at, std::uint8_t op, std::int32_t target);
  bool WriteCounted(std::int32_t at, std::uint8_t op, std::int32_t target, std::uint32_t count);
  bool SetDisplacement(std::int32_t field, std::int32_t target);

  // Pattern elements.
  bool Step();
  bool AddLiteral(std::uint32_t c);
  bool Escape();
  bool BackReferenceOrOctal(const std::uint8_t* firstDigit);
  bool EmitSetOfEscape(std::uint8_t letter);
  bool Class();
  bool ClassEscape(std::uint8_t* bitmap, std::uint32_t& c, bool& wasClass);
  bool ClassNameItem(std::uint8_t* bitmap, bool& added);
  void FinishClass(std::int32_t setStart);
  bool Quantifier(std::uint8_t quantifier);
  bool SplitLastLiteral();
  bool Repeat(bool zeroAllowed, bool manyAllowed, bool lazy);
  bool Interval();
  bool ExactCount(std::uint32_t n, bool& done);
  bool CountedForm(std::uint32_t n, std::uint32_t m, bool lazy);
  bool OpenGroup();
  bool PushGroup(GroupKind kind, std::uint32_t optionsBefore);
  bool OptionList(std::uint8_t first, bool& opensGroup, bool& caseChanged, bool& optionsChanged);
  bool CloseGroup();
  bool Alternative();
  bool Finish();
  bool AllocateWorkArrays();
  void DropSearchAids();

  const std::uint8_t* start_;
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  RegexProgram& program_;
  std::uint32_t options_;
  const std::uint32_t callerOptions_;
  std::int32_t write_ = 0;
  std::int32_t lastPiece_ = None;
  std::int32_t openRun_ = None;
  std::int32_t alternativeStart_ = 0;
  std::int32_t pendingExit_ = None;
  int nextGroup_ = 1;
  bool numericMark_ = false;
  GroupStack groups_;
  const char* error_ = nullptr;
};

std::uint32_t Compiler::ReadDecimal(bool& present) {
  std::uint32_t value = 0;
  present = false;
  while (!AtEnd() && IsDigit(Fold(*p_))) {
    value = value * 10 + (ReadFolded() - '0');
    if (value > DecimalSaturation) value = DecimalSaturation;
    present = true;
  }
  return value;
}

bool Compiler::Grow() {
  if (program_.codeCapacity >= MaxCodeCapacity) return Fail(TooBig);
  std::int32_t capacity = program_.codeCapacity * 2;
  if (capacity > MaxCodeCapacity) capacity = MaxCodeCapacity;
  void* block = GatedRealloc(program_.code, static_cast<std::size_t>(capacity));
  if (block == nullptr) return Fail(MemoryExhausted);
  program_.code = static_cast<std::uint8_t*>(block);
  program_.codeCapacity = capacity;
  return true;
}

// Makes room for `bytes` more bytes, always keeping one byte spare so that
// codeLength stays below codeCapacity.
bool Compiler::Reserve(std::int32_t bytes) {
  while (write_ + bytes >= program_.codeCapacity) {
    if (!Grow()) return false;
  }
  return true;
}

// Makes sure that at least `bytes` bytes are free (a class's whole room).
bool Compiler::ReserveFree(std::int32_t bytes) {
  while (program_.codeCapacity - write_ < bytes) {
    if (!Grow()) return false;
  }
  return true;
}

bool Compiler::Emit(std::uint8_t byte) {
  if (!Reserve(1)) return false;
  program_.code[write_++] = byte;
  return true;
}

bool Compiler::Emit2(std::uint8_t op, std::uint8_t operand) {
  if (!Reserve(ByteOperandWidth)) return false;
  program_.code[write_++] = op;
  program_.code[write_++] = operand;
  return true;
}

bool Compiler::EmitZeroDisplacement(std::uint8_t op) {
  if (!Reserve(JumpWidth)) return false;
  program_.code[write_++] = op;
  program_.code[write_++] = 0;
  program_.code[write_++] = 0;
  return true;
}

// Moves the code from `at` to the write position up by `bytes`.
bool Compiler::InsertGap(std::int32_t at, std::int32_t bytes) {
  if (!Reserve(bytes)) return false;
  std::memmove(program_.code + at + bytes, program_.code + at,
               static_cast<std::size_t>(write_ - at));
  write_ += bytes;
  return true;
}

// Writes the displacement field at `field` so that it reaches `target`. A
// distance that does not fit 16 signed bits makes the program too big.
bool Compiler::SetDisplacement(std::int32_t field, std::int32_t target) {
  const std::int32_t displacement = target - (field + 2);
  if (displacement > MaxDisplacement || displacement < MinDisplacement) return Fail(TooBig);
  WriteU16(program_.code + field, static_cast<std::uint16_t>(displacement & 0xFFFF));
  return true;
}

bool Compiler::WriteJump(std::int32_t at, std::uint8_t op, std::int32_t target) {
  program_.code[at] = op;
  return SetDisplacement(at + DisplacementAt, target);
}

bool Compiler::WriteCounted(std::int32_t at, std::uint8_t op, std::int32_t target,
                            std::uint32_t count) {
  program_.code[at] = op;
  WriteU16(program_.code + at + CountAt, static_cast<std::uint16_t>(count));
  return SetDisplacement(at + DisplacementAt, target);
}

const char* Compiler::Run() {
  program_.fastmapValid = 0;
  ForgetAutomaton(program_);
  program_.requiredLiteral = nullptr;
  program_.leadingSet = nullptr;
  std::free(program_.skipTable);
  program_.skipTable = nullptr;
  ReleaseWorkArrays(program_);
  WordTable();
  if (program_.code == nullptr || program_.codeCapacity <= 0) {
    void* block = GatedRealloc(program_.code, FallbackCodeCapacity);
    if (block == nullptr) return MemoryExhausted;
    program_.code = static_cast<std::uint8_t*>(block);
    program_.codeCapacity = FallbackCodeCapacity;
  }
  if (program_.codeCapacity > MaxCodeCapacity) program_.codeCapacity = MaxCodeCapacity;

  while (!AtEnd()) {
    if (!Step()) return error_;
  }
  if (!Finish()) {
    DropSearchAids();
    return error_;
  }
  return nullptr;
}

// A failed program is never searched: it keeps no search aids and no work
// arrays, even when the failure came after some of them were made.
void Compiler::DropSearchAids() {
  program_.options = callerOptions_;
  program_.requiredLiteral = nullptr;
  program_.leadingSet = nullptr;
  std::free(program_.skipTable);
  program_.skipTable = nullptr;
  ReleaseWorkArrays(program_);
}

bool Compiler::Step() {
  const std::uint8_t c = ReadFolded();
  switch (c) {
    case 0x09: case 0x0A: case 0x0C: case 0x0D: case 0x20:
      if (options_ & FreeSpacing) return true;
      return AddLiteral(c);
    case '#':
      if (!(options_ & FreeSpacing)) return AddLiteral(c);
      while (!AtEnd() && *p_++ != '\n') {
      }
      return true;
    case '^':
      return Emit((program_.options & SingleLine) ? AtTextStart : AtLineStart);
    case '$':
      return Emit((program_.options & SingleLine) ? AtTextEnd : AtLineEnd);
    case '.':
      lastPiece_ = write_;
      return Emit(Dot);
    case '[':
      return Class();
    case '(':
      return OpenGroup();
    case ')':
      return CloseGroup();
    case '|':
      return Alternative();
    case '*': case '+': case '?':
      return Quantifier(c);
    case '{':
      return Interval();
    case '\\':
      return Escape();
    default:
      return AddLiteral(c);
  }
}

// Adds one literal byte, extending the open run when it may. A literal that
// a quantifier follows gets a run of its own, so the quantifier applies to
// that byte alone.
bool Compiler::AddLiteral(std::uint32_t c) {
  const std::uint8_t byte = static_cast<std::uint8_t>(c & 0xFF);
  const bool escaped = numericMark_ || byte == LiteralEscape;
  numericMark_ = false;
  if (!Reserve(4)) return false;
  std::uint8_t* code = program_.code;
  bool extend = openRun_ != None && openRun_ + RunHeaderWidth + code[openRun_ + 1] == write_ &&
                code[openRun_ + 1] < LiteralRunClosingLength;
  if (extend && !AtEnd()) {
    const std::uint8_t next = *p_;
    extend = next != '*' && next != '+' && next != '?' && next != '{' && next != '^';
  }
  if (!extend) {
    lastPiece_ = write_;
    openRun_ = write_;
    code[write_++] = LiteralRun;
    code[write_++] = 0;
  }
  if (escaped) {
    code[write_++] = LiteralEscape;
    ++code[openRun_ + 1];
  }
  code[write_++] = byte;
  ++code[openRun_ + 1];
  return true;
}

bool Compiler::Escape() {
  if (AtEnd()) return Fail(BackslashLast);
  const std::uint8_t e = *p_++;
  const bool singleLine = (program_.options & SingleLine) != 0;
  switch (e) {
    case '0': {
      const ScanResult octal = ScanOctal(reinterpret_cast<const char*>(p_),
                                         reinterpret_cast<const char*>(end_), 3);
      p_ += octal.digits;
      numericMark_ = true;
      return AddLiteral(octal.value);
    }
    case '1': case '2': case '3': case '4': case '5': case '6': case '7': case '8': case '9':
      return BackReferenceOrOctal(p_ - 1);
    case 'x': {
      const ScanResult hex = ScanHex(reinterpret_cast<const char*>(p_),
                                     reinterpret_cast<const char*>(end_), 2);
      p_ += hex.digits;
      numericMark_ = true;
      return AddLiteral(hex.value);
    }
    case 'C': case 'M': case 'c': {
      --p_;
      std::uint8_t value = 0;
      if (!ReadControlEscape(p_, end_, value)) return Fail(BadControlEscape);
      numericMark_ = true;
      return AddLiteral(value);
    }
    case 'w':
      lastPiece_ = write_;
      return Emit(WordByte);
    case 'W':
      lastPiece_ = write_;
      return Emit(NonWordByte);
    case 'd': case 'D': case 's': case 'S':
      return EmitSetOfEscape(e);
    case 'A':
      return Emit(AtTextStart);
    case 'z':
      return Emit(AtTextEnd);
    case 'Z':
      return Emit(singleLine ? AtTextEnd : AtTextEndOrFinalNewline);
    case 'G':
      return Emit(AtSearchStart);
    case 'b':
      return Emit(AtWordBoundary);
    case 'B':
      return Emit(NotAtWordBoundary);
    case '<':
      return Emit(AtWordStart);
    case '>':
      return Emit(AtWordEnd);
    default:
      return AddLiteral(EscapeLetterValue(e));
  }
}

// \1 to \9 are always back-references; a longer number is one only when
// that many groups have been opened before it, and octal otherwise.
bool Compiler::BackReferenceOrOctal(const std::uint8_t* firstDigit) {
  p_ = firstDigit;
  bool present = false;
  const std::uint32_t v = ReadDecimal(present);
  if (v <= 9 || v < static_cast<std::uint32_t>(nextGroup_)) {
    lastPiece_ = write_;
    return Emit2(BackReference, static_cast<std::uint8_t>(v));
  }
  p_ = firstDigit;
  const ScanResult octal = ScanOctal(reinterpret_cast<const char*>(p_),
                                     reinterpret_cast<const char*>(end_), 3);
  p_ += octal.digits;
  numericMark_ = true;
  return AddLiteral(octal.value);
}

// \d \D \s \S outside a class: a set written as a class would write it.
bool Compiler::EmitSetOfEscape(std::uint8_t letter) {
  if (!ReserveFree(ClassRoom)) return false;
  lastPiece_ = write_;
  const std::int32_t setStart = write_;
  const bool negated = letter == 'D' || letter == 'S';
  std::uint8_t* code = program_.code;
  code[write_] = negated ? NegatedByteSet : ByteSet;
  code[write_ + 1] = FullBitmapBytes;
  std::memset(code + write_ + SetHeaderWidth, 0, FullBitmapBytes + SetCountWidth);
  std::uint8_t* bitmap = code + write_ + SetHeaderWidth;
  if (letter == 'd' || letter == 'D') {
    AddRanges(bitmap, DigitRanges);
  } else {
    for (std::uint8_t c : SpaceOutsideClassBytes) AddByte(bitmap, c);
  }
  FinishClass(setStart);
  return true;
}

// Drops the trailing zero bytes of the bitmap and moves the (zero) range
// count right after what remains.
void Compiler::FinishClass(std::int32_t setStart) {
  std::uint8_t* set = program_.code + setStart;
  int length = FullBitmapBytes;
  while (length > 0 && set[2 + length - 1] == 0) --length;
  set[1] = static_cast<std::uint8_t>(length);
  set[2 + length] = 0;
  set[3 + length] = 0;
  write_ = setStart + SetHeaderWidth + length + SetCountWidth;
}

bool Compiler::Class() {
  if (AtEnd()) return Fail(BracketLast);
  if (!ReserveFree(ClassRoom)) return false;
  lastPiece_ = write_;
  const std::int32_t setStart = write_;
  const bool negated = *p_ == '^';
  if (negated) ++p_;
  std::uint8_t* code = program_.code;
  code[write_] = negated ? NegatedByteSet : ByteSet;
  code[write_ + 1] = FullBitmapBytes;
  std::memset(code + write_ + SetHeaderWidth, 0, FullBitmapBytes + SetCountWidth);
  write_ += SetHeaderWidth + FullBitmapBytes + SetCountWidth;
  std::uint8_t* bitmap = code + setStart + SetHeaderWidth;
  const std::uint8_t* first = p_;
  bool rangePending = false;
  std::uint32_t rangeStart = 0;
  bool previousWasClass = false;

  for (;;) {
    if (rangePending && previousWasClass) return Fail(ClassAsRangeEnd);
    if (AtEnd()) return Fail(PrematureEnd);
    const std::uint8_t* itemStart = p_;
    std::uint32_t c = ReadFolded();
    if (c == ']') {
      if (itemStart != first) break;
      if (AtEnd()) return Fail(EmptyClass);
    }
    if (previousWasClass && c == '-' && !NextIs(']')) return Fail(ClassAsRangeStart);
    previousWasClass = false;
    if (c == '\\') {
      bool wasClass = false;
      if (!ClassEscape(bitmap, c, wasClass)) return false;
      if (wasClass) {
        previousWasClass = true;
        continue;
      }
    }
    if (rangePending) {
      if (c < rangeStart) return Fail(ReversedRange);
      AddRange(bitmap, rangeStart, c);
      rangePending = false;
      numericMark_ = false;
      continue;
    }
    if (NextIs('-') && !(p_ + 1 < end_ && p_[1] == ']')) {
      ++p_;
      if (AtEnd()) return Fail(PrematureEnd);
      rangePending = true;
      rangeStart = c;
      continue;
    }
    if (c == '[' && NextIs(':')) {
      bool added = false;
      if (!ClassNameItem(bitmap, added)) return false;
      if (added) {
        previousWasClass = true;
        continue;
      }
      // Not a class name: `[` and `:` are ordinary items.
      AddByte(bitmap, '[');
      AddByte(bitmap, ':');
      numericMark_ = false;
      continue;
    }
    AddByte(bitmap, c);
    numericMark_ = false;
  }
  // A numeric escape inside the class says nothing about what follows it.
  numericMark_ = false;
  FinishClass(setStart);
  openRun_ = None;
  return true;
}

// The escape after a backslash inside a class. Sets `wasClass` for the
// class escapes (their bytes are added here); otherwise stores the byte
// value in `c`, reduced to 8 bits.
bool Compiler::ClassEscape(std::uint8_t* bitmap, std::uint32_t& c, bool& wasClass) {
  if (AtEnd()) return Fail(PrematureEnd);
  const std::uint8_t e = *p_++;
  switch (e) {
    case '0': case '1': case '2': case '3': case '4':
    case '5': case '6': case '7': case '8': case '9': {
      // No back-references here; a digit 8 or 9 gives 0 and is read again.
      const ScanResult octal = ScanOctal(reinterpret_cast<const char*>(p_ - 1),
                                         reinterpret_cast<const char*>(end_), 3);
      p_ = p_ - 1 + octal.digits;
      numericMark_ = true;
      c = octal.value & 0xFF;
      return true;
    }
    case 'C': case 'M': case 'c': {
      --p_;
      std::uint8_t value = 0;
      if (!ReadControlEscape(p_, end_, value)) return Fail(BadControlEscape);
      numericMark_ = true;
      c = value;
      return true;
    }
    case 'x': {
      const ScanResult hex = ScanHex(reinterpret_cast<const char*>(p_),
                                     reinterpret_cast<const char*>(end_), 2);
      p_ += hex.digits;
      numericMark_ = true;
      c = hex.value & 0xFF;
      return true;
    }
    case 'd': AddRanges(bitmap, DigitRanges); break;
    case 'D': AddComplement(bitmap, IsDigitByte); break;
    case 's': AddRanges(bitmap, SpaceInClassRanges); break;
    case 'S': AddComplement(bitmap, IsClassSpace); break;
    case 'w':
      for (std::uint32_t b = 0; b < ByteValues; ++b) {
        if (IsWordByte(b)) AddByte(bitmap, b);
      }
      break;
    case 'W': AddComplement(bitmap, IsWordByte); break;
    default:
      c = EscapeLetterValue(e);
      return true;
  }
  wasClass = true;
  return true;
}

// `[:name:]` inside a class; `p_` is at the `:`. Sets `added` when a class
// name was read; otherwise leaves `p_` right after the `[:`.
bool Compiler::ClassNameItem(std::uint8_t* bitmap, bool& added) {
  ++p_;  // the ':'
  if (AtEnd()) return Fail(ClassNameCutOff);
  const std::uint8_t* afterColon = p_;
  std::uint8_t name[ClassNameMaxLength + 1];
  int length = 0;
  std::uint8_t ending = 0;
  for (;;) {
    ending = ReadFolded();
    if (ending == ':' || ending == ']' || AtEnd() || length == ClassNameMaxLength) break;
    name[length++] = ending;
  }
  if (ending == ':' && NextIs(']')) {
    const ClassName* entry = FindClassName(name, length);
    if (entry == nullptr) {
      name[length] = 0;
      std::snprintf(errorTextBuffer, sizeof errorTextBuffer,
                    "invalid regular expression; [:%s:] is not a character class",
                    reinterpret_cast<const char*>(name));
      return Fail(errorTextBuffer);
    }
    ++p_;  // the ']'
    if (AtEnd()) return Fail(ClassNameUnclosed);
    AddClassName(bitmap, *entry);
    added = true;
    return true;
  }
  p_ = afterColon;
  added = false;
  return true;
}

bool Compiler::Quantifier(std::uint8_t quantifier) {
  if (lastPiece_ == None) {
    std::snprintf(errorTextBuffer, sizeof errorTextBuffer,
                  "invalid regular expression; there's no previous pattern, to which '%c' would "
                  "define cardinality at %d",
                  quantifier, BytesRead());
    return Fail(errorTextBuffer);
  }
  const bool zeroAllowed = quantifier != '+';
  const bool manyAllowed = quantifier != '?';
  bool lazy = false;
  if (!AtEnd()) {
    const std::uint8_t next = Fold(*p_);
    if (next == '*' || next == '+') return Fail(NestedQuantifier);
    if (next == '?') {
      ++p_;
      lazy = true;
    }
  }
  if (!SplitLastLiteral()) return false;
  return Repeat(zeroAllowed, manyAllowed, lazy);
}

// A quantifier applies to one literal character. A literal that a
// quantifier directly follows already has a run of its own; but a comment,
// free-spacing white space or an `x` option list between them lets the
// run grow past that character. Such a run is cut before its last
// character (an escape pair counts as one), which then forms the piece.
// Runs an exact count built are closed and stay whole.
bool Compiler::SplitLastLiteral() {
  if (openRun_ == None || openRun_ != lastPiece_) return true;
  const std::int32_t length = program_.code[openRun_ + 1];
  if (openRun_ + RunHeaderWidth + length != write_) return true;
  std::int32_t lastStart = 0;
  for (std::int32_t i = 0; i < length;) {
    lastStart = i;
    i += program_.code[openRun_ + RunHeaderWidth + i] == LiteralEscape && i + 1 < length ? 2 : 1;
  }
  if (lastStart == 0) return true;
  const std::int32_t lastLength = length - lastStart;
  const std::int32_t newRun = write_ - lastLength;
  if (!InsertGap(newRun, RunHeaderWidth)) return false;
  program_.code[openRun_ + 1] = static_cast<std::uint8_t>(lastStart);
  program_.code[newRun] = LiteralRun;
  program_.code[newRun + 1] = static_cast<std::uint8_t>(lastLength);
  lastPiece_ = newRun;
  openRun_ = newRun;
  return true;
}

// Wraps the last piece in the loop or option code of a quantifier.
bool Compiler::Repeat(bool zeroAllowed, bool manyAllowed, bool lazy) {
  openRun_ = None;
  std::uint8_t* code = program_.code;
  const std::int32_t piece = lastPiece_;
  const std::int32_t pieceLength = write_ - piece;
  // A lone `.` (or the `.` + DotRepeat of `.+`) repeats as DotRepeat.
  const bool dotPiece = pieceLength >= 1 && code[piece] == Dot &&
                        (pieceLength == 1 || (pieceLength == 2 && code[piece + 1] == DotRepeat));
  if (!lazy && manyAllowed && dotPiece) {
    if (zeroAllowed) {
      code[piece] = DotRepeat;
      return true;
    }
    return Emit(DotRepeat);
  }
  const std::int32_t loopLength = manyAllowed ? JumpWidth : 0;
  const bool secondJump = !zeroAllowed || lazy;
  const std::int32_t prefix = secondJump ? 2 * JumpWidth : JumpWidth;
  if (!InsertGap(piece, prefix)) return false;
  if (!Reserve(loopLength)) return false;
  code = program_.code;
  const std::int32_t pushBacktrack = piece + prefix - JumpWidth;
  const std::int32_t body = piece + prefix;
  const std::int32_t end = write_ + loopLength;
  if (manyAllowed && !WriteJump(write_, lazy ? LazyLoopEnd : GreedyLoopEnd, pushBacktrack)) {
    return false;
  }
  write_ = end;
  if (!WriteJump(pushBacktrack, PushBacktrack, end)) return false;
  if (!zeroAllowed) return WriteJump(piece, GotoWithMarker, body);
  if (lazy) return WriteJump(piece, LazySkip, end);
  return true;
}

bool Compiler::Interval() {
  if (lastPiece_ == None) {
    std::snprintf(errorTextBuffer, sizeof errorTextBuffer,
                  "invalid regular expression; there's no previous pattern, to which '{' would "
                  "define cardinality at %d",
                  BytesRead());
    return Fail(errorTextBuffer);
  }
  if (AtEnd()) return Fail(BraceLast);
  const std::uint8_t* afterBrace = p_;
  bool lowerPresent = false;
  bool upperPresent = false;
  const std::uint32_t lower = ReadDecimal(lowerPresent);
  std::uint32_t upper = lower;
  std::uint8_t ending = AtEnd() ? 0 : ReadFolded();
  if (ending == ',') {
    upper = ReadDecimal(upperPresent);
    ending = AtEnd() ? 0 : ReadFolded();
  } else {
    upperPresent = lowerPresent;
  }
  if (!lowerPresent || ending != '}') {
    p_ = afterBrace;
    return AddLiteral('{');
  }
  if (lower >= IntervalLimit || upper >= IntervalLimit) return Fail(TooBigQuantifier);
  if (!upperPresent) upper = IntervalLimit;
  if (lower > upper) return Fail(BoundsReversed);
  if (!SplitLastLiteral()) return false;
  openRun_ = None;
  bool lazy = false;
  if (!AtEnd() && Fold(*p_) == '?') {
    ++p_;
    lazy = true;
  }
  const std::uint32_t n = lower;
  const std::uint32_t m = upper;
  if (n == 0 && m == IntervalLimit) return Repeat(true, true, lazy);
  if (n == 0 && m == 1) return Repeat(true, false, lazy);
  if (n == 1 && m == IntervalLimit) return Repeat(false, true, lazy);
  if (n == 1 && m == 1) return true;
  if (m == 0) {
    if (!InsertGap(lastPiece_, JumpWidth)) return false;
    return WriteJump(lastPiece_, Goto, write_);
  }
  if (n == m) {
    bool done = false;
    if (!ExactCount(n, done)) return false;
    if (done) return true;
  }
  return CountedForm(n, m, lazy);
}

// Whether the code from `from` to `to` ends in a PlainGroupEnd instruction
// (and not merely in an operand byte of that value).
bool EndsInPlainGroupEnd(const std::uint8_t* code, std::int32_t from, std::int32_t to) {
  if (to <= from || code[to - 1] != PlainGroupEnd || code[from] != PlainGroupStart) return false;
  const std::uint8_t* at = code + from;
  const std::uint8_t* end = code + to;
  while (end - at > 1) {
    const int length = InstructionLength(at, end);
    if (length == 0) return false;
    at += length;
  }
  return at == end - 1;
}

// n = m >= 2: repeats a short literal in place or copies short code; sets
// `done` when it did, leaving the general form to the caller otherwise.
bool Compiler::ExactCount(std::uint32_t n, bool& done) {
  const std::int32_t piece = lastPiece_;
  const bool setAside = EndsInPlainGroupEnd(program_.code, piece, write_);
  std::int32_t pieceEnd = setAside ? write_ - 1 : write_;
  const std::int32_t pieceLength = pieceEnd - piece;
  std::uint8_t* code = program_.code;
  const bool singleRun = pieceLength >= RunHeaderWidth && code[piece] == LiteralRun &&
                         piece + RunHeaderWidth + code[piece + 1] == pieceEnd;
  if (singleRun && code[piece + 1] * n <= MaxRunLength) {
    const std::int32_t runLength = code[piece + 1];
    const std::int32_t extra = runLength * static_cast<std::int32_t>(n - 1);
    if (!Reserve(extra)) return false;
    code = program_.code;
    if (setAside) std::memmove(code + pieceEnd + extra, code + pieceEnd, 1);
    for (std::uint32_t copy = 1; copy < n; ++copy) {
      std::memcpy(code + pieceEnd + runLength * static_cast<std::int32_t>(copy - 1),
                  code + piece + RunHeaderWidth, static_cast<std::size_t>(runLength));
    }
    code[piece + 1] = static_cast<std::uint8_t>(runLength * static_cast<std::int32_t>(n));
    write_ += extra;
    done = true;
    return true;
  }
  if (n < CopyCountLimit && pieceLength < CopyPieceLimit) {
    const std::int32_t extra = pieceLength * static_cast<std::int32_t>(n - 1);
    if (!Reserve(extra)) return false;
    code = program_.code;
    if (setAside) std::memmove(code + pieceEnd + extra, code + pieceEnd, 1);
    for (std::uint32_t copy = 1; copy < n; ++copy) {
      std::memcpy(code + pieceEnd + pieceLength * static_cast<std::int32_t>(copy - 1),
                  code + piece, static_cast<std::size_t>(pieceLength));
    }
    write_ += extra;
    done = true;
    return true;
  }
  done = false;
  return true;
}

// The general counted repeat:
//   [SetCounter -> loop end count, m-1] SetCounter -> start count, n
//   CountedRepeatStart -> end, n   X   [(Lazy)CountedLoopEnd -> start, m-1]
bool Compiler::CountedForm(std::uint32_t n, std::uint32_t m, bool lazy) {
  const std::int32_t piece = lastPiece_;
  const bool hasLoopEnd = m > 1;
  // One or two SetCounter, then the CountedRepeatStart.
  const std::int32_t prefix = (hasLoopEnd ? 3 : 2) * CountedWidth;
  if (!InsertGap(piece, prefix)) return false;
  const std::int32_t loopEnd = write_;
  if (hasLoopEnd && !Reserve(CountedWidth)) return false;
  const std::int32_t end = hasLoopEnd ? write_ + CountedWidth : write_;
  const std::int32_t repeatStart = piece + prefix - CountedWidth;
  const std::int32_t startCounter = repeatStart - CountedWidth;
  if (hasLoopEnd) {
    if (!WriteCounted(loopEnd, lazy ? LazyCountedLoopEnd : CountedLoopEnd, repeatStart, m - 1)) {
      return false;
    }
    if (!WriteCounted(piece, SetCounter, loopEnd + CountAt, m - 1)) return false;
  }
  write_ = end;
  if (!WriteCounted(startCounter, SetCounter, repeatStart + CountAt, n)) return false;
  return WriteCounted(repeatStart, CountedRepeatStart, end, n);
}

bool Compiler::OptionList(std::uint8_t first, bool& opensGroup, bool& caseChanged,
                          bool& optionsChanged) {
  bool off = false;
  std::uint8_t letter = first;
  for (;;) {
    switch (letter) {
      case '-':
        off = true;
        break;
      case 'i':
        options_ = off ? options_ & ~IgnoreCase : options_ | IgnoreCase;
        caseChanged = true;
        break;
      case 'm':
        options_ = off ? options_ & ~DotMatchesNewline : options_ | DotMatchesNewline;
        optionsChanged = true;
        break;
      case 'p': {
        const std::uint32_t both = DotMatchesNewline | SingleLine;
        const bool bothSet = (options_ & both) == both;
        if (!off && !bothSet) options_ |= both;
        if (off && bothSet) options_ &= ~both;
        optionsChanged = true;
        break;
      }
      case 'x':
        options_ = off ? options_ & ~FreeSpacing : options_ | FreeSpacing;
        break;
      case ')':
        opensGroup = false;
        return true;
      case ':':
        opensGroup = true;
        return true;
      default:
        return Fail(UndefinedInlineOption);
    }
    if (AtEnd()) return Fail(PrematureEnd);
    letter = *p_++;
  }
}

// Writes the opening code of a group of `kind` and remembers the group.
bool Compiler::PushGroup(GroupKind kind, std::uint32_t optionsBefore) {
  GroupEntry entry{};
  entry.codeStart = write_;
  entry.pendingExit = pendingExit_;
  entry.alternativeStart = alternativeStart_;
  entry.kind = kind;
  entry.savedOptions = optionsBefore;
  switch (kind) {
    case GroupKind::Capturing:
      entry.groupNumber = nextGroup_;
      if (!Reserve(CaptureWidth)) return false;
      program_.code[write_] = CaptureStart;
      program_.code[write_ + GroupAt] = static_cast<std::uint8_t>(nextGroup_);
      program_.code[write_ + GroupAt + 1] = 0;
      entry.markPosition = write_ + GroupAt + 1;  // the span, set at the close
      write_ += CaptureWidth;
      if (++nextGroup_ >= GroupNumberLimit) return Fail(TooBig);
      break;
    case GroupKind::Plain:
      if (!Emit(PlainGroupStart)) return false;
      openRun_ = None;
      break;
    case GroupKind::LookAhead:
    case GroupKind::NegativeLookAhead:
    case GroupKind::Atomic:
      entry.markPosition = write_ + DisplacementAt;
      if (!EmitZeroDisplacement(AssertionStart)) return false;
      if (kind == GroupKind::NegativeLookAhead) {
        entry.backtrackPosition = write_ + DisplacementAt;
        if (!EmitZeroDisplacement(PushBacktrack)) return false;
      }
      break;
  }
  if (!groups_.Push(entry)) return Fail(MemoryExhausted);
  return true;
}

bool Compiler::OpenGroup() {
  if (AtEnd()) return Fail(PrematureEnd);
  GroupKind kind = GroupKind::Capturing;
  const std::uint32_t optionsBefore = options_;
  bool caseChanged = false;
  bool optionsChanged = false;
  bool opensGroup = true;
  if (*p_ == '?') {
    ++p_;
    if (AtEnd()) return Fail(PrematureEnd);
    const std::uint8_t k = *p_++;
    switch (k) {
      case ':': kind = GroupKind::Plain; break;
      case '=': kind = GroupKind::LookAhead; break;
      case '!': kind = GroupKind::NegativeLookAhead; break;
      case '>': kind = GroupKind::Atomic; break;
      case '#':
        for (;;) {
          if (AtEnd()) return Fail(PrematureEnd);
          if (ReadFolded() == ')') return true;
        }
      case 'i': case 'm': case 'p': case 'x': case '-':
        kind = GroupKind::Plain;
        if (!OptionList(k, opensGroup, caseChanged, optionsChanged)) return false;
        break;
      default:
        return Fail(UndefinedSequence);
    }
  }

  if (opensGroup && !PushGroup(kind, optionsBefore)) return false;
  if (optionsChanged && !Emit2(SetRunOptions, static_cast<std::uint8_t>(options_ & 0xFF))) {
    return false;
  }
  if (caseChanged && !Emit((options_ & IgnoreCase) ? IgnoreCaseOn : IgnoreCaseOff)) return false;
  if (opensGroup) {
    pendingExit_ = None;
    lastPiece_ = None;
    alternativeStart_ = write_;
  }
  return true;
}

bool Compiler::CloseGroup() {
  if (groups_.Empty()) return Fail(UnmatchedClose);
  openRun_ = None;
  if (pendingExit_ != None) {
    if (!Emit(PushMarker)) return false;
    if (!WriteJump(pendingExit_, Goto, write_)) return false;
  }
  const GroupEntry entry = groups_.Top();
  if (options_ != entry.savedOptions) {
    if ((options_ ^ entry.savedOptions) & IgnoreCase) {
      if (!Emit((options_ & IgnoreCase) ? IgnoreCaseOff : IgnoreCaseOn)) return false;
    }
    if ((options_ ^ entry.savedOptions) & ~static_cast<std::uint32_t>(IgnoreCase)) {
      if (!Emit2(SetRunOptions, static_cast<std::uint8_t>(entry.savedOptions & 0xFF))) {
        return false;
      }
    }
    options_ = entry.savedOptions;
  }
  switch (entry.kind) {
    case GroupKind::NegativeLookAhead:
      if (!Emit(NegativeLookAheadFail)) return false;
      if (!SetDisplacement(entry.backtrackPosition, write_)) return false;
      [[fallthrough]];
    case GroupKind::LookAhead:
    case GroupKind::Atomic:
      if (!Emit(entry.kind == GroupKind::Atomic ? AtomicGroupEnd : LookAheadEnd)) return false;
      if (!SetDisplacement(entry.markPosition, write_)) return false;
      if (!Emit2(0, 0)) return false;  // the depth slot, written by AssertionStart
      break;
    case GroupKind::Capturing: {
      const auto span = static_cast<std::uint8_t>(nextGroup_ - entry.groupNumber);
      program_.code[entry.markPosition] = span;
      if (!Reserve(CaptureWidth)) return false;
      program_.code[write_++] = CaptureEnd;
      program_.code[write_++] = static_cast<std::uint8_t>(entry.groupNumber);
      program_.code[write_++] = span;
      break;
    }
    case GroupKind::Plain:
      if (!Emit(PlainGroupEnd)) return false;
      break;
  }
  groups_.Pop();
  alternativeStart_ = entry.alternativeStart;
  pendingExit_ = entry.pendingExit;
  const bool lookAhead =
      entry.kind == GroupKind::LookAhead || entry.kind == GroupKind::NegativeLookAhead;
  lastPiece_ = lookAhead ? write_ : entry.codeStart;
  return true;
}

bool Compiler::Alternative() {
  if (!InsertGap(alternativeStart_, JumpWidth)) return false;
  openRun_ = None;
  if (pendingExit_ != None && !WriteJump(pendingExit_, AlternativeExit, write_)) return false;
  if (!Reserve(JumpWidth)) return false;
  const std::int32_t exit = write_;
  write_ += JumpWidth;
  if (!WriteJump(alternativeStart_, PushBacktrack, write_)) return false;
  pendingExit_ = exit;
  lastPiece_ = None;
  alternativeStart_ = write_;
  return true;
}

bool Compiler::Finish() {
  if (pendingExit_ != None && !WriteJump(pendingExit_, Goto, write_)) return false;
  if (!groups_.Empty()) return Fail(UnmatchedOpen);
  program_.codeLength = write_;
  program_.registerCount = nextGroup_;
  if (!BuildSearchAids(program_, GatedMalloc)) return Fail(MemoryExhausted);
  return AllocateWorkArrays();
}

// The matcher's per-register work arrays, zeroed.
bool Compiler::AllocateWorkArrays() {
  const std::size_t arrayBytes =
      static_cast<std::size_t>(program_.registerCount) * sizeof(std::int32_t);
  std::int32_t** arrays[] = {&program_.startSlots, &program_.endSlots, &program_.groupStates};
  for (std::int32_t** array : arrays) {
    void* block = GatedMalloc(arrayBytes);
    if (block == nullptr) return Fail(MemoryExhausted);
    std::memset(block, 0, arrayBytes);
    *array = static_cast<std::int32_t*>(block);
  }
  return true;
}

}  // namespace

ScanResult ScanOctal(const char* text, const char* end, int maxDigits) {
  ScanResult result;
  while (result.digits < maxDigits && text < end && *text >= '0' && *text <= '7') {
    result.value = result.value * 8 + static_cast<std::uint32_t>(*text - '0');
    ++result.digits;
    ++text;
  }
  return result;
}

ScanResult ScanHex(const char* text, const char* end, int maxDigits) {
  ScanResult result;
  while (result.digits < maxDigits && text < end) {
    const char c = *text;
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9') digit = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f') digit = static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F') digit = static_cast<std::uint32_t>(c - 'A' + 10);
    else if (c == 'x') digit = 0;
    else break;
    result.value = result.value * 16 + digit;
    ++result.digits;
    ++text;
  }
  return result;
}

std::uint8_t EscapeLetterValue(std::uint8_t letter) {
  switch (letter) {
    case 'a': return 0x07;
    case 'b': return 0x08;
    case 'e': return 0x1B;
    case 'f': return 0x0C;
    case 'n': return 0x0A;
    case 'r': return 0x0D;
    case 't': return 0x09;
    case 'v': return 0x0B;
    default: return letter;
  }
}

void SetAllocationGateForTesting(AllocationGate gate) { allocationGate = gate; }

const char* CompileRegex(const char* pattern, std::size_t length, RegexProgram& program) {
  Compiler compiler(pattern, length, program);
  return compiler.Run();
}

}  // namespace fromsel::regex
