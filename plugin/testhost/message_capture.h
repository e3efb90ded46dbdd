// Captures the message boxes shown on this thread (by the host or by the
// plug-in it loaded): reports caption and text, then closes the box, so no
// test ever waits for a person. Only works where windows are shown (Xvfb).
#pragma once

#include <string>
#include <vector>

namespace fromsel::testhost {

struct CapturedMessage {
  std::string caption;
  std::string text;
  bool topmost = false;  // system-modal boxes are topmost
};

// Installs the hook for the calling thread (idempotent).
void StartMessageCapture();
void StopMessageCapture();

// When set (IDOK or IDCANCEL), any other dialog box that becomes active is
// closed at once with that button (reported as "dialog: CAPTION"), so a
// scenario that opens a modal dialog it does not drive still ends. 0: off.
void SetCloseOtherDialogs(int button);

const std::vector<CapturedMessage>& CapturedMessages();

}  // namespace fromsel::testhost
