// The search aids: the code-side ones that BuildSearchAids derives once a
// program is compiled, and the fastmap that CompileFastmap works out by
// walking every path of the code.
#include "pattern/regex/search_aids.h"

#include <cstdlib>
#include <cstring>

namespace fromsel::regex {

namespace {

// Entries of every byte-indexed table.
constexpr int ByteValues = 256;

// --- Code-side aids -------------------------------------------------------------

// The first instructions, as BuildSearchAids reads them: a leading .*
// (StartsWithDotRepeat) or greedy set loop (leadingSet), after at most one
// CaptureStart and one GotoWithMarker or LazySkip.
void FindLeadingRepeat(RegexProgram& program, const std::uint8_t* end) {
  const std::uint8_t* p = program.code;
  if (p < end && *p == CaptureStart) p += CaptureWidth;
  if (p < end && (*p == GotoWithMarker || *p == LazySkip)) p += JumpWidth;
  if (p < end && *p == DotRepeat) {
    program.options |= StartsWithDotRepeat;
  } else if (p < end && *p == PushBacktrack && InstructionLength(p, end) == JumpWidth) {
    const std::uint8_t* set = p + JumpWidth;
    if (set < end && (*set == ByteSet || *set == NegatedByteSet)) {
      const int setLength = InstructionLength(set, end);
      if (setLength > 0 && set + setLength < end && set[setLength] == GreedyLoopEnd)
        program.leadingSet = const_cast<std::uint8_t*>(set);
    }
  }
}

// The required literal: a run the code begins with (after at most one
// CaptureStart), which also sets StartsWithLiteral, or else the one
// FindRequiredLiteral picks.
void ChooseRequiredLiteral(RegexProgram& program, const std::uint8_t* end) {
  const std::uint8_t* first = program.code;
  if (*first == CaptureStart) first += CaptureWidth;
  if (first < end && *first == LiteralRun && InstructionLength(first, end) > 0) {
    program.options |= StartsWithLiteral;
    program.requiredLiteral = const_cast<std::uint8_t*>(first + 1);
  } else {
    program.requiredLiteral = const_cast<std::uint8_t*>(FindRequiredLiteral(program.code, end));
  }
}

// A literal with an escape pair is searched byte by byte (NoSkipSearch);
// any other gets a skip table. False when its memory cannot be had.
bool PrepareLiteralSearch(RegexProgram& program, AidAllocator allocate) {
  const std::uint8_t* literal = program.requiredLiteral;
  const int length = literal[0];
  bool hasEscape = false;
  for (int i = 0; i + 1 < length; ++i) hasEscape = hasEscape || literal[1 + i] == LiteralEscape;
  if (hasEscape) {
    program.options |= NoSkipSearch;
    return true;
  }
  void* table = allocate(ByteValues * sizeof(std::int32_t));
  if (table == nullptr) return false;
  program.skipTable = static_cast<std::int32_t*>(table);
  const bool fold = (program.options & (IgnoreCase | FoldForSearch)) != 0;
  BuildSkipTable(literal + 1, length, fold, program.skipTable);
  return true;
}

// Whether walking instructions from `from` meets one that starts at `at`.
bool InstructionStartsAt(const std::uint8_t* from, const std::uint8_t* at,
                         const std::uint8_t* end) {
  while (from < at) {
    const int length = InstructionLength(from, end);
    if (length == 0) return false;
    from += length;
  }
  return from == at;
}

// --- The fastmap ---------------------------------------------------------------------

// Pending branches kept in the caller's frame before the list moves to the heap.
constexpr int kInlineBranches = 160;

class BranchStack {
 public:
  ~BranchStack() { std::free(heap_); }
  BranchStack() = default;
  BranchStack(const BranchStack&) = delete;
  BranchStack& operator=(const BranchStack&) = delete;

  bool Push(int position) {
    if (size_ == capacity_ && !Grow()) return false;
    items_[size_++] = position;
    return true;
  }
  bool empty() const { return size_ == 0; }
  int Top() const { return items_[size_ - 1]; }
  int Pop() { return items_[--size_]; }

 private:
  bool Grow() {
    const int grown = capacity_ * 2;
    int* block = static_cast<int*>(std::realloc(heap_, static_cast<std::size_t>(grown) * sizeof(int)));
    if (!block) return false;
    if (!heap_) std::memcpy(block, inline_, sizeof(inline_));
    heap_ = block;
    items_ = block;
    capacity_ = grown;
    return true;
  }

  int inline_[kInlineBranches];
  int* heap_ = nullptr;
  int* items_ = inline_;
  int size_ = 0;
  int capacity_ = kInlineBranches;
};

enum class PathEnd { Next, EndPath, EndWalk };

class FastmapWalk {
 public:
  explicit FastmapWalk(RegexProgram& program)
      : program_(program), code_(program.code), length_(program.codeLength),
        options_(program.options) {}
  ~FastmapWalk() { std::free(visited_); }
  FastmapWalk(const FastmapWalk&) = delete;
  FastmapWalk& operator=(const FastmapWalk&) = delete;

  // False when the walk could not be completed (memory, malformed code).
  bool Run();

 private:
  PathEnd Step();
  bool Seen();
  // The instruction families of Step.
  PathEnd Skip(int at, int width);
  PathEnd WalkLiteralRun(int at);
  PathEnd WalkLineEnd();
  PathEnd WalkPushBacktrack(int at);
  PathEnd WalkCountedRepeatStart(int at);
  PathEnd WalkAnyByte(int at, std::uint8_t op);
  PathEnd WalkBackReference();
  PathEnd WalkByteSet(int at, std::uint8_t op);
  PathEnd WalkWordBytes(std::uint8_t op);
  PathEnd WalkOptionChange(int at, std::uint8_t op);
  void Mark(std::uint8_t c, bool mapped) {
    const std::uint8_t* table = CaseTable();
    if (mapped && (options_ & IgnoreCase) && table) c = table[c];
    program_.fastmap[c] = 1;
  }
  void MarkAnyByte() {
    for (int c = 0; c < ByteValues; ++c)
      if (c != '\n' || (options_ & DotMatchesNewline)) program_.fastmap[c] = 1;
  }
  bool Has(int at, int bytes) const { return at >= 0 && at + bytes <= length_; }
  int Target(int field) const { return JumpTargetAt(code_, field); }
  PathEnd Jump(int at);
  // Records a branch to walk later; a branch past the code means the
  // program can match the empty string. False when the stack cannot grow.
  bool PushBranch(int target);

  RegexProgram& program_;
  const std::uint8_t* code_;
  int length_;
  std::uint32_t options_;
  int pc_ = 0;
  bool malformed_ = false;
  BranchStack pending_;
  // One bit per code position and per IgnoreCase/DotMatchesNewline state:
  // a position walked before in the same state adds nothing, so the path
  // ends there and every walk terminates.
  std::uint8_t* visited_ = nullptr;
};

bool FastmapWalk::Seen() {
  const int state = ((options_ & IgnoreCase) ? 1 : 0) | ((options_ & DotMatchesNewline) ? 2 : 0);
  const std::uint8_t bit = static_cast<std::uint8_t>(1u << state);
  if (visited_[pc_] & bit) return true;
  visited_[pc_] |= bit;
  return false;
}

bool FastmapWalk::PushBranch(int target) {
  if (target < 0 || target >= length_) {
    program_.canMatchEmpty = EmptyMatch::Possible;
    return true;
  }
  if (pending_.Push(target)) return true;
  malformed_ = true;
  return false;
}

// Continues at a jump's target; a back jump to a loop's start continues at
// the loop's exit instead, the loop's body having been walked already.
PathEnd FastmapWalk::Jump(int at) {
  if (!Has(at, JumpWidth)) return PathEnd::EndWalk;
  const int disp = ReadDisp16(code_ + at + DisplacementAt);
  int target = Target(at + DisplacementAt);
  if (target < 0 || target > length_) {
    malformed_ = true;
    return PathEnd::EndWalk;
  }
  if (disp <= 0 && target < length_ &&
      (code_[target] == PushBacktrack || code_[target] == LazySkip ||
       code_[target] == CountedRepeatStart) && Has(target, JumpWidth)) {
    target = Target(target + DisplacementAt);
    if (!pending_.empty() && pending_.Top() == target) pending_.Pop();
    if (target < 0 || target > length_) {
      malformed_ = true;
      return PathEnd::EndWalk;
    }
  }
  pc_ = target;
  return PathEnd::Next;
}

PathEnd FastmapWalk::Step() {
  const int at = pc_;
  const std::uint8_t op = code_[at];
  switch (op) {
    case LiteralRun:
      return WalkLiteralRun(at);
    case AtLineEnd:
      return WalkLineEnd();
    // Code 0 is a PushMarker the matcher has rewritten, a no-op: walking on
    // keeps a fastmap computed after a match as complete as one before.
    // AtSearchStart holds at the start of every attempt, so a path through
    // it goes on to what it matches.
    case NoOperation: case AtSearchStart: case AtLineStart: case AtTextStart: case AtTextEnd:
    case AtTextEndOrFinalNewline: case PushMarker: case PlainGroupStart: case PlainGroupEnd:
    case NegativeLookAheadFail: case AtWordStart: case AtWordEnd: case AtWordBoundary:
    case NotAtWordBoundary:
      return Skip(at, OpcodeWidth);
    case Goto: case AlternativeExit: case PopBacktrackAndGoto: case GreedyLoopEnd:
    case GotoWithMarker: case CountedLoopEnd: case LazyLoopEnd: case LazyCountedLoopEnd:
      return Jump(at);
    case PushBacktrack:
      return WalkPushBacktrack(at);
    case CountedRepeatStart:
      return WalkCountedRepeatStart(at);
    case LazySkip: case AssertionStart:
      return Skip(at, JumpWidth);
    case CaptureStart: case CaptureEnd:
      return Skip(at, CaptureWidth);
    case LookAheadEnd: case AtomicGroupEnd:
      return Skip(at, SlotWidth);
    case SetCounter:
      return Skip(at, CountedWidth);
    case Dot: case DotRepeat:
      return WalkAnyByte(at, op);
    case BackReference:
      return WalkBackReference();
    case ByteSet: case NegatedByteSet:
      return WalkByteSet(at, op);
    case WordByte: case NonWordByte:
      return WalkWordBytes(op);
    case IgnoreCaseOn: case IgnoreCaseOff: case SetRunOptions:
      return WalkOptionChange(at, op);
    default:  // code 37, anything above 43
      return PathEnd::EndPath;
  }
}

// Goes on after an instruction of `width` bytes; one cut off by the end of
// the code ends the walk as malformed.
PathEnd FastmapWalk::Skip(int at, int width) {
  if (!Has(at, width)) {
    malformed_ = true;
    return PathEnd::EndWalk;
  }
  pc_ = at + width;
  return PathEnd::Next;
}

// A run's first byte (the byte of an escape pair) begins every match here.
PathEnd FastmapWalk::WalkLiteralRun(int at) {
  if (!Has(at, RunHeaderWidth + 1) || code_[at + 1] == 0) return Skip(at, RunHeaderWidth);
  const std::uint8_t* run = code_ + at + RunHeaderWidth;
  const bool escaped = run[0] == LiteralEscape && code_[at + 1] > 1 && Has(at, RunHeaderWidth + 2);
  Mark(escaped ? run[1] : run[0], true);
  return PathEnd::EndPath;
}

// $ matches before a newline, or empty at the end of the subject.
PathEnd FastmapWalk::WalkLineEnd() {
  Mark('\n', true);
  if (!(options_ & SingleLine) && program_.canMatchEmpty == EmptyMatch::Never)
    program_.canMatchEmpty = EmptyMatch::OnlyBeforeFastmapByte;
  return PathEnd::EndPath;
}

PathEnd FastmapWalk::WalkPushBacktrack(int at) {
  if (!Has(at, JumpWidth)) return Skip(at, JumpWidth);
  if (!PushBranch(Target(at + DisplacementAt))) return PathEnd::EndWalk;
  return Skip(at, JumpWidth);
}

// With no compulsory pass the body is optional: what follows the repeat is
// a branch too.
PathEnd FastmapWalk::WalkCountedRepeatStart(int at) {
  if (!Has(at, CountedWidth)) return Skip(at, CountedWidth);
  if (ReadU16(code_ + at + CountAt) == 0 && !PushBranch(Target(at + DisplacementAt)))
    return PathEnd::EndWalk;
  return Skip(at, CountedWidth);
}

// Dot and DotRepeat may begin with any byte they accept; DotRepeat may also
// take none, so its path goes on.
PathEnd FastmapWalk::WalkAnyByte(int at, std::uint8_t op) {
  MarkAnyByte();
  if (program_.canMatchEmpty != EmptyMatch::Never) return PathEnd::EndWalk;
  return op == DotRepeat ? Skip(at, OpcodeWidth) : PathEnd::EndPath;
}

// What a back-reference matches is known only at run time: any byte may
// begin a match, and the match may be empty.
PathEnd FastmapWalk::WalkBackReference() {
  program_.canMatchEmpty = EmptyMatch::Possible;
  Mark('\n', false);
  MarkAnyByte();
  return PathEnd::EndWalk;
}

PathEnd FastmapWalk::WalkByteSet(int at, std::uint8_t op) {
  if (!Has(at, SetHeaderWidth) || !Has(at, SetHeaderWidth + code_[at + 1])) {
    malformed_ = true;
    return PathEnd::EndWalk;
  }
  const std::uint8_t* set = code_ + at;
  for (int c = 0; c < ByteValues; ++c) {
    const bool inSet = ByteSetHas(set, static_cast<std::uint8_t>(c));
    if (op == ByteSet && inSet) Mark(static_cast<std::uint8_t>(c), true);
    if (op == NegatedByteSet && !inSet) Mark(static_cast<std::uint8_t>(c), false);
  }
  return PathEnd::EndPath;
}

PathEnd FastmapWalk::WalkWordBytes(std::uint8_t op) {
  for (int c = 0; c < ByteValues; ++c)
    if ((WordTable()[c] == 1) == (op == WordByte)) program_.fastmap[c] = 1;
  return PathEnd::EndPath;
}

// Set and clear, as the matcher does: flipping would turn folding on at an
// IgnoreCaseOff in a program compiled without IgnoreCase.
PathEnd FastmapWalk::WalkOptionChange(int at, std::uint8_t op) {
  switch (op) {
    case IgnoreCaseOn:
      program_.options |= FoldForSearch;
      options_ |= IgnoreCase;
      return Skip(at, OpcodeWidth);
    case IgnoreCaseOff:
      options_ &= ~static_cast<std::uint32_t>(IgnoreCase);
      return Skip(at, OpcodeWidth);
    default:  // SetRunOptions
      if (!Has(at, ByteOperandWidth)) return Skip(at, ByteOperandWidth);
      options_ = code_[at + 1];
      return Skip(at, ByteOperandWidth);
  }
}

bool FastmapWalk::Run() {
  visited_ = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(length_) + 1, 1));
  if (!visited_) return false;
  for (;;) {
    PathEnd end;
    if (pc_ >= length_) {
      program_.canMatchEmpty = EmptyMatch::Possible;
      end = PathEnd::EndWalk;
    } else if (Seen()) {
      end = PathEnd::EndPath;
    } else {
      end = Step();
    }
    if (end == PathEnd::EndWalk) break;
    if (end == PathEnd::EndPath) {
      if (pending_.empty()) break;
      pc_ = pending_.Pop();
    }
  }
  return !malformed_;
}

// The search looks subject bytes up folded when the program folds anywhere;
// a byte marked in a case-sensitive part must then be found under its folded
// form too.
void FoldMarksForSearch(RegexProgram& program) {
  const std::uint8_t* table = CaseTable();
  if (!table || !(program.options & (IgnoreCase | FoldForSearch))) return;
  for (int c = 0; c < ByteValues; ++c)
    if (program.fastmap[c]) program.fastmap[table[c]] = 1;
}

}  // namespace

bool BuildSearchAids(RegexProgram& program, AidAllocator allocate) {
  const std::uint8_t* end = program.code + program.codeLength;
  if (program.codeLength > 0) {
    FindLeadingRepeat(program, end);
    ChooseRequiredLiteral(program, end);
  }
  if (program.requiredLiteral == nullptr) return true;
  return PrepareLiteralSearch(program, allocate);
}

const std::uint8_t* FindRequiredLiteral(const std::uint8_t* code, const std::uint8_t* end) {
  const std::uint8_t* best = nullptr;
  const std::uint8_t* p = code;
  auto jumpTarget = [&](const std::uint8_t* at) -> const std::uint8_t* {
    const std::uint8_t* target = JumpTarget(at + DisplacementAt);
    return target >= code && target <= end ? target : nullptr;
  };
  while (p < end) {
    const int length = InstructionLength(p, end);
    if (length == 0) break;
    switch (*p) {
      case LiteralRun:
        if (best == nullptr || p[1] > best[0]) best = p + 1;
        p += length;
        break;
      case PushBacktrack: {
        if (ReadDisp16(p + DisplacementAt) <= 0) {
          p += length;
          break;
        }
        const std::uint8_t* target = jumpTarget(p);
        if (target == nullptr) return best;
        const std::uint8_t* skipped = p + length;
        p = target;
        // The exit of an alternative, if the last instruction skipped over
        // is a forward Goto (and not merely three bytes that look like one).
        const std::uint8_t* lastJump = p - JumpWidth;
        if (lastJump >= skipped && *lastJump == Goto &&
            ReadDisp16(lastJump + DisplacementAt) > 0 &&
            InstructionStartsAt(skipped, lastJump, end)) {
          const std::uint8_t* after = jumpTarget(lastJump);
          if (after == nullptr) return best;
          p = after;
        }
        break;
      }
      case Goto:
      case GotoWithMarker:
      case LazySkip:
      case CountedRepeatStart:
        if (ReadDisp16(p + DisplacementAt) > 0) {
          const std::uint8_t* target = jumpTarget(p);
          if (target == nullptr) return best;
          p = target;
        } else {
          p += length;
        }
        break;
      case IgnoreCaseOn:
      case IgnoreCaseOff:
        return nullptr;
      default:
        p += length;
        break;
    }
  }
  return best;
}

void BuildSkipTable(const std::uint8_t* literal, int length, bool fold, std::int32_t* skipTable) {
  const std::uint8_t* table = fold ? CaseTable() : nullptr;
  for (int c = 0; c < ByteValues; ++c) skipTable[c] = length;
  for (int j = 0; j + 1 < length; ++j) {
    const std::uint8_t b = table != nullptr ? table[literal[j]] : literal[j];
    skipTable[b] = length - 1 - j;
  }
}

void CompileFastmap(RegexProgram& program) {
  if (!program.fastmap) return;
  std::memset(program.fastmap, 0, ByteValues);
  program.fastmapValid = 1;
  program.canMatchEmpty = EmptyMatch::Never;
  if (!program.code || program.codeLength <= 0) {
    // Empty code matches the empty string everywhere; with the flag left at
    // 0 the search would skip every byte and report the end of the range.
    program.canMatchEmpty = EmptyMatch::Possible;
    return;
  }
  FastmapWalk walk(program);
  if (!walk.Run()) {
    // Without a complete walk no position may be skipped.
    std::memset(program.fastmap, 1, ByteValues);
    program.canMatchEmpty = EmptyMatch::Possible;
  }
  FoldMarksForSearch(program);
}

}  // namespace fromsel::regex
