#include "plugin/testhost/plugin_module.h"

namespace fromsel::testhost {
namespace {

template <typename Function>
bool Find(HMODULE module, const char* name, Function& slot) {
  slot = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return slot != nullptr;
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
  const bool all = Find(module, "BKC_OnStart", onStart) && Find(module, "BKC_OnExit", onExit) &&
                   Find(module, "BKC_OnOpenCompose", onOpenCompose) &&
                   Find(module, "BKC_OnPlugInSetup", onPlugInSetup) &&
                   Find(module, "BKC_OnPlugInInfo", onPlugInInfo);
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
  onStart = nullptr;
  onExit = nullptr;
  onOpenCompose = nullptr;
  onPlugInSetup = nullptr;
  onPlugInInfo = nullptr;
}

}  // namespace fromsel::testhost
