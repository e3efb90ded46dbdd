// The backward pass. At each position, from the end of the subject down,
// the live states are found from the ones that surely are: the Match state,
// and every Byte state that accepts the byte there and leads to a state live
// one position on. From those the pass walks the epsilon edges backwards,
// an Assert state joining only where its assertion holds.
#include "pattern/regex/liveness.h"

#include <algorithm>
#include <new>

#include "pattern/regex/match.h"

namespace fromsel::regex {

namespace {

// States and edges visited per step charged: each is a bit test and a
// store, well below what one matcher instruction costs.
constexpr std::int64_t kVisitsPerStep = 4;

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

bool Liveness::Compute(const Automaton& automaton, const std::uint8_t* subject, int size,
                       int from, int attemptStart, bool keepRows, WorkBudget& budget) {
  automaton_ = &automaton;
  from_ = from;
  words_ = (automaton.stateCount() + 63) / 64;
  const std::int64_t positions = static_cast<std::int64_t>(size) - from + 1;
  try {
    rows_.clear();
    if (keepRows && positions * words_ * 64 <= MaxLivenessRowBits)
      rows_.assign(static_cast<std::size_t>(positions * words_), 0);
    liveStarts_.assign(static_cast<std::size_t>((positions + 63) / 64), 0);
    return Pass(subject, size, attemptStart, budget);
  } catch (const std::bad_alloc&) {
    rows_.clear();
    return false;
  }
}

bool Liveness::Pass(const std::uint8_t* subject, int size, int attemptStart, WorkBudget& budget) {
  RowFiller filler(*automaton_, subject, size, attemptStart);
  // Without kept rows, two rows take turns.
  std::vector<std::uint64_t> turns(rows_.empty() ? static_cast<std::size_t>(2 * words_) : 0);
  auto rowOf = [&](int at) {
    const std::int64_t i = at - from_;
    return rows_.empty() ? turns.data() + (i & 1) * words_ : rows_.data() + i * words_;
  };
  for (int at = size; at >= from_; --at) {
    std::uint64_t* row = rowOf(at);
    const std::uint64_t* after = at < size ? rowOf(at + 1) : nullptr;
    budget.Charge(filler.Fill(row, after, words_, at) / kVisitsPerStep);
    if (budget.spent()) return false;
    if (TestBit(row, automaton_->start)) {
      const std::int64_t i = at - from_;
      liveStarts_[static_cast<std::size_t>(i >> 6)] |= std::uint64_t{1} << (i & 63);
    }
  }
  return true;
}

}  // namespace fromsel::regex
