#include "ui/dialog.h"

namespace fromsel::ui {

namespace {

// Window properties that tie a subclassed control to its handler and to
// the window procedure it had before.
constexpr const char* HandlerProperty = "fromsel.handler";
constexpr const char* PreviousProcProperty = "fromsel.previous";

}  // namespace

INT_PTR ModalDialog::Run(HINSTANCE instance, int templateId, HWND owner, LPARAM initParam) {
  initParam_ = initParam;
  const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner,
                                         &ModalDialog::DialogProc,
                                         reinterpret_cast<LPARAM>(this));
  window_ = nullptr;
  return result;
}

INT_PTR CALLBACK ModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                         LPARAM lParam) {
  ModalDialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<ModalDialog*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->window_ = window;
    lParam = self->initParam_;
  } else {
    self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  }
  // Messages sent before WM_INITDIALOG (WM_SETFONT and the like) have no
  // handler yet and get the default treatment.
  if (!self) return FALSE;
  INT_PTR result = FALSE;
  try {
    result = self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the system's frames: the message counts
    // as not handled and the edit it started as not done.
    MessageBeep(MB_ICONHAND);
  }
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->window_ = nullptr;
  }
  return result;
}

bool ModalDialog::HandleControlMessage(HWND, UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool ModalDialog::SubclassControl(HWND control) {
  if (!control || GetPropA(control, HandlerProperty)) return false;
  if (!SetPropA(control, HandlerProperty, this)) return false;
  const LONG_PTR previous = SetWindowLongPtrA(
      control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ModalDialog::ControlProc));
  if (!previous) {
    RemovePropA(control, HandlerProperty);
    return false;
  }
  SetPropA(control, PreviousProcProperty, reinterpret_cast<HANDLE>(previous));
  return true;
}

LRESULT CALLBACK ModalDialog::ControlProc(HWND control, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
  auto* self = static_cast<ModalDialog*>(GetPropA(control, HandlerProperty));
  auto previous = reinterpret_cast<WNDPROC>(GetPropA(control, PreviousProcProperty));
  if (!previous) return DefWindowProcA(control, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // The control's last message: put its own procedure back, unless
    // someone subclassed it after us, and drop our properties.
    if (GetWindowLongPtrA(control, GWLP_WNDPROC) ==
        reinterpret_cast<LONG_PTR>(&ModalDialog::ControlProc))
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    RemovePropA(control, HandlerProperty);
    RemovePropA(control, PreviousProcProperty);
    return CallWindowProcA(previous, control, message, wParam, lParam);
  }
  LRESULT result = 0;
  try {
    if (self && self->HandleControlMessage(control, message, wParam, lParam, result))
      return result;
  } catch (...) {
    // Handled as if the handler had passed the message on.
  }
  return CallWindowProcA(previous, control, message, wParam, lParam);
}

}  // namespace fromsel::ui
