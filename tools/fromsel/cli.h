// Shared plumbing of the fromsel command: argument reading, exit codes and
// output. Every command is a function from its arguments to an exit code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace fromsel::cli {

enum ExitCode : int {
  ExitYes = 0,
  ExitNo = 1,
  ExitGaveUp = 2,        // a search stopped before an answer (over its budget)
  ExitCompileError = 3,  // the regular expression does not compile
  ExitUsage = 64,
  ExitNoInput = 66,
  ExitInternal = 70,     // a fault of fromsel itself; never expected
  ExitCannotWrite = 74,  // the output could not be written
};

// Largest input read whole (a message or a settings file): far above any
// real message, small enough that a wrong file fails quickly.
inline constexpr std::size_t MaxInputBytes = std::size_t{256} << 20;

// Longest line of `search --batch` input: far above any pattern and subject
// a script tests (JSON escapes included), small enough that a line without
// end is refused before it fills memory.
inline constexpr std::size_t MaxBatchLineBytes = std::size_t{16} << 20;

// A usage or input error: printed as one line "fromsel: REASON" on stderr.
struct CliError {
  int code;
  std::string reason;
};

struct Output {
  std::ostream& out;
  std::ostream& err;
  std::istream& in;
};

// The arguments after the command name, with --hex already taken out.
// Options come before a "--" argument, which ends them: what follows it
// is positional whatever it looks like.
class Arguments {
 public:
  // `usage` is the command's usage line: it names the positionals.
  Arguments(std::vector<std::string> args, bool hex, std::string usage = "");

  // Removes a flag; true when it was present.
  bool TakeFlag(const std::string& name);
  // Removes an option with a value ("--options N" or "--options=N");
  // false when absent. Giving the same option twice is a usage error.
  bool TakeOption(const std::string& name, std::string& value);
  // A number option: decimal or 0x hexadecimal; the default when absent.
  std::int64_t TakeNumber(const std::string& name, std::int64_t defaultValue);
  // After all options are taken: the positional arguments. An argument that
  // still starts with "--" before any "--" is an unknown option (a usage
  // error); too few name the first missing one from the usage line.
  std::vector<std::string> Positionals(std::size_t minCount, std::size_t maxCount);
  // A positional that is raw bytes (PATTERN, SUBJECT, ...): decoded when --hex.
  std::string Bytes(const std::string& arg) const;
  bool hex() const { return hex_; }
  void EnableHex() { hex_ = true; }

 private:
  std::vector<std::string> args_;  // before "--"
  std::vector<std::string> afterOptions_;
  bool hex_;
  std::string usage_;
};

// True when the arguments ask for help (-h or --help before any "--").
bool AsksForHelp(const std::vector<std::string>& args);

// The name of positional `index` (from 0) in a usage line, such as SUBJECT
// for 1 in "fromsel search [--options N] PATTERN SUBJECT"; empty when none.
std::string PositionalName(const std::string& usage, std::size_t index);

std::int64_t ParseNumber(const std::string& text, const std::string& what);
std::string DecodeHex(const std::string& text);

// The version the command reports for --version.
extern const char* const VersionText;

// Reads a file, or all of `in` when `path` is empty. Throws CliError 66 when
// it cannot be read, is a folder, a pipe or a device (which could keep the
// command waiting), or holds more than MaxInputBytes.
std::string ReadInput(const std::string& path, std::istream& in);

// The bytes as one line of output can hold them: every control byte (0x00
// to 0x1F, 0x7F) and the backslash written as \xHH, so that no input prints
// a line of its own and every backslash in the output starts an escape.
std::string PrintableBytes(const std::string& bytes);

// A raw message: a file, or all of `in` when `path` is empty or "-";
// without a byte-order mark at its start, which would hide the first header.
std::string ReadMessage(const std::string& path, std::istream& in);

// A folder as the host gives it: ending in one separator (a backslash is
// added when it ends in neither kind).
std::string WithSeparator(std::string path);
// The path without any separators at its end.
std::string WithoutSeparators(std::string path);

struct Command {
  const char* name;
  const char* usage;    // one line: "fromsel NAME ARGS"
  const char* summary;  // one line
  int (*run)(Arguments& args, Output& io);
  const char* details = "";  // options and exit codes, for COMMAND --help
};

const std::vector<Command>& Commands();

// The whole command line (argv without the program name).
int RunCommandLine(const std::vector<std::string>& argv, Output& io);

// Commands, each in its own file.
int RunCompile(Arguments& args, Output& io);
int RunSearch(Arguments& args, Output& io);
int RunRule(Arguments& args, Output& io);
int RunWildcard(Arguments& args, Output& io);
int RunExpand(Arguments& args, Output& io);
int RunAddresses(Arguments& args, Output& io);
int RunSettings(Arguments& args, Output& io);
int RunTry(Arguments& args, Output& io);
int RunCheck(Arguments& args, Output& io);
int RunMailboxes(Arguments& args, Output& io);

}  // namespace fromsel::cli
