// Loading the real fromsel.dll into the test host: binding, the PlugIns
// directory, the update entry in the plug-in's own ini file, and refusals.
#include "plugin/load.h"

#include <gtest/gtest.h>

#include "plugin/testhost/host_runner.h"

namespace fromsel {
namespace {

using testhost::HostRun;
using testhost::RunHost;
using testing::TestFolder;

constexpr const char* kEnglishUpdateUrl =
    "https://fromsel.example.org/soft/update/fromsel.en.txt";
constexpr const char* kUpdateEntry =
    "[Freshen]\r\nUpdate=https://fromsel.example.org/soft/update/fromsel.en.txt\r\n";

std::string IniValue(const std::string& path, const char* section, const char* key) {
  char value[512] = {};
  GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, path.c_str());
  return value;
}

HostRun LoadInto(const TestFolder& data, const std::string& dll = "") {
  std::vector<std::string> arguments{"--data", data.withSeparator()};
  if (!dll.empty()) arguments.insert(arguments.end(), {"--dll", dll});
  arguments.push_back("load");
  return RunHost("testhost.exe", arguments);
}

struct IniNameCase {
  const char* modulePath;
  const char* iniName;
};

class IniFileNameTest : public ::testing::TestWithParam<IniNameCase> {};

TEST_P(IniFileNameTest, FollowsTheLibraryFileNameOnly) {
  EXPECT_EQ(IniFileNameFor(GetParam().modulePath), GetParam().iniName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, IniFileNameTest,
    ::testing::Values(IniNameCase{"C:\\Program Files\\Mail\\PlugIns\\fromsel.dll", "fromsel.ini"},
                      IniNameCase{"D:\\elsewhere\\Renamed.DLL", "Renamed.ini"},
                      IniNameCase{"C:\\dotted.dir\\plugin", "plugin.ini"},
                      IniNameCase{"C:\\x\\two.dots.dll", "two.dots.ini"},
                      IniNameCase{"fromsel.dll", "fromsel.ini"}));

TEST(PluginLoad, FirstLoadCreatesPlugInsAndWritesTheUpdateEntry) {
  TestFolder data;
  const HostRun run = LoadInto(data);
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_TRUE(run.HasLine("load: ok")) << run.output;
  EXPECT_TRUE(data.IsFolder("PlugIns"));
  EXPECT_EQ(data.ReadFile("PlugIns\\fromsel.ini"), kUpdateEntry);
  EXPECT_TRUE(run.LinesStartingWith("messagebox:").empty()) << run.output;
}

TEST(PluginLoad, ExistingPlugInsIsKeptAndTheEntryRewrittenAtEveryLoad) {
  TestFolder data;
  data.WriteFile("PlugIns\\other.txt", "kept");
  data.WriteFile("PlugIns\\fromsel.ini",
             "[Freshen]\r\nUpdate=https://old.example.org/\r\nChecked=1\r\n[Mine]\r\nA=b\r\n");
  ASSERT_TRUE(LoadInto(data).HasLine("load: ok"));
  const std::string ini = data.withSeparator() + "PlugIns\\fromsel.ini";
  EXPECT_EQ(IniValue(ini, "Freshen", "Update"), kEnglishUpdateUrl);
  EXPECT_EQ(IniValue(ini, "Freshen", "Checked"), "1");
  EXPECT_EQ(IniValue(ini, "Mine", "A"), "b");
  EXPECT_EQ(data.ReadFile("PlugIns\\other.txt"), "kept");

  // The same value again: still written (the file is recreated when removed).
  DeleteFileA(ini.c_str());
  ASSERT_TRUE(LoadInto(data).HasLine("load: ok"));
  EXPECT_EQ(data.ReadFile("PlugIns\\fromsel.ini"), kUpdateEntry);
}

TEST(PluginLoad, PlugInsAsAPlainFileRefusesTheLoadWithoutASystemText) {
  TestFolder data;
  data.WriteFile("PlugIns", "not a folder");
  const HostRun run = LoadInto(data);
  EXPECT_TRUE(run.HasLine("load: refused (error 1114)")) << run.output;
  EXPECT_TRUE(run.HasLine("messagebox: Fromsel|Unable to create ini file.|topmost=1"))
      << run.output;
  EXPECT_EQ(data.ReadFile("PlugIns"), "not a folder");
}

TEST(PluginLoad, PlugInsThatCannotBeCreatedRefusesTheLoadWithTheSystemText) {
  TestFolder parent;
  const std::string missing = parent.withSeparator() + "no\\such\\folder\\";
  const HostRun run = RunHost("testhost.exe", {"--data", missing, "load"});
  EXPECT_TRUE(run.HasLine("load: refused (error 1114)")) << run.output;
  const auto boxes = run.LinesStartingWith("messagebox: Fromsel|Unable to create ini file.\\r\\n");
  ASSERT_EQ(boxes.size(), 1u) << run.output;
  // Resource text, CR LF, then a non-empty system text.
  EXPECT_GT(boxes[0].size(),
            std::string("messagebox: Fromsel|Unable to create ini file.\\r\\n|topmost=1").size());
  EXPECT_FALSE(parent.Exists("no"));
}

TEST(PluginLoad, AHostWithoutADataFolderRefusesTheLoadAndCreatesNothing) {
  TestFolder here;
  // The host runs in `here`, so a relative "PlugIns" would appear in it.
  const HostRun run = RunHost("testhost.exe", {"load"}, here.withSeparator());
  EXPECT_TRUE(run.HasLine("load: refused (error 1114)")) << run.output;
  EXPECT_TRUE(run.HasLine("messagebox: Fromsel|Unable to create ini file.|topmost=1"))
      << run.output;
  EXPECT_FALSE(here.Exists("PlugIns"));
}

TEST(PluginLoad, TheIniFileIsNamedAfterTheLibraryWhereverItLies) {
  TestFolder data;
  TestFolder library;
  const std::string copy = library.withSeparator() + "Renamed.dll";
  ASSERT_TRUE(CopyFileA((testhost::ExecutableFolder() + "fromsel.dll").c_str(), copy.c_str(),
                        FALSE));
  ASSERT_TRUE(LoadInto(data, copy).HasLine("load: ok"));
  EXPECT_EQ(data.ReadFile("PlugIns\\Renamed.ini"), kUpdateEntry);
  EXPECT_FALSE(data.Exists("PlugIns\\fromsel.ini"));
  EXPECT_FALSE(library.Exists("PlugIns"));
  EXPECT_FALSE(library.Exists("Renamed.ini"));
}

TEST(PluginLoad, AHostWithoutOneApiFunctionGetsMessage1002AndNoLoad) {
  TestFolder data;
  const HostRun run = RunHost("testhost_partial.exe", {"--data", data.withSeparator(), "load"});
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_TRUE(run.HasLine("load: refused (error 1114)")) << run.output;
  EXPECT_TRUE(run.HasLine("messagebox: Fromsel|Failed to initialize Becky! API.|topmost=1"))
      << run.output;
  EXPECT_FALSE(data.Exists("PlugIns"));
}

TEST(PluginLoad, PlugInInfoHasTheFourFixedFields) {
  TestFolder data;
  const HostRun run = RunHost("testhost.exe", {"--data", data.withSeparator(), "load", "info"});
  EXPECT_TRUE(run.HasLine("info: 0")) << run.output;
  EXPECT_TRUE(run.HasLine("info.name: Fromsel"));
  EXPECT_TRUE(run.HasLine("info.vendor: Fromsel Project"));
  EXPECT_TRUE(run.HasLine("info.version: Version 0.3.0"));
  EXPECT_TRUE(run.HasLine("info.description: Extends MY addresses"));
}

}  // namespace
}  // namespace fromsel
