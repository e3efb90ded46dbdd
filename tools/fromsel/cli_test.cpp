#include "tools/fromsel/cli.h"

#include <gtest/gtest.h>

#include <sstream>

namespace fromsel::cli {
namespace {

struct Run {
  int code;
  std::string out, err;
};

Run RunFromsel(const std::vector<std::string>& argv, const std::string& input = "") {
  std::ostringstream out, err;
  std::istringstream in(input);
  Output io{out, err, in};
  const int code = RunCommandLine(argv, io);
  return {code, out.str(), err.str()};
}

TEST(Cli, UsageErrorsGiveOneLineAnd64) {
  for (const auto& argv : std::vector<std::vector<std::string>>{
           {}, {"nonsense"}, {"settings", "--bogus"}, {"settings", "a", "b"}}) {
    const Run run = RunFromsel(argv);
    EXPECT_EQ(run.code, ExitUsage);
    EXPECT_EQ(run.err.rfind("fromsel: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

TEST(Cli, HelpListsEveryCommand) {
  const Run run = RunFromsel({"help"});
  EXPECT_EQ(run.code, ExitYes);
  for (const Command& command : Commands()) EXPECT_NE(run.out.find(command.usage), std::string::npos);
  EXPECT_EQ(RunFromsel({"settings", "--help"}).code, ExitYes);
}

TEST(Cli, SettingsNormalisesAsThePluginSaves) {
  const Run run = RunFromsel(
      {"settings"}, ">ENABLE = 1\r\n\r\n#bare\r\n:vr:(.+)@x\tMe\t\\1@y\tdropped\r\n\n::a\r\n");
  EXPECT_EQ(run.code, ExitYes);
  EXPECT_EQ(run.out,
            ">Enable=1\n>Delivered-To=0\n::\t\t\n::#bare\t\t\n:RV:(.+)@x\tMe\t\\1@y\n::a\t\t\n");
}

TEST(Cli, SettingsFileThatCannotBeRead) {
  const Run run = RunFromsel({"settings", "/nonexistent/dir/fromsel.ini"});
  EXPECT_EQ(run.code, ExitNoInput);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos);
}

TEST(Cli, ShippedExampleNormalises) {
  const Run run = RunFromsel({"settings", FROMSEL_SOURCE_DIR "/examples/hand-edited-fromsel.ini"});
  EXPECT_EQ(run.code, ExitYes);
  EXPECT_EQ(run.out.rfind(">Enable=1\n>Delivered-To=0\n", 0), 0u);
}

}  // namespace
}  // namespace fromsel::cli
