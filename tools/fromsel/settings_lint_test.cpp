#include "tools/fromsel/settings_lint.h"

#include <gtest/gtest.h>

#include "pattern/regex/program.h"

namespace fromsel::cli {
namespace {

// "problem line 2: TEXT", "note rule 3: TEXT" or "problem file: TEXT".
std::string Shown(const Finding& finding) {
  std::string place = finding.line   ? "line " + std::to_string(finding.line)
                      : finding.rule ? "rule " + std::to_string(finding.rule)
                                     : "file";
  return std::string(SeverityName(finding.severity)) + " " + place + ": " + finding.text;
}

struct LintCase {
  const char* name;
  std::string text;
  std::vector<std::string> starts;  // each finding's Shown() starts with these, in order
};

class LintTest : public ::testing::TestWithParam<LintCase> {};

TEST_P(LintTest, FindsWhatTheWriterDidNotMean) {
  regex::InstallCaseTable();
  const std::vector<Finding> findings = LintSettingsText(GetParam().text);
  std::string all;
  for (const Finding& finding : findings) all += Shown(finding) + "\n";
  ASSERT_EQ(findings.size(), GetParam().starts.size()) << all;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    EXPECT_EQ(Shown(findings[i]).rfind(GetParam().starts[i], 0), 0u) << all;
    EXPECT_FALSE(findings[i].todo.empty()) << all;  // every line says what to do
  }
}

const char* const kOn = ">Enable=1\n";

INSTANTIATE_TEST_SUITE_P(
    Settings, LintTest,
    ::testing::Values(
        LintCase{"Clean", std::string(kOn) + ">Delivered-To=0\n::*@x.example\tMe\tme@x.example\n", {}},
        LintCase{"NoRulesNoSwitchNeeded", "", {}},
        LintCase{"ByteOrderMark", "\xEF\xBB\xBF>Enable=1\n::a@x\t\t\n",
                 {"note line 1: the file starts with a byte-order mark"}},
        LintCase{"NoEnableLine", "::a@x\t\t\n", {"problem file: no >Enable line"}},
        LintCase{"Off", ">Enable=0\n::a@x\t\t\n", {"note file: the mailbox is off"}},
        LintCase{"BlankAfterTheMark", "> Enable=1\n::a@x\t\t\n",
                 {"problem line 1: setting line \"> Enable=1\" is ignored",
                  "problem file: no >Enable line"}},
        LintCase{"IndentedSetting", " >Enable=1\n::a@x\t\t\n",
                 {"problem line 1: the line starts with a blank",
                  "problem file: no >Enable line the plug-in reads"}},
        LintCase{"UnknownKey", std::string(kOn) + ">Enabled=1\n", {"problem line 2: setting line"}},
        LintCase{"NoNumber", ">Enable=yes\n::a@x\t\t\n",
                 {"problem line 1: setting line \">Enable=yes\" has no number",
                  "note file: the mailbox is off"}},
        LintCase{"CommentLines", std::string(kOn) + "# mine\n; old\n::a@x\t\t\n",
                 {"note line 2: this looks like a comment", "note line 3: this looks like a comment"}},
        // One line: the mailbox is on, with its rules lost in the value.
        LintCase{"CrOnlyLineEnds", ">Enable=1\r::a@x\tMe\tme@x\r",
                 {"problem file: lines end with CR alone"}},
        LintCase{"FourthField", std::string(kOn) + "::a@x\tMe\tme@x\textra\n",
                 {"problem line 2: rule 1 has text after its third field"}},
        LintCase{"CatchAllShadows", std::string(kOn) + "::a@x\t\t\n::*\t\t\n::b@x\t\t\n:R:c@x\t\t\n",
                 {"note rule 2: matches every address", "note rule 3: never used: rule 2",
                  "note rule 4: never used: rule 2"}},
        LintCase{"RegexCatchAll", std::string(kOn) + ":R:^(.*)$\t\t\n::b@x\t\t\n",
                 {"note rule 1: matches every address", "note rule 2: never used: rule 1"}},
        LintCase{"BraceCatchAll", std::string(kOn) + "::{a@x,**}\t\t\n",
                 {"note rule 1: matches every address"}},
        LintCase{"NotCatchAll", std::string(kOn) + ":R:.*@x\t\t\n::*@*\t\t\n:R:(.*)|(x)\t\t\n", {}},
        LintCase{"Duplicate", std::string(kOn) + "::a@x\tA\t\n::b@x\t\t\n::a@x\tB\t\n:R:a@x\t\t\n",
                 {"note rule 3: same pattern as rule 1"}},
        LintCase{"QuotedName", std::string(kOn) + "::a@x\tDoe, Jane\tj@x\n",
                 {"note rule 1: the name is written in quotes: \"Doe, Jane\""}},
        LintCase{"FromShape", std::string(kOn) + "::a@x\t\tJane <j@x>\n:R:(.+)@x\tKim\t\\2@w\n"
                                                 "::b@x\t\tme+\\1@w\n",
                 {"problem rule 1: the From field holds <", "problem rule 2: the From field uses",
                  "problem rule 3: the From field uses \\& or"}},
        LintCase{"RulesKeepTheirProblems", std::string(kOn) + ":R:*@x\t\t\n",
                 {"problem rule 1: regular expression does not compile: invalid regular "
                  "expression; there's no previous pattern, to which '*' would define "
                  "cardinality at 1 (a leading * is wildcard syntax"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Lint, EnableLineAsThePluginReadsIt) {
  EXPECT_EQ(FindEnableLine(""), EnableLine::Missing);
  EXPECT_EQ(FindEnableLine("> enable=1\n"), EnableLine::Missing);
  EXPECT_EQ(FindEnableLine(">ENABLE=0\n"), EnableLine::Off);
  EXPECT_EQ(FindEnableLine("\xEF\xBB\xBF>Enable=1\r\n"), EnableLine::On);
}

}  // namespace
}  // namespace fromsel::cli
