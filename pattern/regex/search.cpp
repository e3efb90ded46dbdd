// Searching: anchors, the required literal, the fastmap and the leading set
// decide which positions are worth a MatchRegex attempt.
#include "pattern/regex/search.h"

#include <cstdint>
#include <cstring>

#include "pattern/regex/automaton.h"
#include "pattern/regex/liveness.h"
#include "pattern/regex/search_aids.h"

namespace fromsel::regex {

namespace {

// The search works in 64 bits so that start + range never overflows.
using Offset = std::int64_t;

// What the literal finders return when the literal is not in the window.
constexpr Offset kNotFound = -1;

class SearchBytes {
 public:
  SearchBytes(const RegexProgram& program, const char* subject, int size)
      : subject_(reinterpret_cast<const std::uint8_t*>(subject)),
        size_(size),
        table_((program.options & (IgnoreCase | FoldForSearch)) ? CaseTable() : nullptr) {}

  std::uint8_t Raw(Offset i) const { return subject_[i]; }
  const std::uint8_t* data() const { return subject_; }
  std::uint8_t Mapped(Offset i) const { return Map(subject_[i]); }
  std::uint8_t Map(std::uint8_t c) const { return table_ ? table_[c] : c; }
  bool mapping() const { return table_ != nullptr; }
  Offset size() const { return size_; }

 private:
  const std::uint8_t* subject_;
  Offset size_;
  const std::uint8_t* table_;
};

// Skip distance for subject byte c. A table built without folding (the
// program had no IgnoreCase when compiled, but an inline (?i) later asked the
// search to fold) holds the literal's letters in their written case only, so
// both cases of the letter are consulted and the smaller distance wins: a
// larger one would jump over a match.
Offset SkipFor(const RegexProgram& program, const SearchBytes& bytes, std::uint8_t raw) {
  const std::uint8_t c = bytes.Map(raw);
  Offset skip = program.skipTable[c];
  if (bytes.mapping() && !(program.options & IgnoreCase)) {
    if (program.skipTable[raw] < skip) skip = program.skipTable[raw];
    if (c >= 'a' && c <= 'z' && program.skipTable[c - 'a' + 'A'] < skip)
      skip = program.skipTable[c - 'a' + 'A'];
  }
  return skip > 0 ? skip : 1;
}

// Offset of the required literal within subject[lo, size), or kNotFound.
Offset FindBySkipTable(const RegexProgram& program, const SearchBytes& bytes, Offset lo) {
  const std::uint8_t* literal = program.requiredLiteral + 1;
  const Offset length = program.requiredLiteral[0];
  if (length == 0) return 0;
  const Offset window = bytes.size() - lo;
  Offset candidateEnd = length - 1;
  while (candidateEnd < window) {
    Offset j = length - 1;
    while (j >= 0 && bytes.Map(literal[j]) == bytes.Mapped(lo + candidateEnd - (length - 1 - j)))
      --j;
    if (j < 0) return candidateEnd - length + 1;
    candidateEnd += SkipFor(program, bytes, bytes.Raw(lo + candidateEnd));
  }
  return kNotFound;
}

// Whether the literal (escape pairs read as their byte) occurs at subject[at].
bool LiteralAt(const std::uint8_t* literal, Offset length, const SearchBytes& bytes, Offset at) {
  for (Offset i = 0; i < length; ++i, ++at) {
    std::uint8_t want = literal[i];
    if (want == LiteralEscape && i + 1 < length) want = literal[++i];
    if (at >= bytes.size() || bytes.Map(want) != bytes.Mapped(at)) return false;
  }
  return true;
}

Offset FindByScan(const RegexProgram& program, const SearchBytes& bytes, Offset lo) {
  const std::uint8_t* literal = program.requiredLiteral + 1;
  const Offset length = program.requiredLiteral[0];
  if (length == 0) return 0;
  const bool escaped = literal[0] == LiteralEscape && length > 1;
  const std::uint8_t first = escaped ? literal[1] : literal[0];
  for (Offset at = lo; at < bytes.size(); ++at) {
    const bool hit = escaped ? bytes.Raw(at) == first : bytes.Mapped(at) == bytes.Map(first);
    if (hit && LiteralAt(literal, length, bytes, at)) return at - lo;
  }
  return kNotFound;
}

// Windows at least this long are searched in linear time (FindByMemchr,
// FindByPrefixTable); below it choosing the memchr byte or building the
// prefix table costs more than the skip table or the scan take.
constexpr Offset kMemchrWindow = 1024;

// Letters are the commonest bytes of addresses, digits next; punctuation
// such as '@' makes the fewest memchr candidates.
int Rarity(std::uint8_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return 0;
  if (c >= '0' && c <= '9') return 1;
  return 2;
}

// Index in the literal of the byte memchr looks for, or kNotFound when there is
// none to use (an escape pair, or every byte has another case). The byte
// must be the only one the search's mapping takes to its value, so that
// memchr for it finds every candidate.
Offset MemchrByteIndex(const std::uint8_t* literal, Offset length, const SearchBytes& bytes) {
  for (Offset i = 0; i < length; ++i) {
    if (literal[i] == LiteralEscape) return kNotFound;
  }
  int bytesMappedTo[256] = {};
  for (int b = 0; b < 256; ++b) ++bytesMappedTo[bytes.Map(static_cast<std::uint8_t>(b))];
  Offset best = kNotFound;
  for (int rarity = 2; rarity >= 0 && best < 0; --rarity) {
    for (Offset i = 0; i < length && best < 0; ++i) {
      if (Rarity(literal[i]) == rarity && bytesMappedTo[bytes.Map(literal[i])] == 1) best = i;
    }
  }
  return best;
}

// A required literal with its escape pairs read as their byte and every
// byte mapped as the search maps subject bytes.
struct MappedLiteral {
  std::uint8_t bytes[256];  // a literal's length is one byte
  Offset length = 0;
};

MappedLiteral MapLiteral(const std::uint8_t* literal, Offset length, const SearchBytes& bytes) {
  MappedLiteral mapped;
  for (Offset i = 0; i < length; ++i) {
    std::uint8_t want = literal[i];
    if (want == LiteralEscape && i + 1 < length) want = literal[++i];
    mapped.bytes[mapped.length++] = bytes.Map(want);
  }
  return mapped;
}

// The leftmost occurrence at or after `from` (an offset in the subject), or
// kNotFound, by Knuth-Morris-Pratt: time linear in the window whatever the
// subject holds, where the other finders can compare the literal again at
// nearly every byte.
Offset FindByPrefixTable(const MappedLiteral& literal, const SearchBytes& bytes, Offset from) {
  const Offset length = literal.length;
  if (length == 0) return from;
  // border[i]: the length of the longest proper prefix of literal[0, i] that
  // is also its suffix.
  std::uint8_t border[256] = {};
  for (Offset i = 1, k = 0; i < length; ++i) {
    while (k > 0 && literal.bytes[i] != literal.bytes[k]) k = border[k - 1];
    if (literal.bytes[i] == literal.bytes[k]) ++k;
    border[i] = static_cast<std::uint8_t>(k);
  }
  for (Offset at = from, k = 0; at < bytes.size(); ++at) {
    const std::uint8_t c = bytes.Mapped(at);
    while (k > 0 && c != literal.bytes[k]) k = border[k - 1];
    if (c == literal.bytes[k] && ++k == length) return at - length + 1;
  }
  return kNotFound;
}

// Failed candidates FindByMemchr checks in full before it asks whether they
// come too densely: a few close together are common and cheap.
constexpr Offset kCandidateAllowance = 64;
// More than one failed candidate per this many window bytes is dense (a
// subject of nothing but '@'): the rest of the window goes to
// FindByPrefixTable, which stays linear there.
constexpr Offset kSparseCandidateGap = 16;

// The leftmost occurrence as the other finders find it: candidates come in
// increasing order, each checked in full, while they are sparse.
Offset FindByMemchr(const RegexProgram& program, const SearchBytes& bytes, Offset lo, Offset index) {
  const std::uint8_t* literal = program.requiredLiteral + 1;
  const Offset length = program.requiredLiteral[0];
  const std::uint8_t wanted = literal[index];
  Offset failed = 0;
  for (Offset from = lo + index; from < bytes.size();) {
    const void* hit = std::memchr(bytes.data() + from, wanted, static_cast<std::size_t>(bytes.size() - from));
    if (!hit) return kNotFound;
    const Offset found = static_cast<const std::uint8_t*>(hit) - bytes.data();
    if (LiteralAt(literal, length, bytes, found - index)) return found - index - lo;
    from = found + 1;
    if (++failed > kCandidateAllowance && failed * kSparseCandidateGap > from - lo) {
      // Every start up to the failed candidate's is ruled out.
      const Offset at = FindByPrefixTable(MapLiteral(literal, length, bytes), bytes, found - index + 1);
      return at == kNotFound ? kNotFound : at - lo;
    }
  }
  return kNotFound;
}

// Offset of the required literal within a long window subject[lo, size),
// or kNotFound, in linear time: by memchr for one byte of the literal while
// its candidates are sparse, else by the prefix table. Never inlined: the
// prefix table would give every search, most of which see short addresses,
// a larger frame.
[[gnu::noinline]] Offset FindInLongWindow(const RegexProgram& program, const SearchBytes& bytes,
                                          Offset lo) {
  const std::uint8_t* literal = program.requiredLiteral + 1;
  const Offset length = program.requiredLiteral[0];
  const Offset index = MemchrByteIndex(literal, length, bytes);
  if (index >= 0) return FindByMemchr(program, bytes, lo, index);
  const Offset at = FindByPrefixTable(MapLiteral(literal, length, bytes), bytes, lo);
  return at == kNotFound ? kNotFound : at - lo;
}

// Offset of the program's required literal within subject[lo, size), or
// kNotFound. A short window goes to the skip table or the scan, whose
// worst case the window's length bounds.
Offset FindLiteralInSubject(const RegexProgram& program, const SearchBytes& bytes, Offset lo) {
  if (program.requiredLiteral[0] > 0 && bytes.size() - lo >= kMemchrWindow)
    return FindInLongWindow(program, bytes, lo);
  if (!(program.options & NoSkipSearch) && program.skipTable)
    return FindBySkipTable(program, bytes, lo);
  return FindByScan(program, bytes, lo);
}

// Whether the leading set instruction accepts the subject byte at `at`, as
// the matcher tests it. The set stands before any inline option, so only the
// program's own IgnoreCase folds here: folding because an inline (?i) later
// asked the search to would accept bytes the set refuses, and skip starts.
bool LeadingSetAccepts(const RegexProgram& program, const SearchBytes& bytes, Offset at) {
  const std::uint8_t* set = program.leadingSet;
  const std::uint8_t* table = (program.options & IgnoreCase) ? CaseTable() : nullptr;
  const std::uint8_t c = bytes.Raw(at);
  const bool inSet = ByteSetHas(set, table ? table[c] : c);
  return set[0] == ByteSet ? inSet : !inSet;
}

// Whether a match can depend on where its attempt began other than through
// the text before it: a back-reference sees what a leading .* or set loop
// took ((.*)\1x, ([a-c]+)a\1), and \G tests the start itself. Then neither
// a leading .* (only line starts) nor the leading-set skip (not inside a
// run of the set) may rule positions out.
bool StartMatters(const RegexProgram& program) {
  const std::uint8_t* at = program.code;
  const std::uint8_t* end = program.code + program.codeLength;
  while (at < end) {
    if (*at == BackReference || *at == AtSearchStart) return true;
    const int length = InstructionLength(at, end);
    if (length <= 0) return true;  // unreadable: assume the worst
    at += length;
  }
  return false;
}

// One MatchRegex attempt. With a liveness table, a start from which no
// match can begin is refused without running the matcher.
int Attempt(RegexProgram& program, const char* subject, int size, Offset at,
            RegexRegisters* registers, WorkBudget& budget, const Liveness* liveness = nullptr) {
  if (liveness && !liveness->CanMatchFrom(static_cast<int>(at))) return NoMatch;
  return MatchRegex(program, subject, size, static_cast<int>(at), registers, &budget, liveness);
}

// Positions start, start-1, ..., start+range, for a negative range: no aids.
int SearchBackwards(RegexProgram& program, const char* subject, int size, Offset start,
                    Offset range, RegexRegisters* registers, WorkBudget& budget) {
  const Offset last = start + range < 0 ? 0 : start + range;
  for (Offset at = start; at >= last; --at) {
    const int result = Attempt(program, subject, size, at, registers, budget);
    if (result >= 0) return static_cast<int>(at);
    if (result == MatchStopped) return MatchStopped;
  }
  return NoMatch;
}

// What a forward search does, decided from the program and the range before
// any position is tried: nothing (no position can match), one attempt at
// `start`, or a scan of the positions from `start` on.
enum class SearchKind { NoMatch, OneAttempt, Scan };

// Where the attempt or the scan begins; for a scan, what restrains it.
struct SearchPlan {
  Offset start;       // the one attempt's position, or where the scan begins
  Offset range;       // positions after `start` the scan may still try
  bool anchored;      // matches start only at line starts
  bool lineAnchored;  // ... because the program begins with ^
  bool startMatters;  // see StartMatters
};

// Every match holds the required literal: a window without it is refused
// by one scan instead of backtracking attempts, and a program that begins
// with the literal starts its scan where the literal is.
bool NarrowToRequiredLiteral(const RegexProgram& program, const SearchBytes& bytes,
                             SearchPlan& plan) {
  const Offset found = FindLiteralInSubject(program, bytes, plan.start);
  if (found == kNotFound) return false;
  if (plan.range > 0 && (program.options & StartsWithLiteral)) {
    plan.start += found;
    plan.range -= found;
    if (plan.range < 0) return false;
  }
  return true;
}

// The plan step: the anchors at the start of the code, a leading .*, and the
// required literal. `range` is 0 or more.
SearchKind PlanSearch(const RegexProgram& program, const SearchBytes& bytes, Offset start,
                      Offset range, SearchPlan& plan) {
  const std::uint8_t first =
      program.codeLength > 0 ? program.code[0] : static_cast<std::uint8_t>(NoOperation);
  const bool textStart = first == AtTextStart;
  // Only position 0 can match a program tied to the text start.
  if (textStart && range > 0) {
    if (start > 0) return SearchKind::NoMatch;
    if (program.requiredLiteral && FindLiteralInSubject(program, bytes, 0) == kNotFound)
      return SearchKind::NoMatch;
    plan.start = 0;
    return SearchKind::OneAttempt;
  }
  plan.start = start;
  if (first == AtSearchStart) return SearchKind::OneAttempt;
  plan.range = range;
  plan.anchored = plan.lineAnchored = first == AtLineStart;
  // Scanned only when an aid it restrains is in play.
  plan.startMatters = !textStart &&
                      ((program.options & StartsWithDotRepeat) || program.leadingSet) &&
                      StartMatters(program);
  // A leading .* reaches from the start it is tried at to any later start
  // its dot can cross to: with DotMatchesNewline one attempt at `start`
  // decides; otherwise line starts do. (Taking it for a text-start anchor
  // under SingleLine would miss every match from a start above 0 or after
  // a newline.)
  if (!textStart && (program.options & StartsWithDotRepeat) && !plan.startMatters) {
    if (program.options & DotMatchesNewline) return SearchKind::OneAttempt;
    plan.anchored = true;
  }
  if (program.requiredLiteral && !NarrowToRequiredLiteral(program, bytes, plan))
    return SearchKind::NoMatch;
  return SearchKind::Scan;
}

// Moves the plan's start over bytes no match can begin with, within its range.
void SkipToFastmapByte(const RegexProgram& program, const SearchBytes& bytes, SearchPlan& plan) {
  while (plan.range > 0 && plan.start < bytes.size() &&
         !program.fastmap[bytes.Mapped(plan.start)]) {
    ++plan.start;
    --plan.range;
  }
}

// After a failed attempt at plan.start: an anchored search goes on to the
// next line start, one with a leading set loop past the run of the set
// (each start inside it would fail the same way). The scan then steps one
// further.
void SkipAfterFailedAttempt(const RegexProgram& program, const SearchBytes& bytes,
                            SearchPlan& plan) {
  Offset& start = plan.start;
  Offset& range = plan.range;
  if (plan.anchored && start < bytes.size() && !(start > 0 && bytes.Raw(start - 1) == '\n')) {
    while (range > 0 && start < bytes.size() && bytes.Raw(start) != '\n') {
      ++start;
      --range;
    }
  } else if (program.fastmap && program.leadingSet && !plan.startMatters) {
    while (range > 0 && start < bytes.size() && LeadingSetAccepts(program, bytes, start)) {
      ++start;
      --range;
    }
  }
}

// The scan loop: tries each position from plan.start that the fastmap, the
// anchors, the leading set and the liveness table (when given) leave, until
// a match, the end of the range or a stopped attempt.
int ScanPositions(RegexProgram& program, const char* subject, int size, const SearchBytes& bytes,
                  SearchPlan plan, RegexRegisters* registers, WorkBudget& budget,
                  const Liveness* liveness) {
  for (;;) {
    const Offset before = plan.start;
    if (program.fastmap && plan.start < size && program.canMatchEmpty != EmptyMatch::Possible &&
        !(plan.anchored && plan.start == 0)) {
      if (plan.range > 0) SkipToFastmapByte(program, bytes, plan);
      else if (!program.fastmap[bytes.Mapped(plan.start)]) return NoMatch;
    }
    if (plan.start > size) return NoMatch;
    // The end of a non-empty subject is no line start, but a leading .* may
    // match there.
    if ((plan.lineAnchored || program.canMatchEmpty == EmptyMatch::Never) && plan.range > 0 &&
        size > 0 && plan.start == size)
      return NoMatch;
    const int result = Attempt(program, subject, size, plan.start, registers, budget, liveness);
    if (result >= 0) return static_cast<int>(plan.start);
    if (result == MatchStopped) return MatchStopped;
    if (plan.range > 0) SkipAfterFailedAttempt(program, bytes, plan);
    budget.Charge(ScanSteps(plan.start - before));
    if (budget.spent()) return MatchStopped;
    if (plan.range == 0) return NoMatch;
    ++plan.start;
    --plan.range;
  }
}

// Runs a plan: its one attempt or its scan.
int RunPlan(RegexProgram& program, const char* subject, int size, const SearchBytes& bytes,
            SearchKind kind, const SearchPlan& plan, RegexRegisters* registers,
            WorkBudget& budget, const Liveness* liveness) {
  if (kind == SearchKind::Scan)
    return ScanPositions(program, subject, size, bytes, plan, registers, budget, liveness);
  const int result = Attempt(program, subject, size, plan.start, registers, budget, liveness);
  return result >= 0 ? static_cast<int>(plan.start) : result;
}

// The first run of a plan gets this much of the budget: plenty for an
// ordinary search (rule searches of ordinary addresses take at most about a
// hundred steps); one that needs more is likely to backtrack far, and is run
// again with the liveness table (GuardedRun). The probe is what such a
// search may waste: about what the table itself costs.
constexpr std::int64_t kProbeBaseSteps = 1000;
constexpr std::int64_t kProbeStepsPerByte = 1;

// The plan again, with the liveness table of the program's automaton: the
// starts from which nothing can match are skipped, and so are the matcher
// states from which nothing can. Same answer, same registers. Programs
// without an automaton (back-references), and searches whose table cannot be
// had, run as before, on the budget alone. Never inlined: its table would
// give every search, most of which never come here, a larger frame.
//
// The table may cost at most half of what the probe left beyond its own
// cost again. One that would cost more (a large program over a long
// subject) is given up, and the plan runs plainly on the rest: so the
// search stops only where the plain search would have needed about half
// its budget or more, never because of the table.
[[gnu::noinline]] int GuardedRun(RegexProgram& program, const char* subject, int size,
                                 const SearchBytes& bytes, SearchKind kind,
                                 const SearchPlan& plan, RegexRegisters* registers,
                                 std::int64_t probeUsed, WorkBudget& budget) {
  const Automaton* automaton = ProgramAutomaton(program);
  if (!automaton) return RunPlan(program, subject, size, bytes, kind, plan, registers, budget, nullptr);
  Liveness liveness;
  const int from = static_cast<int>(plan.start);
  const int attemptStart = kind == SearchKind::OneAttempt ? from : -1;
  const std::int64_t tableCap = (budget.left - probeUsed) / 2;
  WorkBudget table{tableCap};
  const bool computed = tableCap > 0 &&
                        liveness.Compute(*automaton, bytes.data(), size, from, attemptStart, true, table);
  budget.Charge(tableCap - table.left);
  if (budget.spent()) return MatchStopped;
  return RunPlan(program, subject, size, bytes, kind, plan, registers, budget,
                 computed ? &liveness : nullptr);
}

bool plainSearchForTesting = false;

// A plan is first run plainly on a probe budget; only a run that uses up
// the probe goes on to GuardedRun (the probe's work is charged either way).
int ProbeThenGuard(RegexProgram& program, const char* subject, int size, const SearchBytes& bytes,
                   SearchKind kind, const SearchPlan& plan, RegexRegisters* registers,
                   WorkBudget& budget) {
  if (plainSearchForTesting)
    return RunPlan(program, subject, size, bytes, kind, plan, registers, budget, nullptr);
  const std::int64_t wanted = kProbeBaseSteps + kProbeStepsPerByte * (size - plan.start + 1);
  WorkBudget probe{wanted < budget.left ? wanted : budget.left};
  const std::int64_t granted = probe.left;
  const int result = RunPlan(program, subject, size, bytes, kind, plan, registers, probe, nullptr);
  budget.Charge(granted - probe.left);
  // A stop with probe left over came from the stack or memory, which the
  // guarded run would meet as well.
  if (result != MatchStopped || !probe.spent()) return result;
  if (budget.spent()) return MatchStopped;
  return GuardedRun(program, subject, size, bytes, kind, plan, registers, granted - probe.left,
                    budget);
}

}  // namespace

void SetPlainSearchForTesting(bool plain) {
  plainSearchForTesting = plain;
  SetPlainMatchForTesting(plain);
}

int SearchRegex(RegexProgram& program, const char* subject, int size, int start, int range,
                RegexRegisters* registers, WorkBudget* budget) {
  WorkBudget ownBudget{SearchWorkBudget};
  WorkBudget& used = budget ? *budget : ownBudget;
  if (start < 0 || start > size || !program.code) return NoMatch;
  if (program.fastmap && !program.fastmapValid) CompileFastmap(program);
  if (range < 0) return SearchBackwards(program, subject, size, start, range, registers, used);

  // The plan may read the subject once for the required literal.
  if (program.requiredLiteral) used.Charge(ScanSteps(size - start));
  const SearchBytes bytes(program, subject, size);
  SearchPlan plan;
  const SearchKind kind = PlanSearch(program, bytes, start, range, plan);
  if (kind == SearchKind::NoMatch) return NoMatch;
  if (used.spent()) return MatchStopped;
  return ProbeThenGuard(program, subject, size, bytes, kind, plan, registers, used);
}

}  // namespace fromsel::regex
