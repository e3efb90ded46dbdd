#include "tools/fromsel/cli.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testing/test_folder.h"
#include "tools/fromsel/run_fromsel_test.h"

namespace fromsel::cli {
namespace {

using Argv = std::vector<std::string>;

struct ErrorCase {
  Argv argv;
  int code;
  const char* reasonPart;
};

TEST(Cli, BadCommandLinesGiveOneLineAndTheirCode) {
  const ErrorCase cases[] = {
      {{}, ExitUsage, "missing command"},
      {{"nonsense"}, ExitUsage, "unknown command nonsense"},
      {{"--hex"}, ExitUsage, "missing command"},
      {{"settings", "--bogus"}, ExitUsage, "unknown option --bogus"},
      {{"settings", "a", "b"}, ExitUsage, "too many arguments"},
      {{"expand"}, ExitUsage, "missing argument PATTERN"},
      {{"search", "a"}, ExitUsage, "missing argument SUBJECT"},
      {{"rule", "--regex", "a"}, ExitUsage, "missing argument ADDRESS"},
      {{"wildcard", "--flags=x", "a", "a"}, ExitUsage, "malformed number for --flags: x"},
      {{"rule", "--regex=1", "a", "a"}, ExitUsage, "option --regex takes no value"},
      {{"settings", "--", "a", "b"}, ExitUsage, "too many arguments"},
      {{"wildcard", "--flags"}, ExitUsage, "needs a value"},
      {{"wildcard", "--flags", "12x", "a", "a"}, ExitUsage, "malformed number"},
      {{"wildcard", "--flags", "0x", "a", "a"}, ExitUsage, "malformed number"},
      {{"wildcard", "--flags", "99999999999999999999", "a", "a"}, ExitUsage, "too large"},
      {{"wildcard", "--flags", "1", "--flags", "2", "a", "a"}, ExitUsage, "more than once"},
      {{"wildcard", "--hex", "2", "61"}, ExitUsage, "malformed hexadecimal"},
      {{"wildcard", "--hex", "zz", "61"}, ExitUsage, "malformed hexadecimal"},
      {{"check"}, ExitUsage, "--data"},
      {{"check", "--data", "x", "extra"}, ExitUsage, "too many arguments"},
      {{"help", "nonsense"}, ExitUsage, "help takes one command name"},
      {{"help", "try", "check"}, ExitUsage, "help takes one command name"},
      {{"settings", "/nonexistent/dir/fromsel.ini"}, ExitNoInput, "cannot read"},
      // Arguments quoted in a reason cannot break the one line.
      {{"wildcard", "--hex", "a\nb", "61"}, ExitUsage, "argument: a?b"},
      {{"nonsense\r\n" + std::string(1000, 'x')}, ExitUsage, "nonsense??xxx"},
  };
  for (const ErrorCase& c : cases) {
    const CliRun run = RunFromsel(c.argv);
    EXPECT_EQ(run.code, c.code) << run.err;
    EXPECT_TRUE(IsOneErrorLine(run)) << run.out << run.err;
    EXPECT_NE(run.err.find(c.reasonPart), std::string::npos) << run.err;
  }
}

TEST(Cli, HelpListsEveryCommandAndEachCommandHasItsOwn) {
  const CliRun run = RunFromsel({"help"});
  EXPECT_EQ(run.code, ExitYes);
  for (const Command& command : Commands()) {
    EXPECT_NE(run.out.find(command.usage), std::string::npos);
    const CliRun own = RunFromsel({command.name, "--help"});
    EXPECT_EQ(own.code, ExitYes) << command.name;
    EXPECT_EQ(own.out.rfind(std::string("usage: ") + command.usage, 0), 0u) << own.out;
    EXPECT_NE(own.out.find("Exit 0"), std::string::npos) << own.out;
    EXPECT_EQ(RunFromsel({"help", command.name}).out, own.out);
  }
}

// Conventions shared with other command-line programs.
TEST(Cli, VersionHelpOptionValuesAndEndOfOptions) {
  CliRun run = RunFromsel({"--version"});
  EXPECT_EQ(run.code, ExitYes);
  EXPECT_EQ(run.out, std::string("fromsel ") + VersionText + "\n");
  // -h before any other check, even of a command line that is wrong.
  for (const Argv& argv : {Argv{"try", "-h"}, Argv{"check", "--bogus", "--help"},
                           Argv{"rule", "-h", "--regex"}}) {
    run = RunFromsel(argv);
    EXPECT_EQ(run.code, ExitYes) << run.err;
    EXPECT_EQ(run.out.rfind("usage: fromsel " + argv[0], 0), 0u) << run.out;
  }
  EXPECT_EQ(RunFromsel({"wildcard", "--flags=0", "--", "-h", "-h"}).out, "match\n");
  EXPECT_EQ(RunFromsel({"wildcard", "--", "--x", "--X"}).out, "match\n");
  EXPECT_EQ(RunFromsel({"rule", "--template=me@x", "--", "-*", "-a"}).out,
            "match\naddress: me@x\n");
  // Every exit code is listed in help.
  const std::string help = RunFromsel({"help"}).out;
  for (const char* code : {"  0 ", "  1 ", "  2 ", "  3 ", "  64 ", "  66 ", "  70 ", "  74 "})
    EXPECT_NE(help.find(code), std::string::npos) << code;
}

TEST(Cli, PositionalNamesComeFromTheUsage) {
  EXPECT_EQ(PositionalName("fromsel search [--options N] [--start S] PATTERN SUBJECT | --batch", 1),
            "SUBJECT");
  EXPECT_EQ(PositionalName("fromsel try --data DIR --mailbox NAME [MESSAGE...]", 0), "");
  EXPECT_EQ(PositionalName("fromsel rule [--regex] [--template TEMPLATE] PATTERN ADDRESS", 0),
            "PATTERN");
}

// A regex rule that fails on a leading * is told to be a wildcard rule, and
// the position counts from the pattern as given.
TEST(Cli, RuleErrorPositionsCountFromThePattern) {
  const CliRun run = RunFromsel({"rule", "--regex", "*@example.com", "a@example.com"});
  EXPECT_EQ(run.code, ExitCompileError);
  EXPECT_EQ(run.out,
            "error: invalid regular expression; there's no previous pattern, to which '*' would "
            "define cardinality at 1 (a leading * is wildcard syntax: make this a wildcard rule, "
            "or write .* for any text)\n");
  EXPECT_EQ(RunFromsel({"rule", "--regex", "a|*", "a"}).out,
            "error: invalid regular expression; there's no previous pattern, to which '*' would "
            "define cardinality at 3\n");
}

// --hex is accepted before the command and among the command's options,
// and the options after it are still read as options.
TEST(Cli, HexWorksInEveryPosition) {
  for (const Argv& argv : {Argv{"--hex", "wildcard", "2a", "7a7a"},
                           Argv{"wildcard", "--hex", "2a", "7a7a"},
                           Argv{"wildcard", "--hex", "--flags", "0", "2a", "7a7a"},
                           Argv{"wildcard", "--flags", "0x0", "2a7a", "7A7A", "--hex"}}) {
    const CliRun run = RunFromsel(argv);
    EXPECT_EQ(run.code, ExitYes) << run.err;
    EXPECT_EQ(run.out, "match\n");
  }
}

TEST(Cli, NumbersAreDecimalOrHex) {
  EXPECT_EQ(ParseNumber("12", "n"), 12);
  EXPECT_EQ(ParseNumber("0x1F", "n"), 31);
  EXPECT_EQ(ParseNumber("0", "n"), 0);
  EXPECT_EQ(DecodeHex("00ff41"), std::string("\0\xff" "A", 3));
}

TEST(Cli, InputThatIsNotAReadableFile) {
  testing::TestFolder folder;
  folder.MakeDirectory("sub");
  const std::string asFolder = (folder.path() / "sub").string();
  CliRun run = RunFromsel({"settings", asFolder});
  EXPECT_EQ(run.code, ExitNoInput);
  EXPECT_TRUE(IsOneErrorLine(run)) << run.err;
  EXPECT_NE(run.err.find("folder"), std::string::npos);

  // A sparse file over the limit is refused from its size, before reading.
  const std::filesystem::path huge = folder.path() / "huge.eml";
  folder.WriteFile("huge.eml", "");
  std::filesystem::resize_file(huge, MaxInputBytes + 1);
  run = RunFromsel({"addresses", huge.string()});
  EXPECT_EQ(run.code, ExitNoInput);
  EXPECT_TRUE(IsOneErrorLine(run)) << run.err;
  EXPECT_NE(run.err.find("larger than 256 MiB"), std::string::npos);
}

TEST(Cli, SettingsNormalisesAsThePluginSaves) {
  const CliRun run = RunFromsel(
      {"settings"}, ">ENABLE = 1\r\n\r\n#bare\r\n:vr:(.+)@x\tMe\t\\1@y\tdropped\r\n\n::a\r\n");
  EXPECT_EQ(run.code, ExitYes);
  EXPECT_EQ(run.out,
            ">Enable=1\n>Delivered-To=0\n::\t\t\n::#bare\t\t\n:RV:(.+)@x\tMe\t\\1@y\n::a\t\t\n");
}

TEST(Cli, ShippedExampleNormalises) {
  const CliRun run =
      RunFromsel({"settings", FROMSEL_SOURCE_DIR "/examples/hand-edited-fromsel.ini"});
  EXPECT_EQ(run.code, ExitYes);
  EXPECT_EQ(run.out.rfind(">Enable=1\n>Delivered-To=0\n", 0), 0u);
}

}  // namespace
}  // namespace fromsel::cli
