// The test host's own steps: load and unload the plug-in, call each of its
// callbacks the way the mail client does, and report what happened.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/testhost/allocation_faults.h"
#include "plugin/testhost/host_state.h"
#include "plugin/testhost/scenario.h"
#include "plugin/testhost/stdcall_check.h"

namespace fromsel::testhost {
namespace {

// Reply mode and X-Becky-Ref the host uses unless --mode and --ref say otherwise.
constexpr int kDefaultComposeMode = 6;
constexpr const char* kDefaultComposeRef = "1.mb\\Inbox\\>1";
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

bool InterceptAllocations(const ScenarioContext& context, const char* step) {
  if (!RequireLoaded(context, step)) return false;
  if (InterceptPluginAllocations(context.plugin.Module())) return true;
  Report("%s: the plug-in imports no malloc", step);
  return false;
}

#if defined(__i386__)
__attribute__((noinline)) int WINAPI StdcallDifference(int a, int b) { return a - b; }
__attribute__((noinline)) int __cdecl CdeclDifference(int a, int b) { return a - b; }
#endif

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
  HWND window = State().NewComposeWindow(context.Option("ref", kDefaultComposeRef));
  const int result = context.plugin.onOpenCompose(window, mode);
  const size_t sets = State().composeWindows[window].setCalls.size();
  Report("compose %d: %d sets %u", mode, result, static_cast<unsigned>(sets));
  return true;
}

TESTHOST_SCENARIO(reenter,
                  "--from GetSource|GetCurrentFolder|CompGetSpecifiedHeader --calls exit,start,"
                  "setup: that host function's next call runs these callbacks first") {
  if (!RequireLoaded(context, "reenter")) return false;
  const std::string calls = context.Option("calls");
  PluginModule* plugin = &context.plugin;
  State().reenterFrom = context.Option("from");
  State().reentry = [plugin, calls] {
    size_t begin = 0;
    while (begin <= calls.size()) {
      size_t comma = calls.find(',', begin);
      if (comma == std::string::npos) comma = calls.size();
      const std::string call = calls.substr(begin, comma - begin);
      if (call == "exit") Report("reenter: exit %d", plugin->onExit());
      if (call == "start") Report("reenter: start %d", plugin->onStart());
      if (call == "setup") Report("reenter: setup %d", plugin->onPlugInSetup(nullptr));
      begin = comma + 1;
    }
  };
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

TESTHOST_SCENARIO(alloc_fail, "the plug-in's next allocation fails") {
  if (!InterceptAllocations(context, "alloc_fail")) return false;
  FailPluginAllocation(1);
  return true;
}

TESTHOST_SCENARIO(alloc_ok, "no allocation of the plug-in fails; how many were refused") {
  FailPluginAllocation(0);
  Report("alloc_ok: %ld refused", RefusedPluginAllocations());
  return true;
}

TESTHOST_SCENARIO(compose_oom, "compose once per allocation a reply makes, that one failing") {
  if (!InterceptAllocations(context, "compose_oom")) return false;
  const int mode = context.IntOption("mode", kDefaultComposeMode);
  const std::string ref = context.Option("ref", kDefaultComposeRef);
  HostState& state = State();
  FailPluginAllocation(0);
  context.plugin.onOpenCompose(state.NewComposeWindow(ref), mode);
  const long allocations = PluginAllocations();
  int wrong = 0;
  for (long nth = 1; nth <= allocations; ++nth) {
    const int handedOut = state.sourcesAllocated - state.sourcesReleased;
    FailPluginAllocation(nth);
    const int result = context.plugin.onOpenCompose(state.NewComposeWindow(ref), mode);
    const int kept = state.sourcesAllocated - state.sourcesReleased - handedOut;
    if (result != 0 || kept != 0) {
      Report("compose_oom: allocation %ld failing: result %d, %d source texts kept", nth,
             result, kept);
      ++wrong;
    }
  }
  FailPluginAllocation(0);
  Report("compose_oom: %ld allocations, %d failure points wrong", allocations, wrong);
  return wrong == 0;
}

#if defined(__i386__)
TESTHOST_SCENARIO(stack_check, "the stack measurement of callbacks, on a stdcall and a cdecl") {
  const std::uint32_t words[] = {5, 3};
  int stdcallImbalance = 1;
  int cdeclImbalance = 1;
  const std::uint32_t stdcallResult = CallStdcallMeasured(
      reinterpret_cast<const void*>(&StdcallDifference), words, 2, stdcallImbalance);
  const std::uint32_t cdeclResult = CallStdcallMeasured(
      reinterpret_cast<const void*>(&CdeclDifference), words, 2, cdeclImbalance);
  Report("stack_check: stdcall %u off %d, cdecl %u off %d", stdcallResult, stdcallImbalance,
         cdeclResult, cdeclImbalance);
  return true;
}
#endif

TESTHOST_SCENARIO(codepage, "the process's ANSI code page") {
  Report("codepage: %u", GetACP());
  return true;
}

}  // namespace fromsel::testhost
