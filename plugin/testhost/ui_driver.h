// Driving the plug-in's dialogs as a person would, for the UI scenarios:
// the plug-in loaded over a temporary data folder, a second thread that finds
// the modal dialog and sends real messages to its controls while the host's
// thread sits in the dialog's modal loop, and window screenshots.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "plugin/testhost/scenario.h"
#include "testing/test_folder.h"

namespace fromsel::testhost {

// Loads the plug-in over `folder` (it reads the data folder at load) and
// starts it. False, with a report line, when it cannot be loaded.
bool LoadPluginOver(ScenarioContext& context, const testing::TestFolder& folder);

// Collects failed expectations of a scenario; each is reported at once.
class Checks {
 public:
  explicit Checks(const char* scenario) : scenario_(scenario) {}
  bool Expect(bool condition, const std::string& what);
  bool ExpectEqual(const std::string& actual, const std::string& expected, const std::string& what);
  bool Passed() const { return failures_ == 0; }
  // The scenario's verdict line; returns Passed().
  bool Finish() const;

 private:
  const char* scenario_;
  int failures_ = 0;
};

// The controls of one dialog window, seen from the driving thread.
class DialogControls {
 public:
  explicit DialogControls(HWND dialog) : dialog_(dialog) {}
  HWND Window() const { return dialog_; }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }

  // BM_CLICK, sent: returns when the dialog has handled the click.
  void Click(int id) const;
  // BM_CLICK, posted: for buttons that open a modal window of their own.
  void PostClick(int id) const;
  void SetText(int id, const std::string& text) const;
  std::string Text(int id) const;
  bool Checked(int id) const;
  // Clicks the check box when it is not already in the wanted state.
  void SetChecked(int id, bool checked) const;
  bool Enabled(int id) const;

  // Combo box: items and selection as the user would choose it.
  std::vector<std::string> ComboItems(int id) const;
  bool SelectComboItem(int id, const std::string& text) const;

  // List view: items, cells and the selection as the user would make it.
  int ItemCount(int id) const;
  std::string CellText(int id, int row, int column) const;
  int SelectedItem(int id) const;
  void SelectItem(int id, int row) const;

 private:
  HWND dialog_;
};

// Runs `modal` (which opens a modal dialog) on this thread while `script`
// drives it from a second thread. Whatever dialog the script leaves open is
// cancelled, so the run always ends.
void DriveModal(const std::function<void()>& modal, const std::function<void(DWORD)>& script);

// The visible dialog of thread `thread` that has a control `markerId`,
// waiting for it to appear; null if none comes within a generous bound.
HWND WaitForDialog(DWORD thread, int markerId);
// The visible dialog of thread `thread` with a control `markerId`, or null.
HWND FindVisibleDialog(DWORD thread, int markerId);
// Waits until `window` is gone; false if it stays.
bool WaitUntilClosed(HWND window);

// While it lives, the host's own message-box capture is off: it would take
// the plug-in's dialogs (whose labels share the message box's text id) for
// message boxes. Scripts read message boxes with TakeMessageBox instead.
class MessageCapturePause {
 public:
  MessageCapturePause();
  ~MessageCapturePause();
  MessageCapturePause(const MessageCapturePause&) = delete;
  MessageCapturePause& operator=(const MessageCapturePause&) = delete;
};

// Waits for a message box of thread `thread`, returns "caption|text" and
// closes it with OK; "<none>" when no message box came.
std::string TakeMessageBox(DWORD thread);

// Saves what `window` shows, frame included, as a 24-bit BMP file.
bool SaveWindowBitmap(HWND window, const std::string& path);


}  // namespace fromsel::testhost
