#include <cstdio>
#include <ostream>
#include <string>

#include "pattern/regex/compile.h"
#include "pattern/regex/program.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {

namespace {

std::string OffsetOrNone(const regex::RegexProgram& program, const std::uint8_t* at) {
  return at == nullptr ? "none" : std::to_string(at - program.code);
}

std::string HexBytes(const std::uint8_t* bytes, int length) {
  std::string text;
  char hex[4];
  for (int i = 0; i < length; ++i) {
    std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
    text += hex;
  }
  return text;
}

}  // namespace

int RunCompile(Arguments& args, Output& io) {
  const std::int64_t options = args.TakeNumber("--options", 0);
  if (options < 0 || options > 0xFFFFFFFF) throw CliError{ExitUsage, "--options out of range"};
  const std::string pattern = args.Bytes(args.Positionals(1, 1)[0]);

  // The plug-in installs the case table at start; so does every command.
  regex::InstallCaseTable();
  const regex::RegexProgramOwner program(static_cast<std::uint32_t>(options));
  if (!program) {
    io.out << "error: memory exhausted\n";
    return ExitNo;
  }
  if (const char* error = regex::CompileRegex(pattern.data(), pattern.size(), *program)) {
    io.out << "error: " << error << "\n";
    return ExitNo;
  }
  char optionsText[16];
  std::snprintf(optionsText, sizeof optionsText, "0x%04X", static_cast<unsigned>(program->options));
  io.out << "code:" << HexBytes(program->code, program->codeLength) << "\n"
         << "registers: " << program->registerCount << "\n"
         << "options: " << optionsText << "\n"
         << "required: " << OffsetOrNone(*program, program->requiredLiteral) << "\n"
         << "leading-set: " << OffsetOrNone(*program, program->leadingSet) << "\n";
  return ExitYes;
}

}  // namespace fromsel::cli
