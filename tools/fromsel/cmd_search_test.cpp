// fromsel search and fromsel rule, run through the real command line.
#include <gtest/gtest.h>

#include "tools/fromsel/run_fromsel_test.h"

namespace fromsel::cli {
namespace {

struct CommandCase {
  std::vector<std::string> argv;
  int code;
  const char* out;
};

class RegexCommands : public ::testing::TestWithParam<CommandCase> {};

TEST_P(RegexCommands, PrintAndExitAsDocumented) {
  const CommandCase& c = GetParam();
  const CliRun run = RunFromsel(c.argv);
  EXPECT_EQ(run.code, c.code) << run.err;
  EXPECT_EQ(run.out, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    SearchAndRule, RegexCommands,
    ::testing::Values(
        CommandCase{{"search", "(a)(b)?", "xab"}, 0, "result: 1\n0: 1 3\n1: 1 2\n2: 2 3\n"},
        CommandCase{{"search", "(a)(x)?", "a"}, 0, "result: 0\n0: 0 1\n1: 0 1\n2: -1 -1\n"},
        CommandCase{{"search", "z", "abc"}, 1, "result: -1\n"},
        // Decided by the automaton; with a back-reference the budget stops it.
        CommandCase{{"search", "(a+)+b", std::string(30, 'a')}, 1, "result: -1\n"},
        CommandCase{{"search", "(a+)+\\1b", std::string(30, 'a') + "!b"}, 2, "result: -2\n"},
        CommandCase{{"search", "a{", "a"}, 3,
                    "error: invalid regular expression; '{' can't be last character\n"},
        CommandCase{{"search", "--options", "1", "AB", "xab"}, 0, "result: 1\n0: 1 3\n"},
        CommandCase{{"search", "--start", "2", "a", "aXa"}, 0, "result: 2\n0: 2 3\n"},
        CommandCase{{"search", "--start", "0", "--range", "1", "a", "xxa"}, 1, "result: -1\n"},
        CommandCase{{"search", "--start", "9", "a", "a"}, 1, "result: -1\n"},
        CommandCase{{"--hex", "search", "00", "610062"}, 0, "result: 1\n0: 1 2\n"},
        CommandCase{{"rule", "--regex", "me", "ME"}, 0, "match\n"},
        CommandCase{{"rule", "--regex", "me", "me@example.com"}, 1, "no match\n"},
        CommandCase{{"rule", "--regex", "(", "x"}, 3, "error: unmatched (\n"},
        CommandCase{{"rule", "--regex", "--template", "me+\\1@example.net", "(.+)@example\\.org",
                     "news@example.org"},
                    0, "match\naddress: me+news@example.net\n"},
        CommandCase{{"rule", "--regex", "--template", "", ".*", "a@b"}, 0,
                    "match\naddress: a@b\n"},
        CommandCase{{"rule", "*@{example.com,example.org}", "Me@Example.ORG"}, 0, "match\n"},
        CommandCase{{"rule", "--template", "x\\1@y", "*", "a@b"}, 0, "match\naddress: x\\1@y\n"},
        CommandCase{{"rule", "*", ".hidden"}, 1, "no match\n"}));

TEST(SearchCommand, UsageErrors) {
  for (const auto& argv : std::vector<std::vector<std::string>>{
           {"search", "a"}, {"search", "--options", "x", "a", "b"}, {"search", "--bogus", "a", "b"},
           {"search", "--batch", "extra"}, {"rule", "a"}, {"rule", "--template"}}) {
    const CliRun run = RunFromsel(argv);
    EXPECT_EQ(run.code, ExitUsage) << argv.back();
    EXPECT_EQ(run.err.rfind("fromsel: ", 0), 0u);
  }
}

TEST(SearchCommand, BatchAnswersEveryLineInOrder) {
  const std::string input =
      "{\"pattern\": \"(a)(b)?\", \"subject\": \"xab\"}\n"
      "{\"pattern\": \"\\u00e9\", \"subject\": \"\\u00c9\\u00e9\", \"options\": 1}\n"
      "{\"pattern\": \"x\", \"subject\": \"\\u0100\"}\n"
      "not json\n"
      "{\"pattern\": \"(\", \"subject\": \"\"}\n"
      "{\"pattern\": \"b\", \"subject\": \"abab\", \"start\": 2, \"range\": 0}\n"
      "{\"pattern\": \"(a+)+\\\\1b\", \"subject\": \"" + std::string(30, 'a') + "!b\"}\n"
      "{\"pattern\": \"a\"}\n"
      "{\"subject\": \"\\n\", \"pattern\": \"\\\\n\"}\r\n"
      "{\"pattern\": \"[\\u00ff]\", \"subject\": \"\xc3\xbf\"}\n";
  const CliRun run = RunFromsel({"search", "--batch"}, input);
  EXPECT_EQ(run.code, ExitYes);
  EXPECT_EQ(run.out,
            "{\"result\": 1, \"registers\": [[1, 3], [1, 2], [2, 3]]}\n"
            "{\"result\": 1, \"registers\": [[1, 2]]}\n"
            "{\"error\": \"bad input: code point above U+00FF\"}\n"
            "{\"error\": \"bad input: not a JSON object\"}\n"
            "{\"error\": \"premature end of regular expression\"}\n"
            "{\"result\": -1, \"registers\": []}\n"
            "{\"result\": -2, \"registers\": []}\n"
            "{\"error\": \"bad input: pattern and subject are required\"}\n"
            "{\"result\": 0, \"registers\": [[0, 1]]}\n"
            "{\"result\": 0, \"registers\": [[0, 1]]}\n");
}

TEST(SearchCommand, BatchErrorTextsAreJsonEscaped) {
  const CliRun run = RunFromsel({"search", "--batch"},
                          "{\"pattern\": \"[[:\\u00e9\\\"x:]]\", \"subject\": \"\"}\n");
  EXPECT_EQ(run.out,
            "{\"error\": \"invalid regular expression; [:\\u00e9\\\"x:] is not a character "
            "class\"}\n");
}

}  // namespace
}  // namespace fromsel::cli
