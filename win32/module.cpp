#include "win32/module.h"

#include <cstdio>
#include <vector>

namespace fromsel {
namespace {

HINSTANCE g_moduleInstance = nullptr;

// Fixed buffers of the message routines: a caption is short, a plain
// message fits 128 bytes, one followed by a system text 256.
constexpr int kCaptionSize = 32;
constexpr int kMessageTextSize = 128;
constexpr int kErrorMessageTextSize = 256;

}  // namespace

HINSTANCE ModuleInstance() { return g_moduleInstance; }
void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }

std::string LoadResourceString(UINT id, int bufferSize) {
  // LoadStringA gives no text into no buffer.
  if (bufferSize <= 0) return std::string();
  std::vector<char> buffer(bufferSize, '\0');
  const int length = LoadStringA(ModuleInstance(), id, buffer.data(), bufferSize);
  return length > 0 ? std::string(buffer.data(), length) : std::string();
}

void ShowResourceMessage(HWND owner, UINT textId, UINT flags) {
  const std::string caption = LoadResourceString(IDS_CAPTION, kCaptionSize);
  const std::string text = LoadResourceString(textId, kMessageTextSize);
  MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

int ShowSystemErrorMessage(HWND owner, UINT textId, DWORD errorCode, UINT flags) {
  const std::string caption = LoadResourceString(IDS_CAPTION, kCaptionSize);
  std::string message = LoadResourceString(textId, kErrorMessageTextSize);
  LPSTR systemText = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, errorCode, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
      reinterpret_cast<LPSTR>(&systemText), 0, nullptr);
  // Without a system text the resource text stands alone: no dangling line break.
  if (length > 0 && systemText) message.append("\r\n").append(systemText, length);
  const int result = MessageBoxA(owner, message.c_str(), caption.c_str(), flags);
  if (systemText) LocalFree(systemText);
  return result;
}

std::string ModulePath(HMODULE module) {
  // Grow until the name fits: a long install path must not be cut.
  constexpr DWORD kMaxPathBuffer = 32768;  // the longest path Windows knows
  for (DWORD size = MAX_PATH; size <= kMaxPathBuffer; size *= 2) {
    std::vector<char> buffer(size, '\0');
    const DWORD length = GetModuleFileNameA(module, buffer.data(), size);
    if (length == 0) return std::string();
    if (length < size) return std::string(buffer.data(), length);
  }
  return std::string();
}

namespace {

bool ReadFileVersion(const std::string& path, VS_FIXEDFILEINFO& info) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<char> block(size, '\0');
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &fixedSize) ||
      !fixed || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
    return false;
  }
  info = *fixed;
  return true;
}

}  // namespace

void FormatVersionString(char* destination) {
  VS_FIXEDFILEINFO info{};
  if (!ReadFileVersion(ModulePath(ModuleInstance()), info)) {
    std::snprintf(destination, kVersionTextSize, "Version ?");
    return;
  }
  std::snprintf(destination, kVersionTextSize, "Version %d.%d.%d",
                static_cast<int>(HIWORD(info.dwFileVersionMS)),
                static_cast<int>(LOWORD(info.dwFileVersionMS)),
                static_cast<int>(HIWORD(info.dwFileVersionLS)));
}

std::string GetWindowTextString(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return std::string();
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  const int read = GetWindowTextA(window, buffer.data(), length + 1);
  return read > 0 ? std::string(buffer.data(), read) : std::string();
}

}  // namespace fromsel
