// The backtracking interpreter.
//
// The backtrack stack is an array of 32-bit words holding backtrack points
// (BacktrackPoint below reads one in place). Counter changes logged after
// the top point sit above it until the next point encloses them. Resuming a
// point keeps the changes logged before it in force (and logged); going
// back past a point puts them back.
//
// Loops find their own point (the one their PushBacktrack pushed for the
// current pass) below whatever the pass's body left, so that the test for a
// pass that consumed nothing and the dropping of a possessive loop's point
// are not misled by an alternation's or a lazy loop's point on top.
//
// A lazy construct (??, *?, +?, a lazy counted repeat) tries its exit
// first and leaves a further-pass point. When that point is resumed, the
// pass pushes the exit's point as usual, but spent: resuming it would retry
// the exit from the very state (position, registers, counters, options)
// from which it was tried and failed. (The one difference, the further-pass
// point the first try had on top of the stack, is no loop's own point, so
// no loop in that continuation acts on it.) Left resumable, each nested
// lazy construct doubles the work of a failing search.
#include "pattern/regex/match.h"

#include "pattern/regex/liveness.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace fromsel::regex {

namespace {

using Word = std::int32_t;

// Points of the largest kind the stack has room for before it first grows.
constexpr int kInitialPoints = 160;
// Words of backtrack stack kept in the caller's frame: 160 points of a
// program with up to ten registers. Larger programs start on the heap, so
// the frame stays small whatever the pattern.
constexpr int kInlineStackWords = kInitialPoints * (3 * 10 + 4);
// Words in a point beside its saved registers: n, k, resume, subject, options.
constexpr int kPointFixedWords = 5;
// Words of one saved register: start, end, open flag.
constexpr int kRegisterWords = 3;
// Words of backtrack stack charged as one step when the stack grows: memory
// touched for the first time (page faults, the copy on growth) costs about
// as much per word as a matcher instruction, so a deep stack is paid for.
constexpr std::int64_t kFreshStackWordsPerStep = 1;
// Words of backtrack stack the stack grows into without a charge: the
// allocator serves that much from memory already touched, and the points of
// a long ordinary address stay far below it.
constexpr std::int64_t kUnchargedStackWords = 64 * 1024;
// Words of one logged counter change: previous value, count field offset.
constexpr int kLogEntryWords = 2;
// Bytes of a u16 operand (a count field or an assertion's depth slot).
constexpr int kU16Bytes = 2;
// A look-ahead or atomic group records the stack depth in a 16-bit slot.
constexpr Word kMaxAssertionDepth = 32767;
// Registers arrays always hold at least this many entries (\1..\9 readable).
constexpr int kMinRegisterEntries = 10;
// The open flag of a register's info word.
constexpr Word kGroupOpen = 1;
constexpr Word kNone = -1;

enum class Outcome { Continue, Fail, Stop };

// A negative value below kNone that names a construct by its exit position:
// the subject field of the marker a + loop leaves for its first pass, and
// the resume field of a spent exit point (never resumed, but a loop still
// finds the point of its pass by it).
Word ExitTag(int exit) { return -2 - exit; }

// Bit of a point's options word: the point resumes a lazy construct's
// further pass, whose exit was tried from the same state right after it
// was pushed. Options never use it.
constexpr std::uint32_t kFurtherPassFlag = 0x80000000u;

// Test hook (SetPlainMatchForTesting): exit points are never spent.
bool plainMatchForTesting = false;

// What happens to the counter changes logged with a point that is dropped.
enum class LogFate {
  Restore,      // put the counters back
  KeepPending,  // keep them as logged after the new top point
};

class BacktrackStack {
 public:
  BacktrackStack(Word* inlineWords, std::int64_t capacity, WorkBudget& budget)
      : words_(inlineWords), capacity_(capacity), budget_(budget) {}
  ~BacktrackStack() { std::free(heap_); }
  BacktrackStack(const BacktrackStack&) = delete;
  BacktrackStack& operator=(const BacktrackStack&) = delete;

  // Starts on the heap when the inline area is too small for the first room.
  // Not charged: the first room is the same size for every attempt of the
  // program, and the allocator hands back memory already touched.
  bool StartOnHeap(std::int64_t capacity) {
    heap_ = static_cast<Word*>(std::malloc(static_cast<std::size_t>(capacity) * sizeof(Word)));
    if (!heap_) return false;
    words_ = heap_;
    capacity_ = capacity;
    return true;
  }

  // Doubles the room when `needed` or fewer words are free. False when the
  // memory cannot be had, or the stack would pass its byte limit or the
  // work budget.
  bool Reserve(std::int64_t needed) {
    if (capacity_ - size > needed) return true;
    const std::int64_t grown = capacity_ * 2;
    if (grown * static_cast<std::int64_t>(sizeof(Word)) > MatchStackBudgetBytes) return false;
    if (capacity_ - size + capacity_ <= needed) return false;  // never for real points
    if (!ChargeFreshWords(grown - std::max(capacity_, kUnchargedStackWords))) return false;
    Word* block;
    if (heap_) {
      block = static_cast<Word*>(std::realloc(heap_, static_cast<std::size_t>(grown) * sizeof(Word)));
      if (!block) return false;
    } else {
      block = static_cast<Word*>(std::malloc(static_cast<std::size_t>(grown) * sizeof(Word)));
      if (!block) return false;
      std::memcpy(block, words_, static_cast<std::size_t>(size) * sizeof(Word));
    }
    heap_ = block;
    words_ = block;
    capacity_ = grown;
    return true;
  }

  Word& operator[](std::int64_t i) { return words_[i]; }
  Word operator[](std::int64_t i) const { return words_[i]; }
  Word* data() { return words_; }

  std::int64_t size = 0;

 private:
  // Charges `words` (none when negative) of memory about to be taken for
  // the first time. False, with nothing taken, once the budget is spent.
  bool ChargeFreshWords(std::int64_t words) {
    if (words > 0) budget_.Charge(words / kFreshStackWordsPerStep);
    return !budget_.spent();
  }

  Word* words_;
  std::int64_t capacity_;
  WorkBudget& budget_;
  Word* heap_ = nullptr;
};

// One backtrack point, read where it lies in the stack; `top` is the stack
// size just above it. From the bottom up a point holds:
//   n counter changes logged before it (previous value, count field offset)
//   n
//   registers 1..k as saved: start, end, open flag
//   k (the highest register whose start was set)
//   resume: the code offset to resume at, kNone for a marker, or an
//           ExitTag for a spent exit point (never resumed)
//   subject: the subject offset, or kNone (or a loop marker's ExitTag)
//   options: the options in force, kFurtherPassFlag for a further pass
class BacktrackPoint {
 public:
  BacktrackPoint(const BacktrackStack& stack, std::int64_t top) : stack_(stack), top_(top) {}

  std::uint32_t options() const { return storedOptions() & ~kFurtherPassFlag; }
  bool resumesFurtherPass() const { return (storedOptions() & kFurtherPassFlag) != 0; }
  Word subject() const { return stack_[top_ - 2]; }
  Word resume() const { return stack_[top_ - 3]; }
  bool isMarker() const { return resume() == kNone; }
  bool isSpent() const { return resume() < kNone; }
  // Whether the point is the one a loop leaving at `exit` pushed for its pass.
  bool isPassPointOf(int exit) const { return resume() == exit || resume() == ExitTag(exit); }
  Word savedRegisterCount() const { return stack_[top_ - 4]; }
  // Where n lies, and n itself.
  std::int64_t logCountAt() const {
    return top_ - 4 - kRegisterWords * static_cast<std::int64_t>(savedRegisterCount()) - 1;
  }
  Word loggedChangeCount() const { return stack_[logCountAt()]; }
  // Where the point's first word (its oldest logged change) lies.
  std::int64_t bottom() const {
    const std::int64_t at = logCountAt();
    return at - kLogEntryWords * static_cast<std::int64_t>(stack_[at]);
  }

  // Puts registers 1..k back into the work arrays as the point saved them.
  void RestoreRegisters(RegexProgram& program) const {
    std::int64_t s = top_ - 4;
    for (int i = savedRegisterCount(); i >= 1; --i) {
      program.groupStates[i] = stack_[--s];
      program.endSlots[i] = stack_[--s];
      program.startSlots[i] = stack_[--s];
    }
  }

 private:
  std::uint32_t storedOptions() const { return static_cast<std::uint32_t>(stack_[top_ - 1]); }

  const BacktrackStack& stack_;
  std::int64_t top_;
};

// Registers handled per step charged: saving or restoring a register moves
// three words, a few of which cost about what one instruction does.
constexpr int kRegistersPerStep = 4;

std::int64_t RegisterSteps(std::int64_t registers) { return registers / kRegistersPerStep; }

// A loop's back jump: resuming a point there would only repeat the loop, so
// backtracking passes over it.
bool IsBackJumpToLoopStart(const std::uint8_t* code, int length, int at) {
  if (at < 0 || at + JumpWidth > length) return false;
  const std::uint8_t op = code[at];
  const int disp = ReadDisp16(code + at + DisplacementAt);
  if (disp >= 0) return false;
  const int target = JumpTargetAt(code, at + DisplacementAt);
  if (target < 0 || target >= length) return false;
  switch (op) {
    case Goto:
    case PopBacktrackAndGoto:
    case GreedyLoopEnd:
    case LazyLoopEnd:
      return code[target] == PushBacktrack;
    case CountedLoopEnd:
    case LazyCountedLoopEnd:
      return at + CountedWidth <= length && code[target] == CountedRepeatStart;
    default:
      return false;
  }
}

class Matcher {
 public:
  Matcher(RegexProgram& program, const std::uint8_t* subject, int size, int position,
          BacktrackStack& stack, WorkBudget& budget, const Liveness* liveness)
      : program_(program),
        code_(program.code),
        codeLength_(program.codeLength),
        subject_(subject),
        size_(size),
        position_(position),
        stack_(stack),
        budget_(budget),
        liveness_(liveness),
        registerCount_(program.registerCount),
        caseTable_(CaseTable()),
        wordTable_(WordTable()) {}

  // The subject offset where the match ends, NoMatch or MatchStopped.
  int Run();

 private:
  // Stack of points.
  BacktrackPoint PointAt(std::int64_t top) const { return BacktrackPoint(stack_, top); }
  int HighestSetRegister() const;
  bool PushPoint(Word resume, Word subjectPos, bool furtherPass = false);
  bool PushExitPoint(int at, bool exitFailed);
  bool LogCounter(int fieldOffset);
  bool DecrementCounter(int fieldOffset);
  void RestoreLog(std::int64_t from, Word count);
  void RemoveTopPoint(LogFate fate);
  void CutTo(std::int64_t top);
  struct LoopPoint {
    std::int64_t top = 0;    // stack size just above the point; 0: none
    bool firstPass = false;  // the marker of a + loop's first pass
  };
  LoopPoint FindLoopPoint(int exit);
  bool LoopExitOf(int pushBacktrackAt, int& exit) const;
  bool TopSubjectIs(int cursor) const {
    return pointTop_ > 0 && PointAt(pointTop_).subject() == cursor;
  }
  bool Backtrack();
  void ResumeAt(const BacktrackPoint& point);
  bool IsAssertionPoint(std::int64_t top) const;

  // Instructions: Step dispatches each opcode family to its Exec helper.
  Outcome Step();
  Outcome ExecLiteralRun(int at);
  Outcome ExecAssertion(int at, std::uint8_t op);
  bool AssertionHolds(std::uint8_t op) const;
  Outcome ExecSingleByte(int at, std::uint8_t op);
  Outcome ExecDotRepeat(int at);
  Outcome ExecByteSet(int at, bool negated);
  Outcome ExecGoto(int at);
  Outcome ExecPushBacktrack(int at, bool exitFailed);
  Outcome ExecGotoWithMarker(int at);
  Outcome ExecPushMarker(int at);
  Outcome ExecGreedyLoopEnd(int at);
  Outcome ExecPopBacktrackAndGoto(int at);
  Outcome ExecLazySkip(int at);
  Outcome ExecLazyLoopEnd(int at);
  Outcome ExecCountedRepeatStart(int at, int entered, bool exitFailed);
  Outcome ExecCountedLoopEnd(int at);
  Outcome ExecLazyCountedLoopEnd(int at);
  Outcome ExecSetCounter(int at);
  Outcome ExecCapture(int at, std::uint8_t op);
  Outcome ExecOptionChange(int at, std::uint8_t op);
  Outcome ExecAssertionStart(int at);
  Outcome ExecAssertionEnd(int at, std::uint8_t op);
  Outcome ExecNegativeLookAheadFail(int at);
  Outcome ExecBackReference(int at);

  // Helpers of the instructions.
  bool JumpTo(int fieldOffset);
  Outcome CountedBackJump(int at);
  bool IsLazyRepeat(int repeatStart) const;
  bool CloseAssertion(int slotAt, bool restoreCursor);
  Outcome Next(int at, int width) {
    pc_ = at + width;
    return Outcome::Continue;
  }

  // Operand readers.
  bool Has(int at, int bytes) const { return at >= 0 && at + bytes <= codeLength_; }
  int Target(int fieldOffset) const { return JumpTargetAt(code_, fieldOffset); }
  int JumpTargetOf(int at) const { return Target(at + DisplacementAt); }
  std::uint16_t CountOf(int at) const { return ReadU16(code_ + at + CountAt); }

  bool FoldingApplies(std::uint32_t options) const {
    return (options & IgnoreCase) && caseTable_ != nullptr;
  }
  std::uint8_t MapByte(std::uint8_t c, bool fold) const { return fold ? caseTable_[c] : c; }
  bool IsWordByte(std::uint8_t c) const { return wordTable_[c] == 1; }

  RegexProgram& program_;
  std::uint8_t* code_;
  int codeLength_;
  const std::uint8_t* subject_;
  int size_;
  int position_;
  BacktrackStack& stack_;
  WorkBudget& budget_;
  const Liveness* liveness_;  // null: no state is given up early
  int registerCount_;
  // The process-wide tables, looked up once per match.
  const std::uint8_t* caseTable_;
  const std::uint8_t* wordTable_;

  int pc_ = 0;
  int cursor_ = 0;
  std::uint32_t options_ = 0;
  std::int64_t pointTop_ = 0;  // stack size just above the top point
  Word logCount_ = 0;          // counter changes logged above the top point
  bool stopped_ = false;       // the match had to stop: MatchStopped
  int enteredRepeat_ = -1;     // see Step()
  int furtherPassAt_ = -1;     // see Step()
  const bool spendFailedExits_ = !plainMatchForTesting;
};

// --- The stack of points ---------------------------------------------------------

int Matcher::HighestSetRegister() const {
  for (int i = registerCount_ - 1; i >= 1; --i)
    if (program_.startSlots[i] != kNone) return i;
  return 0;
}

// Pushes a point laid out as BacktrackPoint reads it; the changes logged
// since the previous point become this point's own.
bool Matcher::PushPoint(Word resume, Word subjectPos, bool furtherPass) {
  // Finding k and copying the registers below it reads every register.
  budget_.Charge(RegisterSteps(registerCount_));
  const int k = HighestSetRegister();
  if (!stack_.Reserve(kRegisterWords * k + kPointFixedWords)) return false;
  std::int64_t s = stack_.size;
  stack_[s++] = logCount_;
  for (int i = 1; i <= k; ++i) {
    stack_[s++] = program_.startSlots[i];
    stack_[s++] = program_.endSlots[i];
    stack_[s++] = program_.groupStates[i];
  }
  stack_[s++] = k;
  stack_[s++] = resume;
  stack_[s++] = subjectPos;
  stack_[s++] = static_cast<Word>(furtherPass ? options_ | kFurtherPassFlag : options_);
  stack_.size = s;
  pointTop_ = s;
  logCount_ = 0;
  return true;
}

bool Matcher::LogCounter(int fieldOffset) {
  if (!stack_.Reserve(kLogEntryWords)) return false;
  stack_[stack_.size++] = ReadU16(code_ + fieldOffset);
  stack_[stack_.size++] = fieldOffset;
  ++logCount_;
  return true;
}

// Logs the count field at fieldOffset and takes one from it.
bool Matcher::DecrementCounter(int fieldOffset) {
  if (!LogCounter(fieldOffset)) return false;
  WriteU16(code_ + fieldOffset, static_cast<std::uint16_t>(ReadU16(code_ + fieldOffset) - 1));
  return true;
}

// Puts back, newest first, the `count` counter changes logged from `from`.
void Matcher::RestoreLog(std::int64_t from, Word count) {
  for (Word i = count - 1; i >= 0; --i) {
    const Word value = stack_[from + kLogEntryWords * i];
    const Word field = stack_[from + kLogEntryWords * i + 1];
    WriteU16(code_ + field, static_cast<std::uint16_t>(value));
  }
}

// Drops the top point; `fate` says what becomes of its logged counter
// changes. Changes logged above the dropped point stay pending.
void Matcher::RemoveTopPoint(LogFate fate) {
  const std::int64_t top = pointTop_;
  const BacktrackPoint point = PointAt(top);
  const std::int64_t start = point.bottom();
  const Word enclosed = point.loggedChangeCount();
  const std::int64_t pendingWords = stack_.size - top;
  std::int64_t keep = start;
  if (fate == LogFate::Restore) {
    RestoreLog(start, enclosed);
  } else if (fate == LogFate::KeepPending) {
    keep = start + kLogEntryWords * static_cast<std::int64_t>(enclosed);
    logCount_ += enclosed;
  }
  if (pendingWords > 0)
    std::memmove(stack_.data() + keep, stack_.data() + top,
                 static_cast<std::size_t>(pendingWords) * sizeof(Word));
  stack_.size = keep + pendingWords;
  pointTop_ = start;
}

// Whether a marker point that saved a cursor ends at `top`: what an
// AssertionStart leaves, checked before a recorded depth is trusted.
bool Matcher::IsAssertionPoint(std::int64_t top) const {
  const BacktrackPoint point = PointAt(top);
  if (!point.isMarker() || point.subject() == kNone) return false;
  const Word k = point.savedRegisterCount();
  if (k < 0 || k >= registerCount_ || point.logCountAt() < 0) return false;
  return point.loggedChangeCount() >= 0 && point.bottom() >= 0;
}

// Resumes at the newest point that has a resume position. False when the
// stack runs empty (no match) or the match had to stop.
bool Matcher::Backtrack() {
  // Changes logged after the top point are undone first.
  RestoreLog(pointTop_, logCount_);
  stack_.size = pointTop_;
  logCount_ = 0;
  while (pointTop_ > 0) {
    if (--budget_.left < 0) {
      stopped_ = true;
      return false;
    }
    RestoreLog(pointTop_, logCount_);
    stack_.size = pointTop_;
    logCount_ = 0;
    const BacktrackPoint point = PointAt(pointTop_);
    if (point.isMarker() || point.isSpent()) {
      RemoveTopPoint(LogFate::Restore);
      stack_.size = pointTop_;
      logCount_ = 0;
      continue;
    }
    const bool furtherPass = point.resumesFurtherPass();
    ResumeAt(point);
    if (IsBackJumpToLoopStart(code_, codeLength_, pc_)) continue;
    if (furtherPass) furtherPassAt_ = pc_;
    return true;
  }
  return false;
}

// Takes the state `point` saved and pops it. The counter changes logged
// before it stay in force where it resumes; they stay logged too, so going
// back past it undoes them.
void Matcher::ResumeAt(const BacktrackPoint& point) {
  budget_.Charge(RegisterSteps(registerCount_));
  options_ = point.options();
  cursor_ = point.subject();
  pc_ = point.resume();
  const Word k = point.savedRegisterCount();
  for (int i = k + 1; i < registerCount_; ++i) {
    program_.startSlots[i] = kNone;
    program_.endSlots[i] = kNone;
    program_.groupStates[i] = 0;
  }
  point.RestoreRegisters(program_);
  stack_.size = point.logCountAt();
  logCount_ = point.loggedChangeCount();
  pointTop_ = point.bottom();
}

// The exit of the loop whose PushBacktrack is at `pushBacktrackAt`.
bool Matcher::LoopExitOf(int pushBacktrackAt, int& exit) const {
  if (!Has(pushBacktrackAt, JumpWidth) || code_[pushBacktrackAt] != PushBacktrack) return false;
  exit = JumpTargetOf(pushBacktrackAt);
  return exit >= 0 && exit <= codeLength_;
}

// The newest point of the loop that leaves at `exit`: the point its
// PushBacktrack pushed for the current pass, or the marker of a + loop's
// first pass. Points above it belong to the pass's body. Each point passed
// costs an instruction of the budget (the run stops at the next one when it
// is spent): a body can leave a point per pass of an inner loop
// ((?:(?:x??){1,4000}??)*), and every back jump walks them.
Matcher::LoopPoint Matcher::FindLoopPoint(int exit) {
  std::int64_t top = pointTop_;
  while (top > 0) {
    --budget_.left;
    const BacktrackPoint point = PointAt(top);
    if (point.isPassPointOf(exit)) return {top, false};
    if (point.isMarker() && point.subject() == ExitTag(exit)) return {top, true};
    top = point.bottom();
  }
  return {};
}

// Drops every point above the one that ends at `top`, and the changes
// logged since, leaving the counters as they are.
void Matcher::CutTo(std::int64_t top) {
  stack_.size = top;
  pointTop_ = top;
  logCount_ = 0;
}

// --- Dispatch -----------------------------------------------------------------

Outcome Matcher::Step() {
  const int at = pc_;
  // Set only by the SetCounter executed right before: a CountedRepeatStart
  // reached that way is being entered, not resumed or looped back to.
  const int entered = enteredRepeat_;
  enteredRepeat_ = -1;
  // Set only by Backtrack resuming a further-pass point right before: the
  // construct's exit was tried from this state and failed.
  const bool exitFailed = furtherPassAt_ == at;
  furtherPassAt_ = -1;
  // A state from which no match can be reached fails at once.
  if (liveness_ && liveness_->MaySkip(at, cursor_)) return Outcome::Fail;
  const std::uint8_t op = code_[at];
  switch (op) {
    case LiteralRun:
      return ExecLiteralRun(at);
    case AtLineStart: case AtLineEnd: case AtTextStart: case AtTextEnd:
    case AtTextEndOrFinalNewline: case AtSearchStart: case AtWordStart: case AtWordEnd:
    case AtWordBoundary: case NotAtWordBoundary:
      return ExecAssertion(at, op);
    case Dot: case WordByte: case NonWordByte:
      return ExecSingleByte(at, op);
    case DotRepeat:
      return ExecDotRepeat(at);
    case ByteSet: case NegatedByteSet:
      return ExecByteSet(at, op == NegatedByteSet);
    case Goto: case AlternativeExit:
      return ExecGoto(at);
    case PushBacktrack:
      return ExecPushBacktrack(at, exitFailed);
    case GotoWithMarker:
      return ExecGotoWithMarker(at);
    case PushMarker:
      return ExecPushMarker(at);
    case GreedyLoopEnd:
      return ExecGreedyLoopEnd(at);
    case PopBacktrackAndGoto:
      return ExecPopBacktrackAndGoto(at);
    case LazySkip:
      return ExecLazySkip(at);
    case LazyLoopEnd:
      return ExecLazyLoopEnd(at);
    case CountedRepeatStart:
      return ExecCountedRepeatStart(at, entered, exitFailed);
    case CountedLoopEnd:
      return ExecCountedLoopEnd(at);
    case LazyCountedLoopEnd:
      return ExecLazyCountedLoopEnd(at);
    case SetCounter:
      return ExecSetCounter(at);
    case CaptureStart: case CaptureEnd:
      return ExecCapture(at, op);
    case IgnoreCaseOn: case IgnoreCaseOff: case SetRunOptions:
      return ExecOptionChange(at, op);
    case AssertionStart:
      return ExecAssertionStart(at);
    case LookAheadEnd: case AtomicGroupEnd:
      return ExecAssertionEnd(at, op);
    case NegativeLookAheadFail:
      return ExecNegativeLookAheadFail(at);
    case BackReference:
      return ExecBackReference(at);
    default:  // code 0, 37, PlainGroupStart/End, anything above 43
      return Next(at, OpcodeWidth);
  }
}

// --- Bytes and assertions ------------------------------------------------------

Outcome Matcher::ExecLiteralRun(int at) {
  if (!Has(at, RunHeaderWidth)) return Outcome::Fail;
  const int length = code_[at + 1];
  if (!Has(at + RunHeaderWidth, length)) return Outcome::Fail;
  const bool fold = FoldingApplies(options_);
  const std::uint8_t* run = code_ + at + RunHeaderWidth;
  for (int i = 0; i < length; ++i) {
    if (cursor_ >= size_) return Outcome::Fail;
    const std::uint8_t s = subject_[cursor_];
    if (run[i] == LiteralEscape && i + 1 < length) {
      ++i;
      if (s != run[i]) return Outcome::Fail;
    } else if (MapByte(s, fold) != MapByte(run[i], fold)) {
      return Outcome::Fail;
    }
    ++cursor_;
  }
  return Next(at, RunHeaderWidth + length);
}

// The anchors and word-boundary tests: they consume nothing.
Outcome Matcher::ExecAssertion(int at, std::uint8_t op) {
  if (!AssertionHolds(op)) return Outcome::Fail;
  return Next(at, OpcodeWidth);
}

bool Matcher::AssertionHolds(std::uint8_t op) const {
  return PositionAssertionHolds(op, subject_, size_, cursor_, position_);
}

// Dot, WordByte and NonWordByte: one byte of their kind.
Outcome Matcher::ExecSingleByte(int at, std::uint8_t op) {
  if (cursor_ >= size_) return Outcome::Fail;
  const std::uint8_t c = subject_[cursor_];
  bool accepted;
  switch (op) {
    case Dot:
      accepted = c != '\n' || (options_ & DotMatchesNewline);
      break;
    case WordByte:
      accepted = IsWordByte(c);
      break;
    default:  // NonWordByte
      accepted = !IsWordByte(c);
      break;
  }
  if (!accepted) return Outcome::Fail;
  ++cursor_;
  return Next(at, OpcodeWidth);
}

// As many Dot bytes as there are, each leaving a point to give it back; the
// last point resumes after the instruction once the run ends.
Outcome Matcher::ExecDotRepeat(int at) {
  for (;;) {
    if (!PushPoint(at + OpcodeWidth, cursor_)) return Outcome::Stop;
    if (cursor_ >= size_ || (subject_[cursor_] == '\n' && !(options_ & DotMatchesNewline)))
      return Outcome::Fail;
    ++cursor_;
    if (--budget_.left < 0) return Outcome::Stop;
  }
}

Outcome Matcher::ExecByteSet(int at, bool negated) {
  if (!Has(at, SetHeaderWidth)) return Outcome::Fail;
  const int bitmapLength = code_[at + 1];
  if (!Has(at + SetHeaderWidth, bitmapLength + SetCountWidth)) return Outcome::Fail;
  const int rangeCount = ReadU16(code_ + at + SetHeaderWidth + bitmapLength);
  const int width = SetHeaderWidth + bitmapLength + SetCountWidth + SetRangeWidth * rangeCount;
  if (at + width > codeLength_ || cursor_ >= size_) return Outcome::Fail;
  const std::uint8_t c = MapByte(subject_[cursor_], FoldingApplies(options_));
  if (ByteSetHas(code_ + at, c) == negated) return Outcome::Fail;
  ++cursor_;
  return Next(at, width);
}

Outcome Matcher::ExecBackReference(int at) {
  if (!Has(at, ByteOperandWidth)) return Outcome::Fail;
  const int group = code_[at + GroupAt];
  if (group >= registerCount_) return Outcome::Fail;
  const Word start = program_.startSlots[group];
  const Word end = program_.endSlots[group];
  if ((program_.groupStates[group] & kGroupOpen) || start == kNone || end == kNone)
    return Outcome::Fail;
  const int length = end - start;
  if (length > 0) {
    if (length > size_ - cursor_) return Outcome::Fail;
    const bool fold = FoldingApplies(options_);
    int same = 0;
    while (same < length &&
           MapByte(subject_[cursor_ + same], fold) == MapByte(subject_[start + same], fold))
      ++same;
    // One comparison can span the subject: each byte compared costs an
    // instruction, or (.*)\1x would take time quadratic in the subject
    // within the budget.
    budget_.left -= same;
    if (same < length) return Outcome::Fail;
    cursor_ += length;
  }
  return Next(at, ByteOperandWidth);
}

// --- Jumps, alternatives and loops -----------------------------------------------

bool Matcher::JumpTo(int fieldOffset) {
  if (!Has(fieldOffset, kU16Bytes)) return false;
  const int target = Target(fieldOffset);
  if (target < 0 || target > codeLength_) return false;
  pc_ = target;
  return true;
}

// A backward jump fails when the pass it would repeat consumed nothing. For
// a loop's back jump (to its PushBacktrack) the pass began where the loop's
// own point was pushed; other points the body left on top of it (an
// alternation's, a lazy loop's) say nothing about the pass. Any other
// backward jump compares with the top point.
Outcome Matcher::ExecGoto(int at) {
  if (!Has(at, JumpWidth)) return Outcome::Fail;
  if (ReadDisp16(code_ + at + DisplacementAt) < 0) {
    int exit = 0;
    const LoopPoint loop = LoopExitOf(JumpTargetOf(at), exit) ? FindLoopPoint(exit) : LoopPoint{};
    if (loop.top > 0) {
      if (!loop.firstPass && PointAt(loop.top).subject() == cursor_) return Outcome::Fail;
    } else if (TopSubjectIs(cursor_)) {
      return Outcome::Fail;
    }
  }
  return JumpTo(at + DisplacementAt) ? Outcome::Continue : Outcome::Fail;
}

// The point that leaves the construct at `at` for its exit (its jump
// target); spent when that exit failed from this state already.
bool Matcher::PushExitPoint(int at, bool exitFailed) {
  const int exit = JumpTargetOf(at);
  return PushPoint(exitFailed && spendFailedExits_ ? ExitTag(exit) : exit, cursor_);
}

Outcome Matcher::ExecPushBacktrack(int at, bool exitFailed) {
  if (!Has(at, JumpWidth)) return Outcome::Fail;
  if (!PushExitPoint(at, exitFailed)) return Outcome::Stop;
  return Next(at, JumpWidth);
}

// The entry of a + loop. The marker names its loop (by the loop's exit), so
// that the loop end can tell its first pass from the points the body leaves.
Outcome Matcher::ExecGotoWithMarker(int at) {
  if (!Has(at, JumpWidth)) return Outcome::Fail;
  int exit = 0;
  const Word tag = LoopExitOf(at + JumpWidth, exit) ? ExitTag(exit) : kNone;
  if (!PushPoint(kNone, tag)) return Outcome::Stop;
  return ExecGoto(at);
}

Outcome Matcher::ExecPushMarker(int at) {
  int p = at + OpcodeWidth;
  while (p < codeLength_) {
    const std::uint8_t op = code_[p];
    if ((op == CaptureStart || op == CaptureEnd) && Has(p, CaptureWidth)) p += CaptureWidth;
    else if (op == PlainGroupEnd) p += OpcodeWidth;
    else break;
  }
  // Only a forward Goto (an alternative's exit) makes the marker useless. A
  // backward one is a greedy loop's rewritten back jump, which the first
  // match still saw as GreedyLoopEnd: the marker stays, so every match
  // behaves like the first.
  if (p + JumpWidth <= codeLength_ && code_[p] == Goto &&
      ReadDisp16(code_ + p + DisplacementAt) > 0) {
    code_[at] = NoOperation;
  } else if (!PushPoint(kNone, kNone)) {
    return Outcome::Stop;
  }
  return Next(at, OpcodeWidth);
}

Outcome Matcher::ExecGreedyLoopEnd(int at) {
  if (!Has(at, JumpWidth)) return Outcome::Fail;
  code_[at] = GreedyLoopRewrite(code_, codeLength_, at);
  return Outcome::Continue;  // pc_ still at `at`: runs as what it became
}

// A loop whose continuation can never begin like another pass keeps no
// point across passes: the pass's own point (and whatever its body left) is
// dropped, and a pass that consumed nothing leaves the loop at its exit.
Outcome Matcher::ExecPopBacktrackAndGoto(int at) {
  if (!Has(at, JumpWidth) || pointTop_ == 0) return Outcome::Fail;
  const int loopStart = JumpTargetOf(at);
  int exit = 0;
  const LoopPoint loop = LoopExitOf(loopStart, exit) ? FindLoopPoint(exit) : LoopPoint{};
  if (loop.top > 0) {
    CutTo(loop.top);
    if (loop.firstPass) {
      pc_ = loopStart;
      return Outcome::Continue;
    }
    const bool empty = PointAt(loop.top).subject() == cursor_;
    RemoveTopPoint(LogFate::KeepPending);
    pc_ = empty ? exit : loopStart;
    return Outcome::Continue;
  }
  if (TopSubjectIs(cursor_)) {
    // The loop is left at its exit, the target of its PushBacktrack. The top
    // point is that PushBacktrack's own one unless the body left a point (an
    // alternation's): resuming there would re-enter the body instead.
    RemoveTopPoint(LogFate::KeepPending);
    if (!Has(loopStart, JumpWidth) || code_[loopStart] != PushBacktrack) return Outcome::Fail;
    return JumpTo(loopStart + DisplacementAt) ? Outcome::Continue : Outcome::Fail;
  }
  RemoveTopPoint(LogFate::KeepPending);
  return ExecGoto(at);
}

// First tries what follows the construct, keeping the construct's body as
// the way back.
Outcome Matcher::ExecLazySkip(int at) {
  if (!Has(at, JumpWidth)) return Outcome::Fail;
  if (JumpTargetOf(at) < codeLength_ && !PushPoint(at + JumpWidth, cursor_, true))
    return Outcome::Stop;
  return JumpTo(at + DisplacementAt) ? Outcome::Continue : Outcome::Fail;
}

// After a pass of a lazy loop: a pass that consumed nothing fails; otherwise
// the loop goes on after its exit, keeping another pass as the way back.
// The pass's own point stays under the points its body left, so that
// backtracking into the body still finds the loop; resuming it later only
// retries the exit from where the pass began, which has failed already.
Outcome Matcher::ExecLazyLoopEnd(int at) {
  if (!Has(at, JumpWidth) || pointTop_ == 0) return Outcome::Fail;
  const int loopStart = JumpTargetOf(at);
  int exit = 0;
  const LoopPoint loop = LoopExitOf(loopStart, exit) ? FindLoopPoint(exit) : LoopPoint{};
  if (loop.top > 0) {
    if (!loop.firstPass && PointAt(loop.top).subject() == cursor_) return Outcome::Fail;
  } else {
    RemoveTopPoint(LogFate::KeepPending);
    if (ReadDisp16(code_ + at + DisplacementAt) < 0 && TopSubjectIs(cursor_))
      return Outcome::Fail;
  }
  if (!PushPoint(loopStart, cursor_, true)) return Outcome::Stop;
  return Next(at, JumpWidth);
}

// --- Counted repeats ---------------------------------------------------------------

// Whether the counted repeat starting at `repeatStart` ends in a
// LazyCountedLoopEnd that jumps back to it.
bool Matcher::IsLazyRepeat(int repeatStart) const {
  const int end = JumpTargetOf(repeatStart);
  const int loopEnd = end - CountedWidth;
  return loopEnd > repeatStart && Has(loopEnd, CountedWidth) &&
         code_[loopEnd] == LazyCountedLoopEnd && JumpTargetOf(loopEnd) == repeatStart;
}

// The back jump of a counted repeat. Its count bounds the passes, so it
// needs no test for a pass that consumed nothing; that test (the top point
// at the cursor) would also see the point a lazy loop in the body has just
// left at the cursor and reject a sound pass: (..+?){2,} against "bacaa".
Outcome Matcher::CountedBackJump(int at) {
  return JumpTo(at + DisplacementAt) ? Outcome::Continue : Outcome::Fail;
}

Outcome Matcher::ExecCountedRepeatStart(int at, int entered, bool exitFailed) {
  if (!Has(at, CountedWidth)) return Outcome::Fail;
  if (CountOf(at) == 0 && entered == at && IsLazyRepeat(at)) {
    // Entering a lazy repeat with no compulsory pass: what follows is
    // tried first, a pass only when that fails (resuming here).
    if (!PushPoint(at, cursor_, true)) return Outcome::Stop;
    return JumpTo(at + DisplacementAt) ? Outcome::Continue : Outcome::Fail;
  }
  if (CountOf(at) > 0) {
    if (!DecrementCounter(at + CountAt)) return Outcome::Stop;
    if (!PushPoint(kNone, kNone)) return Outcome::Stop;
  } else if (!PushExitPoint(at, exitFailed)) {
    return Outcome::Stop;
  }
  return Next(at, CountedWidth);
}

Outcome Matcher::ExecCountedLoopEnd(int at) {
  if (!Has(at, CountedWidth)) return Outcome::Fail;
  if (CountOf(at) == 0) return Next(at, CountedWidth);
  if (!DecrementCounter(at + CountAt)) return Outcome::Stop;
  return CountedBackJump(at);
}

Outcome Matcher::ExecLazyCountedLoopEnd(int at) {
  if (!Has(at, CountedWidth)) return Outcome::Fail;
  if (CountOf(at) == 0) return Next(at, CountedWidth);
  // Logged, so that backtracking into an earlier pass sees its count.
  if (!DecrementCounter(at + CountAt)) return Outcome::Stop;
  const int repeatStart = JumpTargetOf(at);
  if (!Has(repeatStart, CountedWidth)) return Outcome::Fail;
  if (CountOf(repeatStart) > 0) return CountedBackJump(at);
  // Lazy: go on after the repeat, another pass being the way back. The
  // points below stay: the newest may be the body's own (an alternative),
  // and the pass's point only retries what failed before.
  if (!PushPoint(repeatStart, cursor_, true)) return Outcome::Stop;
  return Next(at, CountedWidth);
}

Outcome Matcher::ExecSetCounter(int at) {
  if (!Has(at, CountedWidth)) return Outcome::Fail;
  const int field = JumpTargetOf(at);
  if (!Has(field, kU16Bytes)) return Outcome::Fail;
  // Logged, so that backtracking into an earlier pass of an enclosing
  // repeat finds the counts that pass had, not the re-initialised ones.
  if (!LogCounter(field)) return Outcome::Stop;
  WriteU16(code_ + field, CountOf(at));
  enteredRepeat_ = field - CountAt;  // the CountedRepeatStart it may initialise
  return Next(at, CountedWidth);
}

// --- Groups, options and assertions ------------------------------------------------

Outcome Matcher::ExecCapture(int at, std::uint8_t op) {
  if (!Has(at, CaptureWidth)) return Outcome::Fail;
  const int group = code_[at + GroupAt];
  if (group < registerCount_) {
    if (op == CaptureStart) {
      program_.startSlots[group] = cursor_;
      program_.groupStates[group] |= kGroupOpen;
    } else {
      program_.endSlots[group] = cursor_;
      program_.groupStates[group] &= ~kGroupOpen;
    }
  }
  return Next(at, CaptureWidth);
}

Outcome Matcher::ExecOptionChange(int at, std::uint8_t op) {
  switch (op) {
    case IgnoreCaseOn:
      options_ |= IgnoreCase;
      return Next(at, OpcodeWidth);
    case IgnoreCaseOff:
      options_ &= ~static_cast<std::uint32_t>(IgnoreCase);
      return Next(at, OpcodeWidth);
    default:  // SetRunOptions
      if (!Has(at, ByteOperandWidth)) return Outcome::Fail;
      options_ = code_[at + 1];
      return Next(at, ByteOperandWidth);
  }
}

Outcome Matcher::ExecAssertionStart(int at) {
  if (!Has(at, JumpWidth)) return Outcome::Fail;
  const int slot = JumpTargetOf(at);
  if (!Has(slot, kU16Bytes)) return Outcome::Fail;
  if (!PushPoint(kNone, cursor_)) return Outcome::Stop;
  if (stack_.size > kMaxAssertionDepth) return Outcome::Stop;
  WriteU16(code_ + slot, static_cast<std::uint16_t>(stack_.size));
  return Next(at, JumpWidth);
}

// Cuts the stack back to the depth in the slot at slotAt, leaving the
// AssertionStart point on top, and removes that point. False when the slot
// holds no such depth.
bool Matcher::CloseAssertion(int slotAt, bool restoreCursor) {
  if (!Has(slotAt, kU16Bytes)) return false;
  const std::int64_t depth = ReadU16(code_ + slotAt);
  if (depth < kPointFixedWords || depth > stack_.size || !IsAssertionPoint(depth)) return false;
  CutTo(depth);
  if (restoreCursor) cursor_ = PointAt(depth).subject();
  RemoveTopPoint(LogFate::KeepPending);
  return true;
}

// LookAheadEnd puts the cursor back where the look-ahead began;
// AtomicGroupEnd leaves it where the group's body ended.
Outcome Matcher::ExecAssertionEnd(int at, std::uint8_t op) {
  if (!CloseAssertion(at + SlotAt, op == LookAheadEnd)) return Outcome::Fail;
  return Next(at, SlotWidth);
}

// The body of a negative look-ahead matched: the look-ahead (the
// LookAheadEnd right after) is closed, and fails.
Outcome Matcher::ExecNegativeLookAheadFail(int at) {
  const int end = at + OpcodeWidth;
  if (!Has(end, SlotWidth) || code_[end] != LookAheadEnd) return Outcome::Fail;
  CloseAssertion(end + SlotAt, false);
  return Outcome::Fail;
}

// --- The run ---------------------------------------------------------------------

int Matcher::Run() {
  budget_.Charge(RegisterSteps(registerCount_));
  for (int i = 0; i < registerCount_; ++i) {
    program_.startSlots[i] = kNone;
    program_.endSlots[i] = kNone;
    program_.groupStates[i] = 0;
  }
  cursor_ = position_;
  pc_ = 0;
  options_ = program_.options;
  while (pc_ < codeLength_) {
    if (--budget_.left < 0) return MatchStopped;
    switch (Step()) {
      case Outcome::Continue:
        break;
      case Outcome::Stop:
        return MatchStopped;
      case Outcome::Fail:
        if (!Backtrack()) return stopped_ ? MatchStopped : NoMatch;
        break;
    }
  }
  return cursor_;
}

// Sizes the caller's registers and sets every entry to -1.
bool PrepareRegisters(RegexRegisters& registers, int registerCount) {
  const int wanted = registerCount > kMinRegisterEntries ? registerCount : kMinRegisterEntries;
  registers.registerCount = registerCount;
  if (registers.allocatedCount < wanted) {
    const std::size_t bytes = static_cast<std::size_t>(wanted) * sizeof(int);
    int* starts = static_cast<int*>(std::realloc(registers.startOffsets, bytes));
    if (starts) registers.startOffsets = starts;
    int* ends = static_cast<int*>(std::realloc(registers.endOffsets, bytes));
    if (ends) registers.endOffsets = ends;
    if (!starts || !ends) return false;
    registers.allocatedCount = wanted;
  }
  for (int i = 0; i < registers.allocatedCount; ++i) {
    registers.startOffsets[i] = -1;
    registers.endOffsets[i] = -1;
  }
  return true;
}

void FillRegisters(const RegexProgram& program, int position, int end,
                   RegexRegisters& registers) {
  registers.startOffsets[0] = position;
  registers.endOffsets[0] = end;
  for (int i = 1; i < program.registerCount; ++i) {
    if (program.endSlots[i] == kNone) continue;
    registers.startOffsets[i] = program.startSlots[i];
    registers.endOffsets[i] = program.endSlots[i];
  }
}

}  // namespace

void SetPlainMatchForTesting(bool plain) { plainMatchForTesting = plain; }

void FreeRegisters(RegexRegisters& registers) {
  if (registers.allocatedCount == 0) return;
  std::free(registers.startOffsets);
  std::free(registers.endOffsets);
  // Cleared so that a second release or a later reuse is safe.
  registers = RegexRegisters{};
}

int MatchRegex(RegexProgram& program, const char* subject, int size, int position,
               RegexRegisters* registers, WorkBudget* budget, const Liveness* liveness) {
  WorkBudget ownBudget{SearchWorkBudget};
  WorkBudget& used = budget ? *budget : ownBudget;
  if (registers) {
    used.Charge(RegisterSteps(2 * static_cast<std::int64_t>(registers->allocatedCount) +
                              program.registerCount));
    if (!PrepareRegisters(*registers, program.registerCount)) return MatchStopped;
  }
  if (!program.code || program.registerCount < 1 || !program.startSlots ||
      !program.endSlots || !program.groupStates || size < 0 || position < 0 ||
      position > size)
    return NoMatch;

  Word inlineWords[kInlineStackWords];
  const std::int64_t room =
      static_cast<std::int64_t>(kInitialPoints) * (3 * program.registerCount + 4);
  BacktrackStack stack(inlineWords, kInlineStackWords, used);
  if (room > kInlineStackWords && !stack.StartOnHeap(room)) return MatchStopped;

  Matcher matcher(program, reinterpret_cast<const std::uint8_t*>(subject), size, position,
                  stack, used, liveness);
  const int end = matcher.Run();
  if (end < 0) return end;
  if (registers) FillRegisters(program, position, end, *registers);
  return end - position;
}

namespace {

bool IsWordByteAt(const std::uint8_t* subject, int at) { return WordTable()[subject[at]] == 1; }

bool IsWordBoundaryAt(const std::uint8_t* subject, int size, int cursor) {
  if (size == 0) return false;
  if (cursor == 0) return IsWordByteAt(subject, 0);
  if (cursor >= size) return IsWordByteAt(subject, size - 1);
  return IsWordByteAt(subject, cursor - 1) != IsWordByteAt(subject, cursor);
}

// True when the set instruction at `set` cannot accept byte c.
bool SetRefuses(const std::uint8_t* code, int codeLength, int set, std::uint8_t c) {
  if (set + SetHeaderWidth > codeLength || set + SetHeaderWidth + code[set + 1] > codeLength)
    return false;
  const bool inSet = ByteSetHas(code + set, c);
  return code[set] == ByteSet ? !inSet : inSet;
}

}  // namespace

bool PositionAssertionHolds(std::uint8_t op, const std::uint8_t* subject, int size, int cursor,
                            int attemptStart) {
  const bool atEnd = cursor >= size;
  auto noFinalNewline = [&] { return size == 0 || subject[size - 1] != '\n'; };
  switch (op) {
    case AtLineStart:
      return size == 0 || cursor == 0 || (cursor < size && subject[cursor - 1] == '\n');
    case AtLineEnd:
      return atEnd ? noFinalNewline() : subject[cursor] == '\n';
    case AtTextStart:
      return cursor == 0;
    case AtTextEnd:
      return atEnd;
    case AtTextEndOrFinalNewline:
      return atEnd ? noFinalNewline() : cursor == size - 1 && subject[cursor] == '\n';
    case AtSearchStart:
      return attemptStart < 0 || cursor == attemptStart;
    case AtWordStart:
      return !atEnd && IsWordByteAt(subject, cursor) &&
             (cursor == 0 || !IsWordByteAt(subject, cursor - 1));
    case AtWordEnd:
      return cursor > 0 && IsWordByteAt(subject, cursor - 1) &&
             (atEnd || !IsWordByteAt(subject, cursor));
    case AtWordBoundary:
      return IsWordBoundaryAt(subject, size, cursor);
    default:  // NotAtWordBoundary
      return !IsWordBoundaryAt(subject, size, cursor);
  }
}

// A greedy loop whose continuation can never begin like another iteration
// drops its backtrack point at each pass; every other loop keeps it.
std::uint8_t GreedyLoopRewrite(const std::uint8_t* code, int codeLength, int at) {
  auto has = [&](int from, int bytes) { return from >= 0 && from + bytes <= codeLength; };
  int p = at + JumpWidth;
  while (p + 2 < codeLength) {
    const std::uint8_t op = code[p];
    if (op == CaptureStart || op == CaptureEnd) p += CaptureWidth;
    else if (op == PlainGroupEnd) p += OpcodeWidth;
    else break;
  }
  if (p >= codeLength) return PopBacktrackAndGoto;
  std::uint8_t c;
  if (code[p] == LiteralRun && has(p, RunHeaderWidth + 1) && code[p + 1] > 0) {
    c = code[p + RunHeaderWidth];
  } else if (code[p] == AtLineEnd) {
    c = '\n';
  } else {
    return Goto;
  }
  const int loopStart = JumpTargetAt(code, at + DisplacementAt);
  const int t = loopStart + JumpWidth;  // the loop body's first instruction
  if (loopStart < 0 || !has(t, 1)) return Goto;
  if (code[t] == LiteralRun && has(t, RunHeaderWidth + 1) && code[t + 1] > 0 &&
      code[t + RunHeaderWidth] != c)
    return PopBacktrackAndGoto;
  if ((code[t] == ByteSet || code[t] == NegatedByteSet) && SetRefuses(code, codeLength, t, c))
    return PopBacktrackAndGoto;
  return Goto;
}

}  // namespace fromsel::regex
