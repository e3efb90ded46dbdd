// The about box: version, legal notice, and two owner-drawn link buttons
// (web page through the shell, e-mail through the host's compose window).
#pragma once

#include <windows.h>

#include "ui/dialog.h"

namespace fromsel::ui {

class AboutDialog : public ModalDialog {
 public:
  AboutDialog();

  // Runs the about box modally over `owner`; 1 for OK, 2 for Cancel.
  INT_PTR Run(HWND owner);

 protected:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool HandleControlMessage(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

 private:
  void Initialize();
  void DrawLinkButton(const DRAWITEMSTRUCT& item) const;
  void OpenWebLink() const;
  void OpenMailLink() const;

  HCURSOR linkCursor_;
};

}  // namespace fromsel::ui
