#include "pattern/regex/disasm.h"

#include <cstdio>

namespace fromsel::regex {

namespace {

// Entries of a byte-indexed table.
constexpr int ByteValues = 256;

void AppendByte(std::string& out, std::uint8_t c, const char* specials) {
  bool special = false;
  for (const char* s = specials; *s != '\0'; ++s) special = special || c == static_cast<std::uint8_t>(*s);
  if (special) {
    out += '\\';
    out += static_cast<char>(c);
  } else if (c >= 0x20 && c < 0x7F) {
    out += static_cast<char>(c);
  } else {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    out += hex;
  }
}

void AppendNumber(std::string& out, long value) { out += std::to_string(value); }

long Offset(const std::uint8_t* code, const std::uint8_t* at) { return static_cast<long>(at - code); }

void AppendTarget(std::string& out, const std::uint8_t* code, const std::uint8_t* field) {
  out += " -> ";
  AppendNumber(out, Offset(code, JumpTarget(field)));
}

void AppendLiteral(std::string& out, const std::uint8_t* at) {
  const int length = at[1];
  out += " \"";
  for (int i = 0; i < length; ++i) {
    const std::uint8_t c = at[2 + i];
    if (c == LiteralEscape && i + 1 < length) {
      out += "\\!";
      AppendByte(out, at[2 + ++i], "\"\\");
    } else {
      AppendByte(out, c, "\"\\");
    }
  }
  out += '"';
}

// Members as ranges: "[a-cx]"; runs of three or more bytes are shortened.
void AppendSet(std::string& out, const std::uint8_t* at) {
  out += " [";
  int c = 0;
  while (c < ByteValues) {
    if (!ByteSetHas(at, static_cast<std::uint8_t>(c))) {
      ++c;
      continue;
    }
    int last = c;
    while (last + 1 < ByteValues && ByteSetHas(at, static_cast<std::uint8_t>(last + 1))) ++last;
    AppendByte(out, static_cast<std::uint8_t>(c), "]\\-^");
    if (last - c >= 2) out += '-';
    if (last > c) AppendByte(out, static_cast<std::uint8_t>(last), "]\\-^");
    c = last + 1;
  }
  out += "] L=";
  AppendNumber(out, at[1]);
  const int ranges = ReadU16(at + SetHeaderWidth + at[1]);
  if (ranges != 0) {
    out += " ranges=";
    AppendNumber(out, ranges);
  }
}

void AppendOperands(std::string& out, const std::uint8_t* code, const std::uint8_t* at) {
  switch (at[0]) {
    case LiteralRun:
      AppendLiteral(out, at);
      break;
    case Goto: case AlternativeExit: case PushBacktrack: case PopBacktrackAndGoto:
    case GreedyLoopEnd: case GotoWithMarker: case LazySkip: case LazyLoopEnd:
    case AssertionStart:
      AppendTarget(out, code, at + DisplacementAt);
      break;
    case CountedRepeatStart: case CountedLoopEnd: case LazyCountedLoopEnd:
      AppendTarget(out, code, at + DisplacementAt);
      out += " count ";
      AppendNumber(out, ReadU16(at + CountAt));
      break;
    case SetCounter:
      AppendTarget(out, code, at + DisplacementAt);
      out += " value ";
      AppendNumber(out, ReadU16(at + CountAt));
      break;
    case ByteSet: case NegatedByteSet:
      AppendSet(out, at);
      break;
    case CaptureStart: case CaptureEnd:
      out += ' ';
      AppendNumber(out, at[GroupAt]);
      out += " span ";
      AppendNumber(out, at[GroupAt + 1]);
      break;
    case SetRunOptions: {
      char hex[8];
      std::snprintf(hex, sizeof hex, " 0x%02x", at[1]);
      out += hex;
      break;
    }
    case LookAheadEnd: case AtomicGroupEnd:
      out += " slot ";
      AppendNumber(out, ReadU16(at + SlotAt));
      break;
    case BackReference:
      out += ' ';
      AppendNumber(out, at[GroupAt]);
      break;
    default:
      break;
  }
}

}  // namespace

std::string Disassemble(const std::uint8_t* code, int length) {
  std::string out;
  if (code == nullptr || length <= 0) return out;
  const std::uint8_t* end = code + length;
  const std::uint8_t* at = code;
  while (at < end) {
    AppendNumber(out, Offset(code, at));
    out += ": ";
    out += OpcodeName(at[0]);
    const int instructionLength = InstructionLength(at, end);
    if (instructionLength == 0) {
      out += " (cut off)\n";
      break;
    }
    AppendOperands(out, code, at);
    out += '\n';
    at += instructionLength;
  }
  return out;
}

std::string Disassemble(const RegexProgram& program) {
  return Disassemble(program.code, program.codeLength);
}

}  // namespace fromsel::regex
