#include "plugin/testhost/message_capture.h"

#include <windows.h>

#include <set>

#include "plugin/testhost/host_state.h"

namespace fromsel::testhost {
namespace {

// Control id of a message box's text (the system's fixed id).
constexpr int kMessageBoxTextId = 0xFFFF;
// Window class names are short; this is plenty.
constexpr int kClassNameSize = 64;

thread_local HHOOK t_hook = nullptr;
thread_local std::vector<CapturedMessage> t_messages;
thread_local int t_closeOtherDialogsWith = 0;  // button id, 0: leave them
thread_local std::set<HWND> t_closing;  // boxes closed by us, not yet destroyed

std::string TextOf(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int read = GetWindowTextA(window, &text[0], length + 1);
  text.resize(read > 0 ? read : 0);
  return text;
}

bool IsDialogBox(HWND window) {
  char className[kClassNameSize] = {};
  GetClassNameA(window, className, kClassNameSize);
  return lstrcmpA(className, "#32770") == 0;
}

// A message box is a dialog of no module or of user32's; a dialog built
// from the plug-in's templates belongs to the plug-in and may well have a
// label with the same control id.
bool IsSystemDialogBox(HWND window) {
  if (!IsDialogBox(window)) return false;
  const HMODULE owner = reinterpret_cast<HMODULE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  return owner == nullptr || owner == GetModuleHandleA("user32.dll");
}

bool IsMessageBox(HWND window) {
  return IsSystemDialogBox(window) && GetDlgItem(window, kMessageBoxTextId) != nullptr;
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

void Capture(HWND window) {
  CapturedMessage message;
  message.caption = TextOf(window);
  message.text = TextOf(GetDlgItem(window, kMessageBoxTextId));
  message.topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  Report("messagebox: %s|%s|topmost=%d", Escaped(message.caption).c_str(),
         Escaped(message.text).c_str(), message.topmost ? 1 : 0);
  t_messages.push_back(message);
}

// A message box can be activated before its text is set, so it is closed
// (by a posted click) when first activated and read when it is destroyed.
LRESULT CALLBACK CbtProc(int code, WPARAM wParam, LPARAM lParam) {
  HWND window = reinterpret_cast<HWND>(wParam);
  if (code == HCBT_CREATEWND) {
    // The text control of a message box is created before the box is shown:
    // ending the dialog now means it is never shown at all (showing and
    // hiding a window costs seconds on a display without a window manager).
    const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
    HWND parent = create->hwndParent;
    if (parent && reinterpret_cast<UINT_PTR>(create->hMenu) == kMessageBoxTextId &&
        IsSystemDialogBox(parent) && t_closing.insert(parent).second) {
      EndDialog(parent, IDOK);
    }
  } else if (code == HCBT_ACTIVATE && t_closing.count(window) == 0) {
    if (IsMessageBox(window)) {
      t_closing.insert(window);
      CloseMessageBox(window);
    } else if (t_closeOtherDialogsWith != 0 && IsDialogBox(window)) {
      t_closing.insert(window);
      Report("dialog: %s", Escaped(TextOf(window)).c_str());
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(t_closeOtherDialogsWith, BN_CLICKED), 0);
    }
  } else if (code == HCBT_DESTROYWND && t_closing.erase(window) != 0) {
    if (IsMessageBox(window)) Capture(window);
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

void SetCloseOtherDialogs(int button) { t_closeOtherDialogsWith = button; }

const std::vector<CapturedMessage>& CapturedMessages() { return t_messages; }

}  // namespace fromsel::testhost
