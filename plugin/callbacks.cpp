// The host's callbacks. None of them lets a C++ exception reach the host,
// and none depends on being called in the expected order: a reply before
// start or after exit finds no settings table and changes nothing.
#include "plugin/callbacks.h"

#include <string>

#include "pattern/regex/program.h"
#include "rules/settings.h"
#include "sender/rewrite.h"
#include "ui/settings_dialog.h"
#include "win32/host_binding.h"
#include "win32/module.h"

namespace fromsel {
namespace {

// The host's reply modes of BKC_OnOpenCompose; every other mode is ignored.
constexpr int kFirstReplyMode = 5;
constexpr int kLastReplyMode = 7;

template <typename Body>
int Guarded(int resultOnException, Body body) {
  try {
    return body();
  } catch (...) {
    return resultOnException;
  }
}

bool IsBound() { return BoundHostFunctions().hostModule != nullptr; }

void StartEngines() {
  regex::InstallCaseTable();
  LoadSettingsTable(BoundHost().GetDataFolder());
}

}  // namespace
}  // namespace fromsel

using namespace fromsel;

extern "C" int WINAPI BKC_OnStart() {
  return Guarded(0, [] {
    if (IsBound()) StartEngines();
    return 0;
  });
}

extern "C" int WINAPI BKC_OnExit() {
  return Guarded(0, [] {
    ReleaseSettingsTable();
    return 0;
  });
}

extern "C" int WINAPI BKC_OnOpenCompose(HWND window, int mode) {
  return Guarded(0, [&] {
    if (mode >= kFirstReplyMode && mode <= kLastReplyMode && IsBound() &&
        CurrentSettingsTable() != nullptr) {
      RewriteSender(BoundHost(), window);
    }
    return 0;
  });
}

extern "C" int WINAPI BKC_OnPlugInSetup(HWND owner) {
  return Guarded(1, [&] {
    if (!IsBound()) return 1;
    // Setup before start (or after exit) edits the settings on disk, not an
    // empty table that would overwrite them.
    if (CurrentSettingsTable() == nullptr) StartEngines();
    ui::RunSettingsDialog(owner, "");
    return 1;
  });
}

extern "C" int WINAPI BKC_OnPlugInInfo(PlugInInfo* info) {
  return Guarded(0, [&] {
    if (!info) return 0;
    const HINSTANCE module = ModuleInstance();
    *info = PlugInInfo{};
    LoadStringA(module, IDS_PLUGIN_NAME, info->name, kPlugInNameSize);
    LoadStringA(module, IDS_VENDOR, info->vendor, kPlugInVendorSize);
    FormatVersionString(info->version);
    LoadStringA(module, IDS_DESCRIPTION, info->description, kPlugInDescriptionSize);
    return 0;
  });
}
