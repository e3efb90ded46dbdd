#include "tools/fromsel/cli.h"

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>

#include "rules/byte_string.h"

namespace fromsel::cli {

const char* const VersionText = FROMSEL_VERSION_TEXT;

namespace {

constexpr const char* kEndOfOptions = "--";

bool IsOptionLike(const std::string& arg) { return arg.size() > 2 && arg.compare(0, 2, "--") == 0; }

// "--name=value" when `arg` is `name` with a value attached.
bool HasAttachedValue(const std::string& arg, const std::string& name) {
  return arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 &&
         arg[name.size()] == '=';
}

}  // namespace

Arguments::Arguments(std::vector<std::string> args, bool hex, std::string usage)
    : hex_(hex), usage_(std::move(usage)) {
  auto end = std::find(args.begin(), args.end(), kEndOfOptions);
  args_.assign(args.begin(), end);
  if (end != args.end()) afterOptions_.assign(end + 1, args.end());
}

bool Arguments::TakeFlag(const std::string& name) {
  for (const std::string& arg : args_)
    if (HasAttachedValue(arg, name)) throw CliError{ExitUsage, "option " + name + " takes no value"};
  auto it = std::find(args_.begin(), args_.end(), name);
  if (it == args_.end()) return false;
  args_.erase(it);
  return true;
}

bool Arguments::TakeOption(const std::string& name, std::string& value) {
  auto given = [&](const std::string& arg) { return arg == name || HasAttachedValue(arg, name); };
  auto it = std::find_if(args_.begin(), args_.end(), given);
  if (it == args_.end()) return false;
  if (*it != name) {
    value = it->substr(name.size() + 1);
    args_.erase(it);
  } else {
    if (it + 1 == args_.end()) throw CliError{ExitUsage, "option " + name + " needs a value"};
    value = *(it + 1);
    args_.erase(it, it + 2);
  }
  if (std::find_if(args_.begin(), args_.end(), given) != args_.end())
    throw CliError{ExitUsage, "option " + name + " given more than once"};
  return true;
}

std::int64_t Arguments::TakeNumber(const std::string& name, std::int64_t defaultValue) {
  std::string text;
  if (!TakeOption(name, text)) return defaultValue;
  return ParseNumber(text, name);
}

std::vector<std::string> Arguments::Positionals(std::size_t minCount, std::size_t maxCount) {
  for (const std::string& arg : args_) {
    if (IsOptionLike(arg)) throw CliError{ExitUsage, "unknown option " + arg};
  }
  std::vector<std::string> positionals = args_;
  positionals.insert(positionals.end(), afterOptions_.begin(), afterOptions_.end());
  if (positionals.size() < minCount) {
    const std::string name = PositionalName(usage_, positionals.size());
    throw CliError{ExitUsage, name.empty() ? "missing argument" : "missing argument " + name};
  }
  if (positionals.size() > maxCount) throw CliError{ExitUsage, "too many arguments"};
  return positionals;
}

bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == kEndOfOptions) return false;
    if (arg == "--help" || arg == "-h") return true;
  }
  return false;
}

std::string PositionalName(const std::string& usage, std::size_t index) {
  std::istringstream words(usage);
  std::string word;
  words >> word >> word;  // "fromsel" and the command
  int depth = 0;
  bool optionValueNext = false;
  while (words >> word) {
    const bool outside = depth == 0 && word[0] != '[';
    depth += static_cast<int>(std::count(word.begin(), word.end(), '['));
    depth -= static_cast<int>(std::count(word.begin(), word.end(), ']'));
    if (word == "|") break;  // another form of the command follows
    if (!outside) continue;
    if (word.compare(0, 1, "-") == 0) {
      optionValueNext = true;
      continue;
    }
    if (optionValueNext) {
      optionValueNext = false;
      continue;
    }
    if (index == 0) return word;
    --index;
  }
  return std::string();
}

std::string Arguments::Bytes(const std::string& arg) const {
  return hex_ ? DecodeHex(arg) : arg;
}

std::int64_t ParseNumber(const std::string& text, const std::string& what) {
  const bool isHex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::size_t first = isHex ? 2 : 0;
  const bool negative = !isHex && !text.empty() && text[0] == '-';
  std::size_t i = first + (negative ? 1 : 0);
  if (i >= text.size()) throw CliError{ExitUsage, "malformed number for " + what + ": " + text};
  // Large enough for every offset and option word, small enough never to overflow.
  constexpr std::int64_t kMaxValue = std::int64_t{1} << 40;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (isHex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (isHex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else throw CliError{ExitUsage, "malformed number for " + what + ": " + text};
    value = value * (isHex ? 16 : 10) + digit;
    if (value > kMaxValue) throw CliError{ExitUsage, "number too large for " + what + ": " + text};
  }
  return negative ? -value : value;
}

std::string DecodeHex(const std::string& text) {
  auto nibble = [&](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw CliError{ExitUsage, "malformed hexadecimal argument: " + text};
  };
  if (text.size() % 2 != 0) throw CliError{ExitUsage, "malformed hexadecimal argument: " + text};
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2)
    bytes.push_back(static_cast<char>(nibble(text[i]) * 16 + nibble(text[i + 1])));
  return bytes;
}

namespace {

std::string TooLarge(const std::string& what) {
  return what + " is larger than " + std::to_string(MaxInputBytes >> 20) + " MiB";
}

// Reads to the end, but never more than one byte past the limit, so that a
// device or a pipe without end cannot exhaust memory.
std::string ReadLimited(std::istream& in, const std::string& what) {
  // One read at a time of this size: few calls, and small enough for the stack.
  constexpr std::size_t kChunkBytes = 1 << 16;
  std::string text;
  char chunk[kChunkBytes];
  while (in) {
    in.read(chunk, kChunkBytes);
    text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (text.size() > MaxInputBytes) throw CliError{ExitNoInput, TooLarge(what)};
  }
  if (in.bad()) throw CliError{ExitNoInput, "cannot read " + what};
  return text;
}

}  // namespace

std::string ReadInput(const std::string& path, std::istream& in) {
  if (path.empty()) return ReadLimited(in, "standard input");
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (error || !std::filesystem::exists(status)) throw CliError{ExitNoInput, "cannot read " + path};
  if (std::filesystem::is_directory(status))
    throw CliError{ExitNoInput, "cannot read " + path + ": it is a folder"};
  // Opening a FIFO waits for a writer, and a terminal or device may never
  // end: only files are read.
  if (!std::filesystem::is_regular_file(status))
    throw CliError{ExitNoInput, "cannot read " + path + ": not a file"};
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (!error && size > MaxInputBytes) throw CliError{ExitNoInput, TooLarge(path)};
  std::ifstream file(path, std::ios::binary);
  if (!file) throw CliError{ExitNoInput, "cannot read " + path};
  return ReadLimited(file, path);
}

std::string PrintableBytes(const std::string& bytes) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  std::string printable;
  printable.reserve(bytes.size());
  for (const char byte : bytes) {
    const unsigned char c = static_cast<unsigned char>(byte);
    if (c >= 0x20 && c != 0x7F && c != '\\') {
      printable.push_back(byte);
      continue;
    }
    printable += "\\x";
    printable.push_back(kHexDigits[c >> 4]);
    printable.push_back(kHexDigits[c & 0x0F]);
  }
  return printable;
}

std::string ReadMessage(const std::string& path, std::istream& in) {
  return WithoutByteOrderMark(ReadInput(path == "-" ? std::string() : path, in));
}

namespace {

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

}  // namespace

std::string WithSeparator(std::string path) {
  if (!EndsWithSeparator(path)) path += '\\';
  return path;
}

std::string WithoutSeparators(std::string path) {
  while (EndsWithSeparator(path)) path.pop_back();
  return path;
}

namespace {

void PrintHelp(std::ostream& out) {
  out << "fromsel: try and check Fromsel rules outside the mail client\n\n"
         "usage: fromsel [--hex] COMMAND [OPTIONS] ARGS\n\ncommands:\n";
  for (const Command& command : Commands())
    out << "  " << command.usage << "\n      " << command.summary << "\n";
  out << "  fromsel help\n      this text; fromsel COMMAND --help (or -h) for one command\n"
         "  fromsel --version\n      the version\n\n"
         "--hex: PATTERN, SUBJECT, ADDRESS and TEMPLATE are given in hexadecimal.\n"
         "Options take their value as --option VALUE or --option=VALUE; -- ends the\n"
         "options, so that a PATTERN may start with -.\n\n"
         "Exit codes:\n"
         "  0   yes, match, done\n"
         "  1   no, no match, unchanged, problems found\n"
         "  2   a regular-expression search gave up (over its budget)\n"
         "  3   a regular expression does not compile (search, rule)\n"
         "  64  usage error: unknown command or option, missing or malformed argument\n"
         "  66  an input file or folder cannot be read, or is too large\n"
         "  70  an internal fault of fromsel\n"
         "  74  the output could not be written\n";
}

void PrintCommandHelp(const Command& command, std::ostream& out) {
  out << "usage: " << command.usage << "\n" << command.summary << "\n" << command.details;
}

// The reason as one short line: arguments quoted in it may hold any byte.
std::string OneLine(const std::string& reason) {
  // Long enough for a path and a message, short enough to stay one line.
  constexpr std::size_t kMaxReasonBytes = 300;
  std::string line = reason.substr(0, kMaxReasonBytes);
  for (char& c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) c = '?';
  }
  if (reason.size() > kMaxReasonBytes) line += "...";
  return line;
}

int Fail(Output& io, int code, const std::string& reason) {
  io.err << "fromsel: " << OneLine(reason) << "\n";
  return code;
}

const Command* FindCommand(const std::string& name) {
  for (const Command& command : Commands())
    if (name == command.name) return &command;
  return nullptr;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& argv, Output& io) {
  std::vector<std::string> args = argv;
  bool hex = false;
  if (!args.empty() && args[0] == "--hex") {
    hex = true;
    args.erase(args.begin());
  }
  if (args.empty()) {
    return Fail(io, ExitUsage, "missing command (try fromsel help)");
  }
  const std::string name = args[0];
  args.erase(args.begin());
  if (name == "--version") {
    io.out << "fromsel " << VersionText << "\n";
    return ExitYes;
  }
  if (name == "help" || name == "--help" || name == "-h") {
    if (args.empty()) {
      PrintHelp(io.out);
      return ExitYes;
    }
    const Command* topic = args.size() == 1 ? FindCommand(args[0]) : nullptr;
    if (!topic) return Fail(io, ExitUsage, "help takes one command name (try fromsel help)");
    PrintCommandHelp(*topic, io.out);
    return ExitYes;
  }
  const Command* command = FindCommand(name);
  if (!command) return Fail(io, ExitUsage, "unknown command " + name + " (try fromsel help)");
  if (AsksForHelp(args)) {
    PrintCommandHelp(*command, io.out);
    return ExitYes;
  }
  try {
    Arguments arguments(args, hex, command->usage);
    if (arguments.TakeFlag("--hex")) arguments.EnableHex();
    return command->run(arguments, io);
  } catch (const CliError& error) {
    return Fail(io, error.code, error.reason);
  } catch (const std::bad_alloc&) {
    // Only an input far beyond any real one gets here.
    return Fail(io, ExitNoInput, "out of memory");
  } catch (const std::exception& error) {
    return Fail(io, ExitInternal, std::string("internal error: ") + error.what());
  }
}

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"compile", "fromsel compile [--options N] PATTERN",
       "compile a regular expression and print its byte code", RunCompile,
       "  --options N   option word, decimal or 0x hexadecimal (default 0)\n"
       "Prints code:, registers:, options:, required: and leading-set: lines.\n"
       "Exit 0; a pattern that does not compile prints error: TEXT, exit 1.\n"},
      {"search", "fromsel search [--options N] [--start S] [--range R] PATTERN SUBJECT | --batch",
       "search SUBJECT with a regular expression and print the registers", RunSearch,
       "  --options N   option word (default 0)\n"
       "  --start S     where the search starts (default 0)\n"
       "  --range R     how far it goes (default: to the end of SUBJECT)\n"
       "  --batch       read JSON Lines {\"pattern\", \"subject\", \"options\", \"start\",\n"
       "                \"range\"} from stdin and write one JSON line per input line;\n"
       "                a line over 16 MiB ends the run with exit 66\n"
       "Prints result: N and one line per register. Exit 0 match, 1 no match,\n"
       "2 the search gave up (over its budget), 3 the pattern does not compile.\n"},
      {"rule", "fromsel rule [--regex] [--template TEMPLATE] PATTERN ADDRESS",
       "test one rule against an address as rule matching does", RunRule,
       "  --regex       PATTERN is a regular expression (default: wildcard)\n"
       "  --template T  also print the address a rule with this From field uses\n"
       "Exit 0 match, 1 no match, 3 the regular expression does not compile.\n"},
      {"wildcard", "fromsel wildcard [--flags N] PATTERN SUBJECT",
       "match SUBJECT against a wildcard pattern", RunWildcard,
       "  --flags N     1 no escape, 2 path name, 4 leading period, 8 case fold;\n"
       "                default 12, as rules match\n"
       "Exit 0 match, 1 no match.\n"},
      {"expand", "fromsel expand PATTERN", "print the brace expansion of a pattern", RunExpand,
       "Prints each entry on its own line; an empty entry is an empty line. Exit 0.\n"},
      {"addresses", "fromsel addresses [--json] [MESSAGE]",
       "print the candidate addresses of a raw message", RunAddresses,
       "  --json        one JSON object per address: {\"header\", \"address\"}\n"
       "Reads MESSAGE, or stdin (also for -), and prints HEADER<TAB>ADDRESS lines in\n"
       "the order the plug-in offers them: To, then Cc, then Delivered-To. In ADDRESS\n"
       "each control byte and each backslash is written \\xHH (TAB as \\x09, \\ as\n"
       "\\x5C); with --json the address is a JSON string instead.\n"
       "Exit 0 when it printed an address, 1 otherwise.\n"},
      {"settings", "fromsel settings [FILE]",
       "print a settings file as the plug-in would save it", RunSettings,
       "Reads FILE, or stdin. Exit 0.\n"},
      {"try",
       "fromsel try --data DIR --mailbox NAME [--folder PATH] [--explain] [--json] [MESSAGE...]",
       "print the headers the plug-in would set in a reply to each MESSAGE", RunTry,
       "  --data DIR      the host's data folder\n"
       "  --mailbox NAME  a mailbox in it: its directory (Work.mb) or its account name\n"
       "  --folder PATH   the current folder, relative to DIR (default: the mailbox)\n"
       "  --explain       first say why nothing happened (and, on a miss, each\n"
       "                  address with the outcome of every rule tried), or which\n"
       "                  rule decided\n"
       "  --json          one JSON object per message\n"
       "Reads each MESSAGE, or stdin when there is none or it is -. Prints Sender:\n"
       "and From: as the plug-in sets them, or unchanged; with several messages each\n"
       "block starts with message: PATH. Nothing under DIR is written.\n"
       "Exit 0 when a header was set for every message, 1 otherwise.\n"},
      {"check", "fromsel check --data DIR [--json]",
       "report problems and notes in every mailbox's settings", RunCheck,
       "  --json        one JSON object per finding\n"
       "Prints MAILBOX: [line N: | rule N: ]problem|note: WHAT -- WHAT TO DO.\n"
       "Problems change what a reply does or silently turn rules off: a regular\n"
       "expression that does not compile as rules compile it, a wildcard pattern\n"
       "with an unmatched { or over the expansion limit, a field holding TAB, CR,\n"
       "LF or NUL, an empty pattern, a From field that cannot give one address,\n"
       "no >Enable line, setting lines the plug-in ignores, lines ended by CR\n"
       "alone, text beyond a rule's third field, an unreadable settings file.\n"
       "Notes: names written in quotes, a byte-order mark, a mailbox that is off,\n"
       "lines that look like comments, a rule matching every address and the\n"
       "rules after it, duplicate patterns.\n"
       "Exit 0 when there is no problem (notes do not count), 1 otherwise.\n"},
      {"mailboxes", "fromsel mailboxes --data DIR [--json]",
       "list the mailboxes of a data folder", RunMailboxes,
       "  --json        one JSON object per mailbox: {\"directory\", \"name\",\n"
       "                \"enabled\", \"rules\"}\n"
       "Prints DIRECTORY<TAB>ACCOUNT NAME<TAB>on|off<TAB>N rules for each mailbox\n"
       "directory; try --mailbox takes either name. Exit 0.\n"},
  };
  return commands;
}

}  // namespace fromsel::cli
