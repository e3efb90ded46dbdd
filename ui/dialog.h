// A small modal-dialog framework: one handler object per dialog receives the
// dialog's messages, and a child control can be subclassed so that chosen
// messages reach the handler before the control's own window procedure.
#pragma once

#include <windows.h>

namespace fromsel::ui {

class ModalDialog {
 public:
  ModalDialog() = default;
  virtual ~ModalDialog() = default;
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

  // Runs dialog template `templateId` of `instance` modally over `owner`;
  // returns the value given to EndDialog, or -1 when the dialog could not
  // be created. `initParam` reaches InitParam() during WM_INITDIALOG.
  INT_PTR Run(HINSTANCE instance, int templateId, HWND owner, LPARAM initParam = 0);

  // The dialog window while the dialog runs, else null.
  HWND Window() const { return window_; }
  LPARAM InitParam() const { return initParam_; }

 protected:
  // The dialog's messages, from WM_INITDIALOG on. The result is the dialog
  // procedure's: TRUE/FALSE, or a value set with SetDialogResult.
  virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  // Messages of a control subclassed with SubclassControl. Return true when
  // handled (and set `result`); false passes the message on to the control.
  virtual bool HandleControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result);

  // Routes `control`'s messages through HandleControlMessage first, for the
  // control's life. False when the control cannot be subclassed; it then
  // keeps working as before.
  bool SubclassControl(HWND control);

  // Sets the result of a message whose answer is not TRUE/FALSE (WM_NOTIFY).
  void SetDialogResult(LRESULT result) const { SetWindowLongPtrA(window_, DWLP_MSGRESULT, result); }

  HWND Item(int id) const { return GetDlgItem(window_, id); }
  bool IsChecked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }
  void Check(int id, bool checked) const {
    CheckDlgButton(window_, id, checked ? BST_CHECKED : BST_UNCHECKED);
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  LPARAM initParam_ = 0;
};

}  // namespace fromsel::ui
