// testhost.exe: stands in for the mail client. Usage:
//   testhost.exe [--key value | SCENARIO]...
// Options take effect for the scenarios after them. Host options:
//   --data DIR       data folder (a backslash is appended)
//   --mailbox NAME   current mailbox directory, e.g. Work.mb
//   --folder PATH    current folder relative to DIR (default: NAME\)
//   --source FILE    raw message served for every BKA_GetSource ("" for none)
//   --close-dialogs ok|cancel   press that button in every dialog box other
//                    than a message box as soon as it is shown
// `testhost.exe help` lists the scenarios.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "plugin/testhost/host_state.h"
#include "plugin/testhost/message_capture.h"
#include "plugin/testhost/scenario.h"

using namespace fromsel::testhost;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void ApplyHostOption(const std::string& key, const std::string& value, ScenarioContext& context) {
  HostState& state = State();
  if (key == "data") {
    state.dataFolder = WithTrailingBackslash(WindowsPath(value));
  } else if (key == "mailbox") {
    state.currentMailbox = value + "\\";
    if (context.options.count("folder") == 0) state.currentFolder = value + "\\";
  } else if (key == "folder") {
    state.currentFolder = WithTrailingBackslash(value);
  } else if (key == "close-dialogs") {
    SetCloseOtherDialogs(value == "ok" ? IDOK : value == "cancel" ? IDCANCEL : 0);
  } else if (key == "source") {
    state.sourceFile = value.empty() ? value : WindowsPath(value);
  }
}

void PrintHelp() {
  Report("usage: testhost.exe [--key value | SCENARIO]...");
  for (const auto& [name, scenario] : AllScenarios()) {
    Report("  %-24s %s", name.c_str(), scenario.help);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // The report is read by tests: plain LF line ends.
  _setmode(_fileno(stdout), _O_BINARY);
  // Like the mail client: the list-view class the settings dialog uses is
  // registered by the host, not by the plug-in.
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  StartMessageCapture();
  ScenarioContext context;
  bool allPassed = true;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.rfind("--", 0) == 0) {
      if (i + 1 >= argc) {
        Report("testhost: option %s needs a value", word.c_str());
        return kExitUsage;
      }
      const std::string key = word.substr(2);
      const std::string value = argv[++i];
      ApplyHostOption(key, value, context);
      context.options[key] = value;
      continue;
    }
    if (word == "help") {
      PrintHelp();
      continue;
    }
    const Scenario* scenario = FindScenario(word);
    if (!scenario) {
      Report("testhost: unknown scenario %s", word.c_str());
      return kExitUsage;
    }
    if (!scenario->run(context)) allPassed = false;
  }
  StopMessageCapture();
  return allPassed ? 0 : kExitFailed;
}
