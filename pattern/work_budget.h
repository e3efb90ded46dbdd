// A deterministic count of work shared by the pattern engines: what a
// caller grants one search, or a whole reply's rule tests. The engines
// charge the work they do (the matcher's instructions, the register words
// they copy and the backtrack stack they grow into, the bytes a scan
// reads, the wildcard matcher's steps), and stop once it is spent; the
// caller decides what that means.
#pragma once

#include <cstdint>

namespace fromsel {

struct WorkBudget {
  std::int64_t left = 0;

  void Charge(std::int64_t steps) { left -= steps; }
  bool spent() const { return left < 0; }
};

// Bytes a scan reads per step charged: a scan's step costs a few bytes of
// reading, where a matcher instruction costs one byte or one jump.
inline constexpr std::int64_t ScanBytesPerStep = 8;

// The steps of reading `bytes` bytes in a scan, at least one. Counts are
// never negative; read as unsigned, the division is a shift, and a count
// that were negative would spend the budget instead of refunding it.
inline std::int64_t ScanSteps(std::int64_t bytes) {
  return 1 + static_cast<std::int64_t>(static_cast<std::uint64_t>(bytes) / ScanBytesPerStep);
}

// Counts the steps of a tight loop and charges them to a budget (if any)
// in batches, so that the loop pays a counter, not a budget check, per step.
class StepMeter {
 public:
  explicit StepMeter(WorkBudget* budget) : budget_(budget) {}
  ~StepMeter() { Flush(); }
  StepMeter(const StepMeter&) = delete;
  StepMeter& operator=(const StepMeter&) = delete;

  // False once the budget is spent.
  bool Step(std::int64_t steps = 1) {
    pending_ += steps;
    return pending_ < kBatch || Flush();
  }
  bool Flush() {
    if (budget_) budget_->Charge(pending_);
    pending_ = 0;
    return !budget_ || !budget_->spent();
  }

 private:
  // Steps counted before the budget is charged and checked.
  static constexpr std::int64_t kBatch = 256;
  WorkBudget* budget_;
  std::int64_t pending_ = 0;
};

}  // namespace fromsel
