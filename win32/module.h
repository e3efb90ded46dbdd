// The library module's own services, shared by the plug-in shell and its
// dialogs: the module instance, string resources, message boxes captioned
// with the plug-in's name, the version text and window text.
#pragma once

#include <windows.h>

#include <string>

#include "win32/resource_ids.h"

namespace fromsel {

// Size of the buffer FormatVersionString writes into.
inline constexpr int kVersionTextSize = 80;

// The library's own instance: strings, version and dialogs load from it.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Full path of a module's file ("" when unknown).
std::string ModulePath(HMODULE module);

// String `id` of the module's string table in the thread's language
// (empty when absent), cut to `bufferSize` - 1 bytes as a fixed buffer would.
std::string LoadResourceString(UINT id, int bufferSize);

// Caption string 1, text string `textId`, shown with `flags`.
void ShowResourceMessage(HWND owner, UINT textId, UINT flags);

// Text string `textId`, CR LF, and the system's text for `errorCode`; the
// resource text alone when the system has none. Returns MessageBoxA's result.
int ShowSystemErrorMessage(HWND owner, UINT textId, DWORD errorCode, UINT flags);

// "Version A.B.C" from the module's file version A.B.C.D into `destination`
// (at least kVersionTextSize bytes).
void FormatVersionString(char* destination);

// The whole text of a window (empty when it has none).
std::string GetWindowTextString(HWND window);

}  // namespace fromsel
