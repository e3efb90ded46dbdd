#include "plugin/testhost/message_capture.h"

#include <windows.h>

#include "plugin/testhost/host_state.h"

namespace fromsel::testhost {
namespace {

// Control id of a message box's text (the system's fixed id).
constexpr int kMessageBoxTextId = 0xFFFF;
// Window class names are short; this is plenty.
constexpr int kClassNameSize = 64;

thread_local HHOOK t_hook = nullptr;
thread_local std::vector<CapturedMessage> t_messages;

std::string TextOf(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int read = GetWindowTextA(window, &text[0], length + 1);
  text.resize(read > 0 ? read : 0);
  return text;
}

bool IsMessageBox(HWND window) {
  char className[kClassNameSize] = {};
  GetClassNameA(window, className, kClassNameSize);
  return lstrcmpA(className, "#32770") == 0 && GetDlgItem(window, kMessageBoxTextId) != nullptr;
}

void CloseMessageBox(HWND window) {
  const int button = GetDlgItem(window, IDOK)       ? IDOK
                     : GetDlgItem(window, IDCANCEL) ? IDCANCEL
                                                    : 0;
  if (button) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  } else {
    PostMessageA(window, WM_CLOSE, 0, 0);
  }
}

LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    HWND window = reinterpret_cast<HWND>(wParam);
    if (IsMessageBox(window)) {
      CapturedMessage message;
      message.caption = TextOf(window);
      message.text = TextOf(GetDlgItem(window, kMessageBoxTextId));
      message.topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
      Report("messagebox: %s|%s|topmost=%d", Escaped(message.caption).c_str(),
             Escaped(message.text).c_str(), message.topmost ? 1 : 0);
      t_messages.push_back(message);
      CloseMessageBox(window);
    }
  }
  return CallNextHookEx(t_hook, code, wParam, lParam);
}

}  // namespace

void StartMessageCapture() {
  if (t_hook) return;
  t_hook = SetWindowsHookExA(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}

void StopMessageCapture() {
  if (!t_hook) return;
  UnhookWindowsHookEx(t_hook);
  t_hook = nullptr;
}

const std::vector<CapturedMessage>& CapturedMessages() { return t_messages; }

}  // namespace fromsel::testhost
