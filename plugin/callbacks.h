// The five callbacks the host calls (exported by name through fromsel.def).
#pragma once

#include <windows.h>

#include "plugin/plugin_info.h"

extern "C" {
int WINAPI BKC_OnStart();
int WINAPI BKC_OnExit();
int WINAPI BKC_OnOpenCompose(HWND window, int mode);
int WINAPI BKC_OnPlugInSetup(HWND owner);
int WINAPI BKC_OnPlugInInfo(fromsel::PlugInInfo* info);
}
