#include <ostream>

#include "pattern/wildcard/wildcard.h"
#include "tools/fromsel/cli.h"

namespace fromsel::cli {

namespace {

// Every combination of the four option bits.
constexpr std::int64_t kAllWildcardFlags =
    WildcardNoEscape | WildcardPathName | WildcardLeadingPeriod | WildcardCaseFold;

// The matcher reads NUL-terminated text, so a NUL could only cut it short.
std::string NulFreeBytes(const Arguments& args, const std::string& arg, const char* what) {
  std::string bytes = args.Bytes(arg);
  if (bytes.find('\0') != std::string::npos)
    throw CliError{ExitUsage, std::string(what) + " must not contain a NUL byte"};
  return bytes;
}

}  // namespace

int RunWildcard(Arguments& args, Output& io) {
  const std::int64_t flags = args.TakeNumber("--flags", WildcardLeadingPeriod | WildcardCaseFold);
  if (flags < 0 || flags > kAllWildcardFlags)
    throw CliError{ExitUsage, "--flags must be between 0 and 15"};
  const std::vector<std::string> positionals = args.Positionals(2, 2);
  const std::string pattern = NulFreeBytes(args, positionals[0], "PATTERN");
  const std::string subject = NulFreeBytes(args, positionals[1], "SUBJECT");
  if (WildcardMatch(pattern.c_str(), subject.c_str(), static_cast<int>(flags)) ==
      WildcardResult::Match) {
    io.out << "match\n";
    return ExitYes;
  }
  io.out << "no match\n";
  return ExitNo;
}

}  // namespace fromsel::cli
