// The plug-in as the test host sees it: a DLL loaded with LoadLibraryA and
// its five callbacks found by name, as the mail client would.
#pragma once

#include <windows.h>

#include <string>

#include "plugin/plugin_info.h"
#include "plugin/testhost/stdcall_check.h"

namespace fromsel::testhost {

class PluginModule {
 public:
  using StartFn = int(WINAPI*)();
  using ExitFn = int(WINAPI*)();
  using OpenComposeFn = int(WINAPI*)(HWND window, int mode);
  using SetupFn = int(WINAPI*)(HWND owner);
  using InfoFn = int(WINAPI*)(PlugInInfo* info);

  ~PluginModule() = default;  // the process's end detaches a loaded DLL

  // False when the DLL refused to load (its DllMain failed) or a callback
  // is missing; `error` then holds GetLastError's value (0 for a missing callback).
  bool Load(const std::string& path, DWORD& error);
  void Unload();
  bool IsLoaded() const { return module_ != nullptr; }
  HMODULE Module() const { return module_; }

  StdcallEntry<StartFn> onStart{"BKC_OnStart"};
  StdcallEntry<ExitFn> onExit{"BKC_OnExit"};
  StdcallEntry<OpenComposeFn> onOpenCompose{"BKC_OnOpenCompose"};
  StdcallEntry<SetupFn> onPlugInSetup{"BKC_OnPlugInSetup"};
  StdcallEntry<InfoFn> onPlugInInfo{"BKC_OnPlugInInfo"};

 private:
  HMODULE module_ = nullptr;
};

}  // namespace fromsel::testhost
