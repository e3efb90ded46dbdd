// Stand-in for the settings dialog until it is built: says so and cancels.
#include "plugin/plugin.h"

namespace fromsel {

int RunSettingsDialog(HWND owner, const char* /*preselectKey*/) {
  const std::string caption = LoadResourceString(IDS_CAPTION, 32);
  MessageBoxA(owner, "The settings dialog is not available in this build.", caption.c_str(),
              MB_OK | MB_ICONINFORMATION);
  return IDCANCEL;
}

}  // namespace fromsel
