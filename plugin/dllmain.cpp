// The library's entry point: load-time setup on process attach.
#include <windows.h>

#include "plugin/load.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  try {
    switch (reason) {
      case DLL_PROCESS_ATTACH:
        return fromsel::AttachPlugin(instance) ? TRUE : FALSE;
      case DLL_PROCESS_DETACH:
        fromsel::DetachPlugin();
        return TRUE;
      default:
        return TRUE;
    }
  } catch (...) {
    return FALSE;
  }
}
