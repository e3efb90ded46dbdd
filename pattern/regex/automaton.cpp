// Reading the automaton off the byte code. Every instruction becomes one
// state, or a chain of Byte states for a literal run, or a Split with its
// Byte for DotRepeat; the end of the code is the Match state. A Split's
// successors are the places the matcher can continue at without consuming:
// where the instruction jumps and where the points it pushes resume.
#include "pattern/regex/automaton.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <new>

#include "pattern/regex/match.h"

namespace fromsel::regex {

namespace {

constexpr int ByteValues = 256;

// Which readings of the run-time options may be in force at an instruction:
// a set of these bits, gathered over every way the matcher can get there.
enum OptionReading : std::uint8_t {
  FoldMayApply = 1,
  FoldMayNotApply = 2,
  NewlineDotMayApply = 4,
  NewlineDotMayNotApply = 8,
};
constexpr std::uint8_t FoldReadings = FoldMayApply | FoldMayNotApply;
constexpr std::uint8_t NewlineDotReadings = NewlineDotMayApply | NewlineDotMayNotApply;

std::uint8_t ReadingOf(std::uint32_t options) {
  return static_cast<std::uint8_t>(
      ((options & IgnoreCase) ? FoldMayApply : FoldMayNotApply) |
      ((options & DotMatchesNewline) ? NewlineDotMayApply : NewlineDotMayNotApply));
}

// The ASCII folding of the CaseTable, whether or not it is installed: where
// folding may apply, a test accepts both the folded and the exact reading,
// and without an installed table the exact one is what the matcher uses.
std::uint8_t Fold(std::uint8_t c) {
  return static_cast<std::uint8_t>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
}

// At most two places to continue at: no instruction has more.
struct Successors {
  int count = 0;
  int offset[2] = {0, 0};
  void Add(int at) { offset[count++] = at; }
};

class Builder {
 public:
  Builder(const RegexProgram& program, Automaton& out)
      : program_(program), code_(program.code), length_(program.codeLength), out_(out) {}

  // False for a program that is not regular or code that cannot be read.
  bool Build();

 private:
  bool FindInstructions();
  bool TargetOf(int at, int& target) const;
  bool LookAheadEndOf(int at, int& end) const;
  bool ControlSuccessors(int at, bool intoLookAheads, Successors& out) const;
  bool SpreadOptionReadings();
  int StatesOf(int at) const;
  bool AddStates();
  bool FillStates(int at);
  void FillLiteralRun(int at, std::int32_t first, std::int32_t after);
  std::int32_t InternClass(const ByteClass& byteClass);
  ByteClass LiteralClass(std::uint8_t literal, bool escaped, std::uint8_t reading) const;
  ByteClass SetClass(int at, std::uint8_t reading) const;
  ByteClass SingleByteClass(std::uint8_t op, std::uint8_t reading) const;
  void SetSplit(std::int32_t state, const Successors& successors);
  bool MarkSkippable();
  void UnrollCompulsoryPasses();
  bool CompulsoryPasses(int repeat, int& count, int& entry) const;
  void CopyBody(int repeat, int count, int entry, std::int64_t& scanLeft);
  void FillPredecessors();
  std::int32_t StateAt(int offset) const { return out_.stateOfOffset[offset]; }
  int Width(int at) const { return InstructionLength(code_ + at, code_ + length_); }

  const RegexProgram& program_;
  const std::uint8_t* code_;
  int length_;
  Automaton& out_;
  std::vector<std::uint8_t> isStart_;   // per offset: an instruction begins there
  std::vector<std::uint8_t> readings_;  // per offset: OptionReading bits
  std::vector<std::int32_t> offsetOf_;  // per state: its instruction's offset
  std::map<std::array<std::uint64_t, 4>, std::int32_t> classIndex_;
};

bool Builder::FindInstructions() {
  isStart_.assign(static_cast<std::size_t>(length_) + 1, 0);
  int at = 0;
  while (at < length_) {
    const int width = Width(at);
    if (width <= 0) return false;
    isStart_[at] = 1;
    at += width;
  }
  isStart_[length_] = 1;  // running off the end matches
  return at == length_;
}

// The target of the jump at `at`, which must be an instruction's start or
// the end of the code: the matcher could not run from anywhere else.
bool Builder::TargetOf(int at, int& target) const {
  target = JumpTargetAt(code_, at + DisplacementAt);
  return target >= 0 && target <= length_ && isStart_[target];
}

// The LookAheadEnd or AtomicGroupEnd whose slot the AssertionStart at `at`
// names.
bool Builder::LookAheadEndOf(int at, int& end) const {
  end = JumpTargetAt(code_, at + DisplacementAt) - 1;
  return end > at && end < length_ && isStart_[end] &&
         (code_[end] == LookAheadEnd || code_[end] == AtomicGroupEnd);
}

// Where the matcher can continue after the instruction at `at` without
// consuming, or after its bytes (see the file comment). A look-ahead is
// passed over, or, with intoLookAheads, also entered.
bool Builder::ControlSuccessors(int at, bool intoLookAheads, Successors& out) const {
  const int next = at + Width(at);
  int target = 0;
  switch (code_[at]) {
    case Goto: case AlternativeExit: case GotoWithMarker: case GreedyLoopEnd:
    case PopBacktrackAndGoto:
      // A possessive loop end (PopBacktrackAndGoto) also leaves at the
      // loop's exit: its target, the loop's PushBacktrack, leads there.
      if (!TargetOf(at, target)) return false;
      out.Add(target);
      return true;
    case PushBacktrack: case LazySkip: case LazyLoopEnd: case CountedRepeatStart:
    case CountedLoopEnd: case LazyCountedLoopEnd:
      // Counts are not read: a counted instruction may go either way.
      if (!TargetOf(at, target)) return false;
      out.Add(next);
      out.Add(target);
      return true;
    case AssertionStart: {
      int end = 0;
      if (!LookAheadEndOf(at, end)) return false;
      if (code_[end] == AtomicGroupEnd || intoLookAheads) out.Add(next);
      if (code_[end] == LookAheadEnd) out.Add(end + SlotWidth);
      return true;
    }
    case NegativeLookAheadFail:
      return true;
    default:
      out.Add(next);
      return true;
  }
}

// Spreads the option readings from the program's own options along every
// way through the code, look-ahead bodies included (they leave their
// inline options in force), until nothing changes.
bool Builder::SpreadOptionReadings() {
  readings_.assign(static_cast<std::size_t>(length_) + 1, 0);
  std::vector<int> work;
  readings_[0] = ReadingOf(program_.options);
  work.push_back(0);
  while (!work.empty()) {
    const int at = work.back();
    work.pop_back();
    if (at >= length_) continue;
    std::uint8_t reading = readings_[at];
    switch (code_[at]) {
      case IgnoreCaseOn:
        reading = static_cast<std::uint8_t>((reading & NewlineDotReadings) | FoldMayApply);
        break;
      case IgnoreCaseOff:
        reading = static_cast<std::uint8_t>((reading & NewlineDotReadings) | FoldMayNotApply);
        break;
      case SetRunOptions:
        reading = ReadingOf(code_[at + 1]);
        break;
      default:
        break;
    }
    Successors successors;
    if (!ControlSuccessors(at, true, successors)) return false;
    for (int i = 0; i < successors.count; ++i) {
      const int to = successors.offset[i];
      if ((readings_[to] | reading) == readings_[to]) continue;
      readings_[to] |= reading;
      work.push_back(to);
    }
  }
  return true;
}

// The bytes of a literal run, as the matcher reads them: an escape byte
// before another byte of the run makes that byte exact.
template <typename Visit>
void ForEachLiteral(const std::uint8_t* run, int length, Visit visit) {
  for (int i = 0; i < length; ++i) {
    if (run[i] == LiteralEscape && i + 1 < length) {
      ++i;
      visit(run[i], true);
    } else {
      visit(run[i], false);
    }
  }
}

int Builder::StatesOf(int at) const {
  switch (code_[at]) {
    case LiteralRun: {
      int bytes = 0;
      ForEachLiteral(code_ + at + RunHeaderWidth, code_[at + 1],
                     [&](std::uint8_t, bool) { ++bytes; });
      return bytes > 0 ? bytes : 1;
    }
    case DotRepeat:
      return 2;
    default:
      return 1;
  }
}

bool Builder::AddStates() {
  out_.stateOfOffset.assign(static_cast<std::size_t>(length_) + 1, -1);
  std::int32_t count = 0;
  for (int at = 0; at < length_; at += Width(at)) {
    out_.stateOfOffset[at] = count;
    count += StatesOf(at);
  }
  out_.match = count;
  out_.stateOfOffset[length_] = count;
  out_.states.assign(static_cast<std::size_t>(count) + 1, AutomatonState{});
  out_.states[out_.match].kind = StateKind::Match;
  offsetOf_.assign(static_cast<std::size_t>(count) + 1, length_);
  for (int at = 0; at < length_; at += Width(at)) {
    for (int i = 0; i < StatesOf(at); ++i) offsetOf_[StateAt(at) + i] = at;
  }
  out_.start = out_.stateOfOffset[0];
  for (int at = 0; at < length_; at += Width(at)) {
    if (!FillStates(at)) return false;
  }
  return true;
}

std::int32_t Builder::InternClass(const ByteClass& byteClass) {
  const std::array<std::uint64_t, 4> key = {byteClass.bits[0], byteClass.bits[1],
                                            byteClass.bits[2], byteClass.bits[3]};
  const auto found = classIndex_.find(key);
  if (found != classIndex_.end()) return found->second;
  const auto index = static_cast<std::int32_t>(out_.classes.size());
  out_.classes.push_back(byteClass);
  classIndex_.emplace(key, index);
  return index;
}

// An unreached instruction (readings 0) gets every reading.
std::uint8_t Either(std::uint8_t reading, std::uint8_t family) {
  return (reading & family) ? reading : static_cast<std::uint8_t>(reading | family);
}

ByteClass Builder::LiteralClass(std::uint8_t literal, bool escaped, std::uint8_t reading) const {
  ByteClass byteClass;
  reading = Either(reading, FoldReadings);
  if (escaped || (reading & FoldMayNotApply)) byteClass.Add(literal);
  if (!escaped && (reading & FoldMayApply)) {
    for (int c = 0; c < ByteValues; ++c)
      if (Fold(static_cast<std::uint8_t>(c)) == Fold(literal)) byteClass.Add(static_cast<std::uint8_t>(c));
  }
  return byteClass;
}

// ByteSet and NegatedByteSet: under folding the set is asked about the
// folded subject byte.
ByteClass Builder::SetClass(int at, std::uint8_t reading) const {
  ByteClass byteClass;
  const std::uint8_t* set = code_ + at;
  const bool negated = code_[at] == NegatedByteSet;
  reading = Either(reading, FoldReadings);
  for (int c = 0; c < ByteValues; ++c) {
    const auto byte = static_cast<std::uint8_t>(c);
    const bool exact = (reading & FoldMayNotApply) && ByteSetHas(set, byte) != negated;
    const bool folded = (reading & FoldMayApply) && ByteSetHas(set, Fold(byte)) != negated;
    if (exact || folded) byteClass.Add(byte);
  }
  return byteClass;
}

// Dot (and DotRepeat's byte), WordByte and NonWordByte.
ByteClass Builder::SingleByteClass(std::uint8_t op, std::uint8_t reading) const {
  ByteClass byteClass;
  const std::uint8_t* words = WordTable();
  reading = Either(reading, NewlineDotReadings);
  for (int c = 0; c < ByteValues; ++c) {
    bool accepted;
    if (op == WordByte) accepted = words[c] == 1;
    else if (op == NonWordByte) accepted = words[c] != 1;
    else accepted = c != '\n' || (reading & NewlineDotMayApply);
    if (accepted) byteClass.Add(static_cast<std::uint8_t>(c));
  }
  return byteClass;
}

void Builder::SetSplit(std::int32_t state, const Successors& successors) {
  AutomatonState& split = out_.states[state];
  split.kind = StateKind::Split;
  split.firstEdge = static_cast<std::int32_t>(out_.edges.size());
  split.edgeCount = successors.count;
  for (int i = 0; i < successors.count; ++i) out_.edges.push_back(StateAt(successors.offset[i]));
}

void Builder::FillLiteralRun(int at, std::int32_t first, std::int32_t after) {
  const std::uint8_t reading = readings_[at];
  std::int32_t state = first;
  ForEachLiteral(code_ + at + RunHeaderWidth, code_[at + 1], [&](std::uint8_t c, bool escaped) {
    AutomatonState& byte = out_.states[state];
    byte.kind = StateKind::Byte;
    byte.byteClass = InternClass(LiteralClass(c, escaped, reading));
    byte.next = ++state;
  });
  if (state == first) {  // an empty run consumes nothing
    Successors successors;
    successors.Add(at + Width(at));
    SetSplit(first, successors);
  } else {
    out_.states[state - 1].next = after;
  }
}

bool Builder::FillStates(int at) {
  const std::int32_t state = StateAt(at);
  const std::int32_t after = StateAt(at + Width(at));
  AutomatonState& first = out_.states[state];
  const std::uint8_t op = code_[at];
  switch (op) {
    case LiteralRun:
      FillLiteralRun(at, state, after);
      return true;
    case ByteSet: case NegatedByteSet:
      first = {StateKind::Byte, 0, InternClass(SetClass(at, readings_[at])), after};
      return true;
    case Dot: case WordByte: case NonWordByte:
      first = {StateKind::Byte, 0, InternClass(SingleByteClass(op, readings_[at])), after};
      return true;
    case DotRepeat: {
      // A Split that stops or takes one more byte and comes back.
      const std::int32_t dot = InternClass(SingleByteClass(Dot, readings_[at]));
      out_.states[state + 1] = {StateKind::Byte, 0, dot, state};
      first.kind = StateKind::Split;
      first.firstEdge = static_cast<std::int32_t>(out_.edges.size());
      first.edgeCount = 2;
      out_.edges.push_back(after);
      out_.edges.push_back(state + 1);
      return true;
    }
    case AtLineStart: case AtLineEnd: case AtTextStart: case AtTextEnd:
    case AtTextEndOrFinalNewline: case AtSearchStart: case AtWordStart: case AtWordEnd:
    case AtWordBoundary: case NotAtWordBoundary:
      first = {StateKind::Assert, op, 0, after};
      return true;
    case BackReference:
      // A group of the program makes it non-regular; one it lacks never matches.
      if (code_[at + GroupAt] < program_.registerCount) return false;
      first.kind = StateKind::Dead;
      return true;
    default: {
      Successors successors;
      if (!ControlSuccessors(at, false, successors)) return false;
      SetSplit(state, successors);
      return true;
    }
  }
}

// The matcher may give up a dead state only where running it could not cut
// away points pushed before it: outside look-ahead and atomic bodies (their
// ends cut back to where the body began) and outside the body of a loop the
// matcher makes possessive (its end drops the pass's own point).
bool Builder::MarkSkippable() {
  std::vector<int> depth(static_cast<std::size_t>(length_) + 2, 0);
  auto exclude = [&](int from, int to) {  // offsets from..to, both included
    ++depth[from];
    --depth[to + 1];
  };
  for (int at = 0; at < length_; at += Width(at)) {
    const std::uint8_t op = code_[at];
    int other = 0;
    if (op == AssertionStart) {
      if (!LookAheadEndOf(at, other)) return false;
      exclude(at + JumpWidth, other);
    } else if ((op == GreedyLoopEnd && GreedyLoopRewrite(code_, length_, at) == PopBacktrackAndGoto) ||
               op == PopBacktrackAndGoto) {
      if (!TargetOf(at, other) || other >= at) return false;
      exclude(other + JumpWidth, at);
    }
  }
  out_.skippable.assign(static_cast<std::size_t>(length_) + 1, 0);
  int open = 0;
  for (int at = 0; at < length_; ++at) {
    open += depth[at];
    out_.skippable[at] = open == 0 && isStart_[at];
  }
  return true;
}

// A counted repeat with n compulsory passes (a CountedRepeatStart right after
// the SetCounter that gives it n > 0) has its first passes read as copies of
// its body, one after another, before the loop that may stop: a subject the
// compulsory passes cannot cover is then refused too ("a{3,40}" needs three
// a's, not none). Copies stop at kMaxCompulsoryCopies per repeat and
// kMaxUnrolledStates in all; the passes not copied stay in the loop, which
// only makes the automaton accept more.
constexpr int kMaxCompulsoryCopies = 8;
constexpr std::int32_t kMaxUnrolledStates = 1 << 14;
// States looked at, over all repeats, to find their bodies: a program of
// thousands of repeats stops being unrolled after a few, not after a
// quadratic search.
constexpr std::int64_t kMaxUnrollScan = std::int64_t{1} << 20;

// The compulsory passes of the repeat at `repeat` and the SetCounter state
// that enters it; false for a repeat without compulsory passes.
bool Builder::CompulsoryPasses(int repeat, int& count, int& entry) const {
  const int setter = repeat - CountedWidth;
  if (setter < 0 || !isStart_[setter] || code_[setter] != SetCounter) return false;
  if (JumpTargetAt(code_, setter + DisplacementAt) != repeat + CountAt) return false;
  count = ReadU16(code_ + setter + CountAt);
  entry = StateAt(setter);
  return count > 0;
}

// Copies the states of the repeat's body (inner copies included) for its
// first compulsory passes. The entry leads into the first copy; a copy's
// jumps back to the repeat lead into the next copy, the last copy's into
// the repeat itself. The loop end of a pass that another compulsory pass
// follows only jumps back: its count of passes left is above 0.
void Builder::CopyBody(int repeat, int count, int entry, std::int64_t& scanLeft) {
  const int passes = count < kMaxCompulsoryCopies ? count : kMaxCompulsoryCopies;
  const int bodyStart = repeat + CountedWidth;
  const int exit = JumpTargetAt(code_, repeat + DisplacementAt);
  // The repeat's own loop end, if it has one (a repeat of at most one pass
  // has none).
  int loopEnd = exit - CountedWidth;
  if (loopEnd <= repeat || !isStart_[loopEnd] ||
      (code_[loopEnd] != CountedLoopEnd && code_[loopEnd] != LazyCountedLoopEnd) ||
      JumpTargetAt(code_, loopEnd + DisplacementAt) != repeat)
    loopEnd = -1;
  const std::int32_t repeatState = StateAt(repeat);
  if (scanLeft < out_.stateCount()) return;
  scanLeft -= out_.stateCount();
  std::vector<std::int32_t> body;
  for (std::int32_t s = 0; s < out_.stateCount(); ++s)
    if (offsetOf_[s] >= bodyStart && offsetOf_[s] < exit) body.push_back(s);
  if (body.empty()) return;
  if (out_.stateCount() + static_cast<std::int64_t>(body.size()) * passes > kMaxUnrolledStates)
    return;
  // Copies of the body's states, by their place in `body` (sorted).
  std::vector<std::int32_t> copyOf(body.size(), -1);
  auto copyIndex = [&](std::int32_t state) {
    const auto found = std::lower_bound(body.begin(), body.end(), state);
    return found != body.end() && *found == state ? found - body.begin() : -1;
  };
  std::int32_t following = repeatState;  // where the copy made last leads back to
  for (int pass = 0; pass < passes; ++pass) {
    for (std::size_t i = 0; i < body.size(); ++i)
      copyOf[i] = out_.stateCount() + static_cast<std::int32_t>(i);
    auto remap = [&](std::int32_t to) {
      if (to == repeatState) return following;
      const auto i = copyIndex(to);
      return i >= 0 ? copyOf[static_cast<std::size_t>(i)] : to;
    };
    // Copies are made from the last pass back to the first.
    const bool anotherPassFollows = pass > 0 || passes < count;
    for (std::int32_t s : body) {
      AutomatonState copy = out_.states[s];
      if (copy.kind == StateKind::Split) {
        const bool backOnly = anotherPassFollows && offsetOf_[s] == loopEnd;
        const std::int32_t first = static_cast<std::int32_t>(out_.edges.size());
        for (std::int32_t e = 0; e < copy.edgeCount; ++e) {
          const std::int32_t to = out_.edges[copy.firstEdge + e];
          if (!backOnly || to == repeatState) out_.edges.push_back(remap(to));
        }
        copy.edgeCount = static_cast<std::int32_t>(out_.edges.size()) - first;
        copy.firstEdge = first;
      } else if (copy.next >= 0) {
        copy.next = remap(copy.next);
      }
      out_.states.push_back(copy);
      offsetOf_.push_back(offsetOf_[s]);
    }
    following = copyOf[static_cast<std::size_t>(copyIndex(StateAt(bodyStart)))];
  }
  // The entry now leads into the last copy made, which is the first pass.
  AutomatonState& setter = out_.states[entry];
  for (std::int32_t e = 0; e < setter.edgeCount; ++e) {
    std::int32_t& to = out_.edges[setter.firstEdge + e];
    if (to == repeatState) to = following;
  }
}

void Builder::UnrollCompulsoryPasses() {
  // Inner repeats first, so that an outer copy carries the inner copies.
  std::vector<std::pair<int, int>> repeats;  // (body length, offset)
  for (int at = 0; at < length_; at += Width(at)) {
    if (code_[at] == CountedRepeatStart)
      repeats.emplace_back(JumpTargetAt(code_, at + DisplacementAt) - at, at);
  }
  std::sort(repeats.begin(), repeats.end());
  std::int64_t scanLeft = kMaxUnrollScan;
  for (const auto& [length, at] : repeats) {
    int count = 0;
    int entry = 0;
    if (CompulsoryPasses(at, count, entry)) CopyBody(at, count, entry, scanLeft);
  }
}

// Fills a StateLists from (state, item) pairs given twice by `each`: once
// to count, once to place.
template <typename Each>
void FillLists(std::int32_t stateCount, StateLists& lists, Each each) {
  lists.starts.assign(static_cast<std::size_t>(stateCount) + 1, 0);
  each([&](std::int32_t state, std::int32_t) { ++lists.starts[state + 1]; });
  for (std::int32_t s = 0; s < stateCount; ++s) lists.starts[s + 1] += lists.starts[s];
  lists.items.assign(static_cast<std::size_t>(lists.starts[stateCount]), 0);
  std::vector<std::int32_t> filled(lists.starts.begin(), lists.starts.end() - 1);
  each([&](std::int32_t state, std::int32_t item) { lists.items[filled[state]++] = item; });
}

void Builder::FillPredecessors() {
  const std::int32_t count = out_.stateCount();
  FillLists(length_ + 1, out_.statesOfOffset, [&](auto add) {
    for (std::int32_t s = 0; s < count; ++s) add(offsetOf_[s], s);
  });
  const std::vector<AutomatonState>& states = out_.states;
  FillLists(count, out_.epsilonPredecessors, [&](auto add) {
    for (std::int32_t s = 0; s < count; ++s) {
      if (states[s].kind == StateKind::Assert) add(states[s].next, s);
      if (states[s].kind != StateKind::Split) continue;
      for (std::int32_t e = 0; e < states[s].edgeCount; ++e)
        add(out_.edges[states[s].firstEdge + e], s);
    }
  });
  FillLists(count, out_.bytePredecessors, [&](auto add) {
    for (std::int32_t s = 0; s < count; ++s)
      if (states[s].kind == StateKind::Byte) add(states[s].next, s);
  });
}

bool Builder::Build() {
  if (!code_ || length_ < 0) return false;
  if (!FindInstructions() || !SpreadOptionReadings() || !AddStates() || !MarkSkippable())
    return false;
  UnrollCompulsoryPasses();
  FillPredecessors();
  return true;
}

}  // namespace

Automaton* BuildAutomaton(const RegexProgram& program) {
  try {
    auto automaton = std::make_unique<Automaton>();
    Builder builder(program, *automaton);
    if (!builder.Build()) return nullptr;
    return automaton.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void ReleaseAutomaton(Automaton* automaton) { delete automaton; }

const Automaton* ProgramAutomaton(RegexProgram& program) {
  if (!program.automatonTried) {
    program.automaton = BuildAutomaton(program);
    program.automatonTried = 1;
  }
  return program.automaton;
}

}  // namespace fromsel::regex
