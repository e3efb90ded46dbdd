#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tools/fromsel/cli.h"

namespace fromsel::cli {
namespace {

struct CommandRun {
  int code;
  std::string out;
  std::string err;
};

CommandRun RunFromsel(const std::vector<std::string>& argv) {
  std::ostringstream out, err;
  std::istringstream in;
  Output io{out, err, in};
  const int code = RunCommandLine(argv, io);
  return CommandRun{code, out.str(), err.str()};
}

struct CliCase {
  std::vector<std::string> argv;
  int code;
  std::string out;
};

void PrintTo(const CliCase& c, std::ostream* os) {
  for (const std::string& arg : c.argv) *os << arg << ' ';
}

class WildcardCommands : public ::testing::TestWithParam<CliCase> {};

TEST_P(WildcardCommands, PrintAndExit) {
  const CommandRun run = RunFromsel(GetParam().argv);
  EXPECT_EQ(run.code, GetParam().code) << run.err;
  EXPECT_EQ(run.out, GetParam().out);
  if (run.code == ExitUsage) {
    EXPECT_EQ(run.err.rfind("fromsel: ", 0), 0u) << run.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, WildcardCommands,
    ::testing::Values(
        CliCase{{"wildcard", "*@Example.com", "me@example.COM"}, 0, "match\n"},
        CliCase{{"wildcard", "--flags", "0", "*@Example.com", "me@example.COM"}, 1, "no match\n"},
        CliCase{{"wildcard", "--flags", "0x2", "*", "a/b"}, 1, "no match\n"},
        CliCase{{"wildcard", "*", ".x"}, 1, "no match\n"},
        CliCase{{"--hex", "wildcard", "5be02d2a5d", "c0"}, 0, "match\n"},
        CliCase{{"wildcard", "--hex", "2a00", "7a"}, 64, ""},
        CliCase{{"wildcard", "--flags", "16", "a", "a"}, 64, ""},
        CliCase{{"expand", "{a,b}{c,d}"}, 0, "ac\nad\nbc\nbd\n"},
        CliCase{{"expand", "{a,b"}, 0, "{a,b\n"},
        CliCase{{"expand", "--hex", "7b612c627d"}, 0, "a\nb\n"},
        CliCase{{"expand", "{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}{a,b}"}, 0, ""},
        CliCase{{"expand", "x{,y}"}, 0, "x\nxy\n"}));

}  // namespace
}  // namespace fromsel::cli
