// A readable listing of regex byte code, for tests and debugging.
#pragma once

#include <cstdint>
#include <string>

#include "pattern/regex/program.h"

namespace fromsel::regex {

// One line per instruction: "OFFSET: Name operands", jumps as "-> TARGET"
// (the resolved offset). Examples:
//   0: PushBacktrack -> 9
//   3: LiteralRun "ab\!A"        (\! marks an escape pair; its byte follows)
//   6: ByteSet [0-9] L=8
//   9: CountedRepeatStart -> 23 count 2
//  14: CaptureStart 1 span 1
// Non-printable bytes show as \xHH. An instruction cut off by the end of
// the code is listed as "OFFSET: Name (cut off)" and ends the listing.
std::string Disassemble(const std::uint8_t* code, int length);
std::string Disassemble(const RegexProgram& program);

}  // namespace fromsel::regex
