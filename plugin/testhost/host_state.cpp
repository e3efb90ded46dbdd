#include "plugin/testhost/host_state.h"

#include <cstdarg>
#include <cstdint>

namespace fromsel::testhost {
namespace {

// Compose windows are not real windows: handles are numbers from here on.
constexpr std::uintptr_t kFirstComposeHandle = 0x7000;

}  // namespace

void HostState::Reenter(const char* function) {
  if (!reentry || reenterFrom != function) return;
  const std::function<void()> once = std::move(reentry);
  reentry = nullptr;
  Report("reenter: from %s", function);
  once();
}

HostState& State() {
  static HostState state;
  return state;
}

HWND HostState::MainWindow() {
  if (!mainWindow) {
    mainWindow = CreateWindowExA(0, "STATIC", "Fromsel test host", WS_OVERLAPPEDWINDOW, 0, 0,
                                 640, 480, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  }
  return mainWindow;
}

HWND HostState::NewComposeWindow(const std::string& beckyRef) {
  const HWND handle =
      reinterpret_cast<HWND>(kFirstComposeHandle + 0x10 * composeWindows.size());
  ComposeWindowState& window = composeWindows[handle];
  window.headers["X-Becky-Ref"] = beckyRef;
  return handle;
}

void Report(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

std::string Escaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string WindowsPath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  if (!path.empty() && path[0] == '/') out = "Z:" + out;
  return out;
}

std::string WithTrailingBackslash(std::string path) {
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path + "\\";
}

}  // namespace fromsel::testhost
