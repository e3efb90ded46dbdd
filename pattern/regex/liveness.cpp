// The backward pass. At each position, from the end of the subject down,
// the live states are found from the ones that surely are: the Match state,
// and every Byte state that accepts the byte there and leads to a state live
// one position on. From those the pass walks the epsilon edges backwards,
// an Assert state joining only where its assertion holds. What a position
// gives depends on nothing else, so each such step is remembered.
#include "pattern/regex/liveness.h"

#include <algorithm>
#include <new>

#include "pattern/regex/match.h"

namespace fromsel::regex {

namespace {

// States and edges visited per step charged: each is a bit test and a
// store, well below what one matcher instruction costs.
constexpr std::int64_t kVisitsPerStep = 4;
// Steps charged per position besides the visits: reading the kind of the
// position and the remembered move costs about what a matcher instruction
// does (measured on the benchmarks' machine).
constexpr std::int64_t kStepsPerPosition = 1;
// The pass charges its work every so many positions, or sooner once it has
// visited this many states and edges: a caller's cap on the pass then holds
// to within one batch, however large the automaton.
constexpr std::int64_t kPositionsPerCharge = 1024;
constexpr std::int64_t kVisitsPerCharge = 4096;
// Bits of distinct live sets a pass keeps (1 MiB), and blocks of remembered
// moves (256 entries each, 1 MiB in all); past them, positions are worked
// out directly, and the sets for the matcher are not kept.
constexpr std::int64_t kMaxSetBits = std::int64_t{1} << 23;
constexpr std::int64_t kMaxMoveBlocks = 1024;
// Kinds of positions told apart per set; a kind past them is worked out
// each time.
constexpr int kMaxContexts = 16;
// What the assertions read of a position, one bit each.
enum PositionFeature : std::uint32_t {
  TextStart = 1,
  TextEnd = 2,
  LastByte = 4,        // the position of the subject's last byte
  NewlineBefore = 8,
  NewlineHere = 16,
  WordBefore = 32,
  WordHere = 64,
  SearchStart = 128,   // the one position attempts begin at
};
constexpr int kPositionKinds = 256;
constexpr int kByteValues = 256;
constexpr std::int32_t kUnknown = -1;
// Slots of the set index at first; it doubles when half full.
constexpr std::size_t kFirstIndexSlots = 64;

bool TestBit(const std::uint64_t* row, std::int32_t state) {
  return (row[state >> 6] >> (state & 63)) & 1;
}

void SetBit(std::uint64_t* row, std::int32_t state) {
  row[state >> 6] |= std::uint64_t{1} << (state & 63);
}

// One position's row, found from the row one position on (null at the end).
class RowFiller {
 public:
  RowFiller(const Automaton& automaton, const std::uint8_t* subject, int size, int attemptStart)
      : automaton_(automaton), subject_(subject), size_(size), attemptStart_(attemptStart) {
    stack_.reserve(static_cast<std::size_t>(automaton.stateCount()));
  }

  // Fills `row` for position `at`; returns the states and edges visited.
  std::int64_t Fill(std::uint64_t* row, const std::uint64_t* after, std::int64_t words, int at);

 private:
  void Mark(std::uint64_t* row, std::int32_t state) {
    SetBit(row, state);
    stack_.push_back(state);
  }
  std::int64_t SeedBytes(std::uint64_t* row, const std::uint64_t* after, std::int64_t words,
                         std::uint8_t c);
  std::int64_t WalkBack(std::uint64_t* row, int at);

  const Automaton& automaton_;
  const std::uint8_t* subject_;
  int size_;
  int attemptStart_;
  std::vector<std::int32_t> stack_;
};

// The Byte states that accept `c` and lead into the row after.
std::int64_t RowFiller::SeedBytes(std::uint64_t* row, const std::uint64_t* after,
                                  std::int64_t words, std::uint8_t c) {
  std::int64_t visits = 0;
  for (std::int64_t w = 0; w < words; ++w) {
    for (std::uint64_t bits = after[w]; bits != 0; bits &= bits - 1) {
      const auto next = static_cast<std::int32_t>(w * 64 + __builtin_ctzll(bits));
      for (const std::int32_t* b = automaton_.bytePredecessors.begin(next);
           b != automaton_.bytePredecessors.end(next); ++b) {
        ++visits;
        if (!TestBit(row, *b) && automaton_.ClassOf(automaton_.states[*b]).Has(c)) Mark(row, *b);
      }
    }
  }
  return visits;
}

std::int64_t RowFiller::WalkBack(std::uint64_t* row, int at) {
  std::int64_t visits = 0;
  while (!stack_.empty()) {
    const std::int32_t state = stack_.back();
    stack_.pop_back();
    for (const std::int32_t* p = automaton_.epsilonPredecessors.begin(state);
         p != automaton_.epsilonPredecessors.end(state); ++p) {
      ++visits;
      if (TestBit(row, *p)) continue;
      const AutomatonState& before = automaton_.states[*p];
      if (before.kind == StateKind::Assert &&
          !PositionAssertionHolds(before.assertion, subject_, size_, at, attemptStart_))
        continue;
      Mark(row, *p);
    }
  }
  return visits;
}

std::int64_t RowFiller::Fill(std::uint64_t* row, const std::uint64_t* after, std::int64_t words,
                             int at) {
  std::fill(row, row + words, 0);
  std::int64_t visits = words;
  Mark(row, automaton_.match);
  if (after) visits += SeedBytes(row, after, words, subject_[at]);
  return visits + WalkBack(row, at);
}

}  // namespace

// The pass itself: live sets are interned, and each (set one position on,
// kind of position, byte) remembers the set it led to. Past the caps
// on sets and remembered moves, positions are worked out directly.
class BackwardPass {
 public:
  BackwardPass(Liveness& out, const std::uint8_t* subject, int size, int attemptStart)
      : out_(out), automaton_(*out.automaton_), subject_(subject), size_(size),
        attemptStart_(attemptStart), words_(out.words_),
        filler_(automaton_, subject, size, attemptStart) {
    FindAssertionKinds();
    maxSets_ = kMaxSetBits / (words_ * 64) > 1 ? kMaxSetBits / (words_ * 64) : 1;
    index_.assign(kFirstIndexSlots, kUnknown);
  }

  bool Run(bool keepSets, WorkBudget& budget);

 private:
  void FindAssertionKinds();
  std::uint32_t KindOfPosition(int at) const;
  std::int32_t Intern(const std::uint64_t* row);
  std::uint64_t HashOf(const std::uint64_t* row) const;
  void Place(std::uint64_t hash, std::int32_t set);
  void GrowIndex();
  std::int32_t* MoveFor(std::int32_t set, std::uint32_t kind, std::uint8_t byte);
  const std::uint64_t* SetRow(std::int32_t set) const { return out_.sets_.data() + set * words_; }
  bool Charge(WorkBudget& budget, bool last);

  Liveness& out_;
  const Automaton& automaton_;
  const std::uint8_t* subject_;
  int size_;
  int attemptStart_;
  std::int64_t words_;
  RowFiller filler_;
  std::uint32_t features_ = 0;              // PositionFeature bits the assertions read
  std::int32_t contextIndex_[kPositionKinds];  // per kind of position: its index, or kUnknown
  int contexts_ = 0;
  std::int64_t maxSets_ = 1;
  std::vector<std::int32_t> index_;      // open addressing: set numbers by their hash
  std::vector<std::int32_t> blockOf_;    // per (set, context): its block of moves, or kUnknown
  std::vector<std::int32_t> moves_;      // blocks of 256: the set each byte led to, or kUnknown
  std::int64_t visits_ = 0;              // states and edges visited, not yet charged
  std::int64_t positions_ = 0;           // positions passed, not yet charged
};

// The features of a position that the automaton's assertions read.
void BackwardPass::FindAssertionKinds() {
  features_ = TextStart | TextEnd;
  for (const AutomatonState& state : automaton_.states) {
    if (state.kind != StateKind::Assert) continue;
    switch (state.assertion) {
      case AtLineStart: case AtLineEnd: case AtTextEndOrFinalNewline:
        features_ |= LastByte | NewlineBefore | NewlineHere;
        break;
      case AtSearchStart:
        features_ |= SearchStart;
        break;
      case AtWordStart: case AtWordEnd: case AtWordBoundary: case NotAtWordBoundary:
        features_ |= WordBefore | WordHere;
        break;
      default:
        break;
    }
  }
  std::fill(std::begin(contextIndex_), std::end(contextIndex_), kUnknown);
}

// What an assertion can tell about position `at`: two positions of the same
// kind (in one subject) satisfy the same assertions.
std::uint32_t BackwardPass::KindOfPosition(int at) const {
  std::uint32_t kind = 0;
  if (at == 0) kind |= TextStart;
  if (at == size_) kind |= TextEnd;
  if (features_ & LastByte) {
    if (at == size_ - 1) kind |= LastByte;
    if (at > 0 && subject_[at - 1] == '\n') kind |= NewlineBefore;
    if (at < size_ && subject_[at] == '\n') kind |= NewlineHere;
  }
  if (features_ & WordBefore) {
    const std::uint8_t* words = WordTable();
    if (at > 0 && words[subject_[at - 1]] == 1) kind |= WordBefore;
    if (at < size_ && words[subject_[at]] == 1) kind |= WordHere;
  }
  if ((features_ & SearchStart) && at == attemptStart_) kind |= SearchStart;
  return kind;
}

std::uint64_t BackwardPass::HashOf(const std::uint64_t* row) const {
  std::uint64_t hash = 0x9E3779B97F4A7C15u;
  for (std::int64_t w = 0; w < words_; ++w) hash = (hash ^ row[w]) * 0xFF51AFD7ED558CCDu;
  return hash ^ (hash >> 29);
}

void BackwardPass::Place(std::uint64_t hash, std::int32_t set) {
  const std::size_t mask = index_.size() - 1;
  std::size_t slot = static_cast<std::size_t>(hash) & mask;
  while (index_[slot] != kUnknown) slot = (slot + 1) & mask;
  index_[slot] = set;
}

// Doubles the index once it is half full.
void BackwardPass::GrowIndex() {
  index_.assign(index_.size() * 2, kUnknown);
  const auto count = static_cast<std::int32_t>(static_cast<std::int64_t>(out_.sets_.size()) / words_);
  for (std::int32_t set = 0; set < count; ++set) Place(HashOf(SetRow(set)), set);
}

// The number of the set `row` holds, kept if new; kUnknown when no more
// sets may be kept.
std::int32_t BackwardPass::Intern(const std::uint64_t* row) {
  const std::uint64_t hash = HashOf(row);
  const std::size_t mask = index_.size() - 1;
  for (std::size_t slot = static_cast<std::size_t>(hash) & mask; index_[slot] != kUnknown;
       slot = (slot + 1) & mask) {
    if (std::equal(row, row + words_, SetRow(index_[slot]))) return index_[slot];
  }
  const auto count = static_cast<std::int64_t>(out_.sets_.size()) / words_;
  if (count >= maxSets_) return kUnknown;
  out_.sets_.insert(out_.sets_.end(), row, row + words_);
  blockOf_.resize(static_cast<std::size_t>((count + 1) * kMaxContexts), kUnknown);
  if (2 * (count + 1) > static_cast<std::int64_t>(index_.size())) GrowIndex();
  else Place(hash, static_cast<std::int32_t>(count));
  return static_cast<std::int32_t>(count);
}

// Where the move from `set` on `byte` at a position of this kind is
// remembered, or null when it cannot be.
std::int32_t* BackwardPass::MoveFor(std::int32_t set, std::uint32_t kind, std::uint8_t byte) {
  std::int32_t& index = contextIndex_[kind];
  if (index == kUnknown) {
    if (contexts_ == kMaxContexts) return nullptr;
    index = contexts_++;
  }
  std::int32_t& block = blockOf_[static_cast<std::size_t>(set) * kMaxContexts + index];
  if (block == kUnknown) {
    if (moves_.size() >= static_cast<std::size_t>(kMaxMoveBlocks) * kByteValues) return nullptr;
    block = static_cast<std::int32_t>(moves_.size() / kByteValues);
    moves_.resize(moves_.size() + kByteValues, kUnknown);
  }
  return &moves_[static_cast<std::size_t>(block) * kByteValues + byte];
}

// Charges what was done since the last charge, every so many positions.
bool BackwardPass::Charge(WorkBudget& budget, bool last) {
  if (!last && positions_ < kPositionsPerCharge && visits_ < kVisitsPerCharge)
    return !budget.spent();
  budget.Charge(visits_ / kVisitsPerStep + positions_ * kStepsPerPosition + 1);
  visits_ = 0;
  positions_ = 0;
  return !budget.spent();
}

bool BackwardPass::Run(bool keepSets, WorkBudget& budget) {
  std::vector<std::uint64_t> row(static_cast<std::size_t>(words_));
  std::vector<std::uint64_t> after(static_cast<std::size_t>(words_));
  std::int32_t afterSet = kUnknown;  // the set one position on, when interned
  // Where the last block of moves read starts (moves_ may move when it
  // grows) and what it is for: runs of positions of one kind that keep the
  // same set, the usual case, read it directly.
  std::int64_t lastBlock = kUnknown;
  std::int32_t lastSet = kUnknown;
  std::uint32_t lastKind = 0;
  for (int at = size_; at >= out_.from_; --at) {
    ++positions_;
    std::int32_t* move = nullptr;
    if (at < size_ && afterSet != kUnknown) {
      const std::uint32_t kind = KindOfPosition(at);
      if (lastBlock != kUnknown && afterSet == lastSet && kind == lastKind) {
        move = moves_.data() + lastBlock + subject_[at];
      } else {
        move = MoveFor(afterSet, kind, subject_[at]);
        lastBlock = move ? move - subject_[at] - moves_.data() : kUnknown;
        lastSet = afterSet;
        lastKind = kind;
      }
    }
    std::int32_t set = move ? *move : kUnknown;
    if (set == kUnknown) {
      const std::uint64_t* next = at == size_ ? nullptr : afterSet != kUnknown ? SetRow(afterSet) : after.data();
      visits_ += filler_.Fill(row.data(), next, words_, at);
      set = Intern(row.data());
      if (move) *move = set;
    }
    const std::uint64_t* live = set != kUnknown ? SetRow(set) : row.data();
    const std::int64_t i = at - out_.from_;
    if (TestBit(live, automaton_.start))
      out_.liveStarts_[static_cast<std::size_t>(i >> 6)] |= std::uint64_t{1} << (i & 63);
    if (keepSets && set == kUnknown) {  // more distinct sets than kept: none kept
      keepSets = false;
      out_.setAt_.clear();
    }
    if (keepSets) out_.setAt_[static_cast<std::size_t>(i)] = set;
    if (set == kUnknown) std::copy(row.begin(), row.end(), after.begin());
    afterSet = set;
    if (!Charge(budget, at == out_.from_)) return false;
  }
  return true;
}

bool Liveness::Compute(const Automaton& automaton, const std::uint8_t* subject, int size,
                       int from, int attemptStart, bool keepSets, WorkBudget& budget) {
  automaton_ = &automaton;
  from_ = from;
  words_ = (automaton.stateCount() + 63) / 64;
  const std::int64_t positions = static_cast<std::int64_t>(size) - from + 1;
  try {
    sets_.clear();
    setAt_.clear();
    keepSets = keepSets && positions <= MaxLivenessPositions;
    if (keepSets) setAt_.assign(static_cast<std::size_t>(positions), 0);
    liveStarts_.assign(static_cast<std::size_t>((positions + 63) / 64), 0);
    BackwardPass pass(*this, subject, size, attemptStart);
    return pass.Run(keepSets, budget);
  } catch (const std::bad_alloc&) {
    setAt_.clear();
    return false;
  }
}

}  // namespace fromsel::regex
