// What the plug-in shell offers the rest of the DLL (the settings dialog and
// the about box): the module instance, the bound host API, message boxes
// captioned with the plug-in's name, and small text helpers.
#pragma once

#include <windows.h>

#include <string>

// windows.h maps this name to WriteProfileStringA; platform:: has its own.
#undef WriteProfileString
#include "platform/platform.h"
#include "plugin/host_binding.h"
#include "plugin/host_functions.h"
#include "plugin/resource_ids.h"

namespace fromsel {

// Message-box flags of every load-time failure: system-modal, stop icon.
inline constexpr UINT kLoadFailureFlags = MB_SYSTEMMODAL | MB_ICONHAND;
// Size of the buffer FormatVersionString writes into.
inline constexpr int kVersionTextSize = 80;

// The DLL's own instance: strings, version and dialogs load from it.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// The host's entry points, bound at load (all null while unbound).
HostFunctions& BoundHostFunctions();
// HostApi over BoundHostFunctions(): GetDataFolder, ComposeMail, ...
HostApi& BoundHost();

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

// The ini reader with the plug-in's growth rule.
using platform::ReadProfileString;

// Path of the plug-in's own ini file, set at load.
const std::string& PluginIniPath();

// The settings dialog, modal over `owner`; 1 for OK, 2 for Cancel.
int RunSettingsDialog(HWND owner, const char* preselectKey);

}  // namespace fromsel
