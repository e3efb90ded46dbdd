// The mail client's plug-in API as this plug-in calls it: the entry points the
// client exports from its own executable, looked up by name at load. The test
// host implements the same names with these exact types.
#pragma once

#include <windows.h>

namespace fromsel {

using BkaGetDataFolder = LPCSTR(WINAPI*)();
using BkaGetCurrentMailBox = LPCSTR(WINAPI*)();
using BkaGetCurrentFolder = LPCSTR(WINAPI*)();
using BkaComposeMail = HWND(WINAPI*)(LPCSTR url);
// The returned text is allocated by the host; release it with BkaFree.
using BkaGetSource = LPSTR(WINAPI*)(LPCSTR messageId);
using BkaCompGetSpecifiedHeader = int(WINAPI*)(HWND window, LPCSTR header, LPSTR buffer,
                                               int size);
using BkaCompSetSpecifiedHeader = BOOL(WINAPI*)(HWND window, LPCSTR header, LPCSTR value);
using BkaFree = void(WINAPI*)(LPVOID pointer);

// The seven required entry points in binding order, then the optional release.
struct HostFunctions {
  BkaGetDataFolder getDataFolder = nullptr;
  BkaGetCurrentMailBox getCurrentMailBox = nullptr;
  BkaGetCurrentFolder getCurrentFolder = nullptr;
  BkaComposeMail composeMail = nullptr;
  BkaGetSource getSource = nullptr;
  BkaCompGetSpecifiedHeader compGetSpecifiedHeader = nullptr;
  BkaCompSetSpecifiedHeader compSetSpecifiedHeader = nullptr;
  BkaFree free = nullptr;  // optional: a host without it keeps its buffers
  HMODULE hostModule = nullptr;  // null while unbound
};

inline constexpr const char* kRequiredHostFunctionNames[] = {
    "BKA_GetDataFolder",      "BKA_GetCurrentMailBox",      "BKA_GetCurrentFolder",
    "BKA_ComposeMail",        "BKA_GetSource",              "BKA_CompGetSpecifiedHeader",
    "BKA_CompSetSpecifiedHeader",
};
inline constexpr const char* kHostFreeFunctionName = "BKA_Free";

}  // namespace fromsel
