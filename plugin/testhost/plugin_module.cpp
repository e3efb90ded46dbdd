#include "plugin/testhost/plugin_module.h"

namespace fromsel::testhost {
namespace {

template <typename Function>
bool Find(HMODULE module, StdcallEntry<Function>& entry) {
  entry.Set(reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(module, entry.Name()))));
  return static_cast<bool>(entry);
}

}  // namespace

bool PluginModule::Load(const std::string& path, DWORD& error) {
  Unload();
  error = 0;
  HMODULE module = LoadLibraryA(path.c_str());
  if (!module) {
    error = GetLastError();
    return false;
  }
  const bool all = Find(module, onStart) && Find(module, onExit) &&
                   Find(module, onOpenCompose) && Find(module, onPlugInSetup) &&
                   Find(module, onPlugInInfo);
  module_ = module;
  if (!all) {
    Unload();
    return false;
  }
  return true;
}

void PluginModule::Unload() {
  if (module_) FreeLibrary(module_);
  module_ = nullptr;
  onStart.Set(nullptr);
  onExit.Set(nullptr);
  onOpenCompose.Set(nullptr);
  onPlugInSetup.Set(nullptr);
  onPlugInInfo.Set(nullptr);
}

}  // namespace fromsel::testhost
