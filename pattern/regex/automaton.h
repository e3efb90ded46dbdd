// The program's automaton: a byte-level NFA read off the byte code, without
// counters or registers, that accepts every match the matcher can find and
// perhaps more. To stay a plain NFA it reads the code loosely:
//   - a counted repeat loops any number of times, compulsory passes too;
//   - a pass that consumes nothing may go round again (the matcher fails it);
//   - a look-ahead is taken as empty, an atomic group as a plain group, and a
//     loop the matcher makes possessive as an ordinary loop;
//   - where IgnoreCase or DotMatchesNewline may or may not be in force
//     (inline options), a byte test accepts what either reading accepts.
// The position assertions (line and text ends, word boundaries, the search
// start) are kept exactly. A program with a back-reference to one of its
// groups is not regular and has no automaton.
//
// Because the matcher only ever matches what the automaton accepts, a
// subject the automaton rejects is rejected without backtracking, and a
// matcher state from which the automaton cannot reach the end can be
// skipped (liveness.h says where that leaves the answer unchanged).
#pragma once

#include <cstdint>
#include <vector>

#include "pattern/regex/program.h"

namespace fromsel::regex {

enum class StateKind : std::uint8_t {
  Byte,    // consumes one byte of its class, then goes to next
  Split,   // goes to any of its successors, consuming nothing
  Assert,  // goes to next when its position assertion holds
  Match,   // the end of the code: the program has matched
  Dead,    // goes nowhere (a failing instruction)
};

// A set of byte values.
struct ByteClass {
  std::uint64_t bits[4] = {0, 0, 0, 0};

  bool Has(std::uint8_t c) const { return (bits[c >> 6] >> (c & 63)) & 1; }
  void Add(std::uint8_t c) { bits[c >> 6] |= std::uint64_t{1} << (c & 63); }
};

struct AutomatonState {
  StateKind kind = StateKind::Dead;
  std::uint8_t assertion = 0;  // Assert: the assertion's opcode
  std::int32_t byteClass = 0;  // Byte: index into Automaton::classes
  std::int32_t next = -1;      // Byte, Assert: the state that follows
  std::int32_t firstEdge = 0;  // Split: successors in Automaton::edges
  std::int32_t edgeCount = 0;
};

// Compressed lists, one per state: items of state s are
// items[starts[s] .. starts[s + 1]).
struct StateLists {
  std::vector<std::int32_t> starts;
  std::vector<std::int32_t> items;

  const std::int32_t* begin(std::int32_t s) const { return items.data() + starts[s]; }
  const std::int32_t* end(std::int32_t s) const { return items.data() + starts[s + 1]; }
};

struct Automaton {
  std::vector<AutomatonState> states;
  std::vector<std::int32_t> edges;  // successors of the Split states
  std::vector<ByteClass> classes;
  // For the backward pass: the Split and Assert states that lead to a state
  // directly, and the Byte states whose next it is.
  StateLists epsilonPredecessors;
  StateLists bytePredecessors;
  // Per code offset (codeLength + 1 entries): the state an instruction
  // begins with, -1 inside an instruction.
  std::vector<std::int32_t> stateOfOffset;
  // Per code offset: every state of the instruction there, the copies of
  // compulsory passes included (see BuildAutomaton).
  StateLists statesOfOffset;
  // Per code offset: 1 where the matcher may give up a state from which the
  // automaton cannot reach the end without changing its answer (see
  // liveness.h); 0 inside look-aheads, atomic groups and possessive loops.
  std::vector<std::uint8_t> skippable;
  std::int32_t start = 0;  // the state of the first instruction
  std::int32_t match = 0;  // the Match state

  std::int32_t stateCount() const { return static_cast<std::int32_t>(states.size()); }
  const ByteClass& ClassOf(const AutomatonState& state) const { return classes[state.byteClass]; }
};

// The automaton of a compiled program, or null for a program that is not
// regular (a back-reference to one of its groups), for code it cannot read
// and when memory runs out. The first passes of a counted repeat that are
// compulsory are copies of its body ahead of its loop, so that its lower
// bound is kept (up to a few copies). The code may already carry the
// matcher's rewrites. The caller owns the result (ReleaseAutomaton).
Automaton* BuildAutomaton(const RegexProgram& program);
void ReleaseAutomaton(Automaton* automaton);

// The program's automaton, built at the first call and kept in the program
// (released with it). Null as for BuildAutomaton, then and at every later
// call.
const Automaton* ProgramAutomaton(RegexProgram& program);

}  // namespace fromsel::regex
