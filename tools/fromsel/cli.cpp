#include "tools/fromsel/cli.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace fromsel::cli {

Arguments::Arguments(std::vector<std::string> args, bool hex) : args_(std::move(args)), hex_(hex) {}

bool Arguments::TakeFlag(const std::string& name) {
  auto it = std::find(args_.begin(), args_.end(), name);
  if (it == args_.end()) return false;
  args_.erase(it);
  return true;
}

bool Arguments::TakeOption(const std::string& name, std::string& value) {
  auto it = std::find(args_.begin(), args_.end(), name);
  if (it == args_.end()) return false;
  if (it + 1 == args_.end()) throw CliError{ExitUsage, "option " + name + " needs a value"};
  value = *(it + 1);
  args_.erase(it, it + 2);
  return true;
}

std::int64_t Arguments::TakeNumber(const std::string& name, std::int64_t defaultValue) {
  std::string text;
  if (!TakeOption(name, text)) return defaultValue;
  return ParseNumber(text, name);
}

std::vector<std::string> Arguments::Positionals(std::size_t minCount, std::size_t maxCount) {
  for (const std::string& arg : args_) {
    if (arg.size() > 2 && arg.compare(0, 2, "--") == 0)
      throw CliError{ExitUsage, "unknown option " + arg};
  }
  if (args_.size() < minCount) throw CliError{ExitUsage, "missing argument"};
  if (args_.size() > maxCount) throw CliError{ExitUsage, "too many arguments"};
  return args_;
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

std::string ReadInput(const std::string& path, std::istream& in) {
  if (path.empty()) {
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) throw CliError{ExitNoInput, "cannot read " + path};
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (file.bad()) throw CliError{ExitNoInput, "cannot read " + path};
  return text;
}

namespace {

void PrintHelp(std::ostream& out) {
  out << "fromsel: try and check Fromsel rules outside the mail client\n\n"
         "usage: fromsel [--hex] COMMAND [OPTIONS] ARGS\n\ncommands:\n";
  for (const Command& command : Commands())
    out << "  " << command.usage << "\n      " << command.summary << "\n";
  out << "  fromsel help\n      this text; fromsel COMMAND --help for one command\n";
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
    io.err << "fromsel: missing command (try fromsel help)\n";
    return ExitUsage;
  }
  const std::string name = args[0];
  args.erase(args.begin());
  if (name == "help" || name == "--help" || name == "-h") {
    PrintHelp(io.out);
    return ExitYes;
  }
  const auto& commands = Commands();
  auto command = std::find_if(commands.begin(), commands.end(),
                              [&](const Command& c) { return name == c.name; });
  if (command == commands.end()) {
    io.err << "fromsel: unknown command " << name << " (try fromsel help)\n";
    return ExitUsage;
  }
  if (std::find(args.begin(), args.end(), "--help") != args.end()) {
    io.out << "usage: " << command->usage << "\n" << command->summary << "\n";
    return ExitYes;
  }
  try {
    Arguments arguments(args, hex);
    if (arguments.TakeFlag("--hex")) arguments = Arguments(arguments.Positionals(0, SIZE_MAX), true);
    return command->run(arguments, io);
  } catch (const CliError& error) {
    io.err << "fromsel: " << error.reason << "\n";
    return error.code;
  } catch (const std::bad_alloc&) {
    io.err << "fromsel: out of memory\n";
    return ExitNoInput;
  }
}

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"compile", "fromsel compile [--options N] PATTERN",
       "compile a regular expression and print its byte code", RunCompile},
      {"search", "fromsel search [--options N] [--start S] [--range R] PATTERN SUBJECT | --batch",
       "search SUBJECT with a regular expression and print the registers", RunSearch},
      {"rule", "fromsel rule [--regex] [--template TEMPLATE] PATTERN ADDRESS",
       "test one rule against an address as rule matching does", RunRule},
      {"wildcard", "fromsel wildcard [--flags N] PATTERN SUBJECT",
       "match SUBJECT against a wildcard pattern", RunWildcard},
      {"expand", "fromsel expand PATTERN", "print the brace expansion of a pattern", RunExpand},
      {"addresses", "fromsel addresses [MESSAGE]",
       "print the candidate addresses of a raw message", RunAddresses},
      {"settings", "fromsel settings [FILE]",
       "print a settings file as the plug-in would save it", RunSettings},
      {"try", "fromsel try --data DIR --mailbox NAME [--folder PATH] [--explain] MESSAGE",
       "print the headers the plug-in would set in a reply to MESSAGE", RunTry},
      {"check", "fromsel check --data DIR", "report problems in every mailbox's rules", RunCheck},
  };
  return commands;
}

}  // namespace fromsel::cli
