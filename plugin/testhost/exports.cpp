// The host API as the mail client exports it from its executable, served
// from HostState. Built complete (testhost.exe), without
// BKA_CompSetSpecifiedHeader (testhost_partial.exe: the plug-in must refuse
// to load) and without BKA_Free (testhost_nofree.exe: an older host).
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "win32/host_functions.h"
#include "plugin/testhost/host_state.h"

using fromsel::testhost::Report;
using fromsel::testhost::State;

#define HOST_EXPORT extern "C" __declspec(dllexport)

HOST_EXPORT LPCSTR WINAPI BKA_GetDataFolder() { return State().dataFolder.c_str(); }

HOST_EXPORT LPCSTR WINAPI BKA_GetCurrentMailBox() { return State().currentMailbox.c_str(); }

HOST_EXPORT LPCSTR WINAPI BKA_GetCurrentFolder() {
  State().Reenter("GetCurrentFolder");
  return State().currentFolder.c_str();
}

HOST_EXPORT HWND WINAPI BKA_ComposeMail(LPCSTR url) {
  const std::string text = url ? url : "(null)";
  State().composeMailUrls.push_back(text);
  Report("composemail: %s", fromsel::testhost::Escaped(text).c_str());
  return nullptr;
}

HOST_EXPORT LPSTR WINAPI BKA_GetSource(LPCSTR messageId) {
  auto& state = State();
  state.Reenter("GetSource");
  const std::string ref = messageId ? messageId : "(null)";
  state.sourceRequests.push_back(ref);
  Report("getsource: %s", fromsel::testhost::Escaped(ref).c_str());
  if (state.sourceFile.empty()) return nullptr;
  HANDLE file = CreateFileA(state.sourceFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  const DWORD size = GetFileSize(file, nullptr);
  char* text = static_cast<char*>(std::malloc(size + 1));
  DWORD read = 0;
  if (!text || !ReadFile(file, text, size, &read, nullptr)) read = 0;
  CloseHandle(file);
  if (!text) return nullptr;
  text[read] = '\0';
  state.liveSources.insert(text);
  ++state.sourcesAllocated;
  return text;
}

#ifndef TESTHOST_WITHOUT_FREE
HOST_EXPORT void WINAPI BKA_Free(LPVOID pointer) {
  auto& state = State();
  if (state.liveSources.erase(pointer) == 0) {
    ++state.unknownReleases;
    return;  // never free what this host did not hand out
  }
  ++state.sourcesReleased;
  std::free(pointer);
}
#endif

HOST_EXPORT int WINAPI BKA_CompGetSpecifiedHeader(HWND window, LPCSTR header, LPSTR buffer,
                                                  int size) {
  State().Reenter("CompGetSpecifiedHeader");
  auto& windows = State().composeWindows;
  auto found = windows.find(window);
  if (!header || !buffer || size <= 0) return 0;
  std::string value;
  if (found != windows.end()) {
    auto item = found->second.headers.find(header);
    if (item != found->second.headers.end()) value = item->second;
  }
  // Like lstrcpyn: at most size - 1 bytes and the terminator.
  const size_t length = value.size() < static_cast<size_t>(size) ? value.size() : size - 1;
  std::memcpy(buffer, value.data(), length);
  buffer[length] = '\0';
  return static_cast<int>(length);
}

#ifndef TESTHOST_WITHOUT_COMP_SET_HEADER
HOST_EXPORT BOOL WINAPI BKA_CompSetSpecifiedHeader(HWND window, LPCSTR header, LPCSTR value) {
  auto& windows = State().composeWindows;
  auto found = windows.find(window);
  const std::string name = header ? header : "(null)";
  const std::string text = value ? value : "(null)";
  Report("set: %s: %s", fromsel::testhost::Escaped(name).c_str(),
         fromsel::testhost::Escaped(text).c_str());
  if (found == windows.end()) return FALSE;
  found->second.headers[name] = text;
  found->second.setCalls.emplace_back(name, text);
  return TRUE;
}
#endif

// The plug-in calls these through the types of win32/host_functions.h. The
// same types here, calling convention included (which i686 tells apart), so
// the argument bytes in this host's stdcall export names are the plug-in's.
static_assert(std::is_same_v<decltype(&BKA_GetDataFolder), fromsel::BkaGetDataFolder>);
static_assert(std::is_same_v<decltype(&BKA_GetCurrentMailBox), fromsel::BkaGetCurrentMailBox>);
static_assert(std::is_same_v<decltype(&BKA_GetCurrentFolder), fromsel::BkaGetCurrentFolder>);
static_assert(std::is_same_v<decltype(&BKA_ComposeMail), fromsel::BkaComposeMail>);
static_assert(std::is_same_v<decltype(&BKA_GetSource), fromsel::BkaGetSource>);
static_assert(std::is_same_v<decltype(&BKA_CompGetSpecifiedHeader),
                             fromsel::BkaCompGetSpecifiedHeader>);
#ifndef TESTHOST_WITHOUT_COMP_SET_HEADER
static_assert(std::is_same_v<decltype(&BKA_CompSetSpecifiedHeader),
                             fromsel::BkaCompSetSpecifiedHeader>);
#endif
#ifndef TESTHOST_WITHOUT_FREE
static_assert(std::is_same_v<decltype(&BKA_Free), fromsel::BkaFree>);
#endif
