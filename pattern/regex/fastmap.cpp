// The fastmap: which bytes can begin a match, and whether a match can be
// empty. Worked out once per program by walking every path of the code.
#include <cstdlib>
#include <cstring>

#include "pattern/regex/search.h"

namespace fromsel::regex {

namespace {

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
  void Mark(std::uint8_t c, bool mapped) {
    const std::uint8_t* table = CaseTable();
    if (mapped && (options_ & IgnoreCase) && table) c = table[c];
    program_.fastmap[c] = 1;
  }
  void MarkAnyByte() {
    for (int c = 0; c < 256; ++c)
      if (c != '\n' || (options_ & DotMatchesNewline)) program_.fastmap[c] = 1;
  }
  bool Has(int at, int bytes) const { return at >= 0 && at + bytes <= length_; }
  int Target(int field) const { return field + 2 + ReadDisp16(code_ + field); }
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

PathEnd FastmapWalk::Jump(int at) {
  if (!Has(at, 3)) return PathEnd::EndWalk;
  const int disp = ReadDisp16(code_ + at + 1);
  int target = Target(at + 1);
  if (target < 0 || target > length_) {
    malformed_ = true;
    return PathEnd::EndWalk;
  }
  if (disp <= 0 && target < length_ &&
      (code_[target] == PushBacktrack || code_[target] == LazySkip ||
       code_[target] == CountedRepeatStart) && Has(target, 3)) {
    target = Target(target + 1);
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
  auto next = [&](int bytes) {
    if (!Has(at, bytes)) {
      malformed_ = true;
      return PathEnd::EndWalk;
    }
    pc_ = at + bytes;
    return PathEnd::Next;
  };
  switch (op) {
    case LiteralRun: {
      if (!Has(at, 3) || code_[at + 1] == 0) return next(2);
      const bool escaped = code_[at + 2] == LiteralEscape && code_[at + 1] > 1 && Has(at, 4);
      Mark(escaped ? code_[at + 3] : code_[at + 2], true);
      return PathEnd::EndPath;
    }
    case AtLineEnd:
      Mark('\n', true);
      if (!(options_ & SingleLine) && program_.canMatchEmpty == EmptyMatch::Never)
        program_.canMatchEmpty = EmptyMatch::OnlyBeforeFastmapByte;
      return PathEnd::EndPath;
    // Code 0 is a PushMarker the matcher has rewritten, a no-op: walking on
    // keeps a fastmap computed after a match as complete as one before.
    // AtSearchStart holds at the start of every attempt, so a path through
    // it goes on to what it matches.
    case NoOperation:
    case AtSearchStart:
    case AtLineStart:
    case AtTextStart:
    case AtTextEnd:
    case AtTextEndOrFinalNewline:
    case PushMarker:
    case PlainGroupStart:
    case PlainGroupEnd:
    case NegativeLookAheadFail:
    case AtWordStart:
    case AtWordEnd:
    case AtWordBoundary:
    case NotAtWordBoundary:
      return next(1);
    case Goto:
    case AlternativeExit:
    case PopBacktrackAndGoto:
    case GreedyLoopEnd:
    case GotoWithMarker:
    case CountedLoopEnd:
    case LazyLoopEnd:
    case LazyCountedLoopEnd:
      return Jump(at);
    case PushBacktrack:
      if (!Has(at, 3)) return next(3);
      if (!PushBranch(Target(at + 1))) return PathEnd::EndWalk;
      return next(3);
    case CountedRepeatStart:
      if (!Has(at, 5)) return next(5);
      if (ReadU16(code_ + at + 3) == 0 && !PushBranch(Target(at + 1))) return PathEnd::EndWalk;
      return next(5);
    case LazySkip:
    case CaptureStart:
    case CaptureEnd:
    case AssertionStart:
    case LookAheadEnd:
    case AtomicGroupEnd:
      return next(3);
    case SetCounter:
      return next(5);
    case Dot:
    case DotRepeat:
      MarkAnyByte();
      if (program_.canMatchEmpty != EmptyMatch::Never) return PathEnd::EndWalk;
      return op == DotRepeat ? next(1) : PathEnd::EndPath;
    case BackReference:
      program_.canMatchEmpty = EmptyMatch::Possible;
      Mark('\n', false);
      MarkAnyByte();
      return PathEnd::EndWalk;
    case ByteSet:
    case NegatedByteSet: {
      if (!Has(at, 2) || !Has(at, 2 + code_[at + 1])) {
        malformed_ = true;
        return PathEnd::EndWalk;
      }
      const std::uint8_t* set = code_ + at;
      for (int c = 0; c < 256; ++c) {
        const bool inSet = ByteSetHas(set, static_cast<std::uint8_t>(c));
        if (op == ByteSet && inSet) Mark(static_cast<std::uint8_t>(c), true);
        if (op == NegatedByteSet && !inSet) Mark(static_cast<std::uint8_t>(c), false);
      }
      return PathEnd::EndPath;
    }
    case WordByte:
    case NonWordByte:
      for (int c = 0; c < 256; ++c)
        if ((WordTable()[c] == 1) == (op == WordByte)) program_.fastmap[c] = 1;
      return PathEnd::EndPath;
    // Set and clear, as the matcher does: flipping would turn folding on at
    // an IgnoreCaseOff in a program compiled without IgnoreCase.
    case IgnoreCaseOn:
      program_.options |= FoldForSearch;
      options_ |= IgnoreCase;
      return next(1);
    case IgnoreCaseOff:
      options_ &= ~static_cast<std::uint32_t>(IgnoreCase);
      return next(1);
    case SetRunOptions:
      if (!Has(at, 2)) return next(2);
      options_ = code_[at + 1];
      return next(2);
    default:  // code 37, anything above 43
      return PathEnd::EndPath;
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
  for (int c = 0; c < 256; ++c)
    if (program.fastmap[c]) program.fastmap[table[c]] = 1;
}

}  // namespace

void CompileFastmap(RegexProgram& program) {
  if (!program.fastmap) return;
  std::memset(program.fastmap, 0, 256);
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
    std::memset(program.fastmap, 1, 256);
    program.canMatchEmpty = EmptyMatch::Possible;
  }
  FoldMarksForSearch(program);
}

}  // namespace fromsel::regex
