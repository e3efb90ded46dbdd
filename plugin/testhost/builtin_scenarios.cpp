// The test host's own steps: load and unload the plug-in, call each of its
// callbacks the way the mail client does, and report what happened.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/testhost/host_state.h"
#include "plugin/testhost/scenario.h"

namespace fromsel::testhost {
namespace {

// Reply mode the host uses unless --mode says otherwise.
constexpr int kDefaultComposeMode = 6;
// String ids the strings step prints unless --ids says otherwise.
constexpr const char* kDefaultStringIds = "1,2,3,4,5,700,701,702,1000,1001,1002,1003,1004";
// Longest string resource the strings step reads.
constexpr int kStringBufferSize = 512;

std::string DefaultDllPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path);
  const size_t slash = text.find_last_of('\\');
  return (slash == std::string::npos ? std::string() : text.substr(0, slash + 1)) + "fromsel.dll";
}

bool RequireLoaded(const ScenarioContext& context, const char* step) {
  if (context.plugin.IsLoaded()) return true;
  Report("%s: plug-in not loaded", step);
  return false;
}

}  // namespace

TESTHOST_SCENARIO(load, "load --dll PATH (default fromsel.dll beside the host)") {
  DWORD error = 0;
  const std::string path = WindowsPath(context.Option("dll", DefaultDllPath()));
  if (context.plugin.Load(path, error)) {
    Report("load: ok");
    return true;
  }
  Report("load: refused (error %lu)", static_cast<unsigned long>(error));
  return false;
}

TESTHOST_SCENARIO(unload, "FreeLibrary the plug-in") {
  context.plugin.Unload();
  Report("unload: ok");
  return true;
}

TESTHOST_SCENARIO(start, "BKC_OnStart") {
  if (!RequireLoaded(context, "start")) return false;
  Report("start: %d", context.plugin.onStart());
  return true;
}

TESTHOST_SCENARIO(exit, "BKC_OnExit") {
  if (!RequireLoaded(context, "exit")) return false;
  Report("exit: %d", context.plugin.onExit());
  return true;
}

TESTHOST_SCENARIO(info, "BKC_OnPlugInInfo, printing the four fields") {
  if (!RequireLoaded(context, "info")) return false;
  PlugInInfo info;
  // A host hands over whatever its memory holds: the plug-in must terminate.
  std::memset(&info, 'x', sizeof info);
  const int result = context.plugin.onPlugInInfo(&info);
  auto field = [](const char* text, size_t size) {
    return Escaped(std::string(text, strnlen(text, size)));
  };
  Report("info: %d", result);
  Report("info.name: %s", field(info.name, sizeof info.name).c_str());
  Report("info.vendor: %s", field(info.vendor, sizeof info.vendor).c_str());
  Report("info.version: %s", field(info.version, sizeof info.version).c_str());
  Report("info.description: %s", field(info.description, sizeof info.description).c_str());
  return true;
}

TESTHOST_SCENARIO(setup, "BKC_OnPlugInSetup; --owner 1 passes the host's main window") {
  if (!RequireLoaded(context, "setup")) return false;
  HWND owner = context.Option("owner") == "1" ? State().MainWindow() : nullptr;
  Report("setup: %d", context.plugin.onPlugInSetup(owner));
  return true;
}

TESTHOST_SCENARIO(compose, "BKC_OnOpenCompose on a new window: --mode N --ref X-BECKY-REF") {
  if (!RequireLoaded(context, "compose")) return false;
  const int mode = context.IntOption("mode", kDefaultComposeMode);
  HWND window = State().NewComposeWindow(context.Option("ref", "1.mb\\Inbox\\>1"));
  const int result = context.plugin.onOpenCompose(window, mode);
  const size_t sets = State().composeWindows[window].setCalls.size();
  Report("compose %d: %d sets %u", mode, result, static_cast<unsigned>(sets));
  return true;
}

TESTHOST_SCENARIO(strings, "LoadStringA of --ids ID,ID,... from the plug-in, as hex") {
  if (!RequireLoaded(context, "strings")) return false;
  std::string ids = context.Option("ids", kDefaultStringIds);
  size_t begin = 0;
  while (begin <= ids.size()) {
    size_t comma = ids.find(',', begin);
    if (comma == std::string::npos) comma = ids.size();
    const UINT id = static_cast<UINT>(std::strtoul(ids.substr(begin, comma - begin).c_str(),
                                                   nullptr, 10));
    char buffer[kStringBufferSize] = {};
    const int length = LoadStringA(context.plugin.Module(), id, buffer, kStringBufferSize);
    Report("string %u: %s", id, HexBytes(std::string(buffer, length > 0 ? length : 0)).c_str());
    begin = comma + 1;
  }
  return true;
}

TESTHOST_SCENARIO(balance, "source texts handed out and released through BKA_Free") {
  const HostState& state = State();
  Report("balance: allocated %d released %d unknown %d", state.sourcesAllocated,
         state.sourcesReleased, state.unknownReleases);
  return true;
}

TESTHOST_SCENARIO(codepage, "the process's ANSI code page") {
  Report("codepage: %u", GetACP());
  return true;
}

}  // namespace fromsel::testhost
