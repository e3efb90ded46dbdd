// Load-time setup of the plug-in: binding, the PlugIns directory and the
// update-checker entry in the plug-in's own ini file.
#pragma once

#include <windows.h>

#include <string>

namespace fromsel {

// Message-box flags of every load-time failure: system-modal, stop icon.
inline constexpr UINT kLoadFailureFlags = MB_SYSTEMMODAL | MB_ICONHAND;

// The plug-in's ini file name: the module file's name with its extension
// replaced by ".ini" (added when it has none). The directory does not count.
std::string IniFileNameFor(const std::string& modulePath);

// Everything process attach does. Shows the failure message itself and
// returns false when the load must be refused.
bool AttachPlugin(HINSTANCE instance);

// Process detach. Nothing to release: the dialogs keep no module-wide state
// and the settings table is released by BKC_OnExit (or with the process).
void DetachPlugin();

// Path of the plug-in's own ini file, set at attach.
const std::string& PluginIniPath();

}  // namespace fromsel
