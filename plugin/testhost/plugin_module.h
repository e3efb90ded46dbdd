// The plug-in as the test host sees it: a DLL loaded with LoadLibraryA and
// its five callbacks found by name, as the mail client would.
#pragma once

#include <windows.h>

#include <string>

#include "plugin/plugin_info.h"

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

  StartFn onStart = nullptr;
  ExitFn onExit = nullptr;
  OpenComposeFn onOpenCompose = nullptr;
  SetupFn onPlugInSetup = nullptr;
  InfoFn onPlugInInfo = nullptr;

 private:
  HMODULE module_ = nullptr;
};

}  // namespace fromsel::testhost
