#include "plugin/testhost/ui_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <thread>

#include "plugin/testhost/host_state.h"
#include "plugin/testhost/message_capture.h"
#include "ui/ui_ids.h"

namespace fromsel::testhost {
namespace {

// How long a script waits for a window to come or go before it gives up;
// generous, since a loaded machine may be slow. Not a measurement.
constexpr DWORD WindowWaitMilliseconds = 30000;
constexpr DWORD PollMilliseconds = 20;
// Time given to the X server to show a repainted window before capture.
constexpr DWORD PaintSettleMilliseconds = 300;
// Longest control text or list cell the scripts read.
constexpr int TextBufferSize = 1024;

struct DialogSearch {
  int markerId;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpA(className, "#32770") == 0 && IsWindowVisible(window) &&
      GetDlgItem(window, search->markerId)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The system's id of a message box's text.
constexpr int MessageBoxTextId = 0xFFFF;

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM data) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  // The plug-in's dialogs have labels with the same id, but not these.
  if (lstrcmpA(className, "#32770") == 0 && IsWindowVisible(window) &&
      GetDlgItem(window, MessageBoxTextId) && GetDlgItem(window, IDOK) &&
      !GetDlgItem(window, IDC_MAILBOX) && !GetDlgItem(window, IDC_VERSION) &&
      GetWindowTextLengthA(GetDlgItem(window, MessageBoxTextId)) > 0) {
    *reinterpret_cast<HWND*>(data) = window;
    return FALSE;
  }
  return TRUE;
}

std::string WindowText(HWND window) {
  char buffer[TextBufferSize] = {};
  const int length = GetWindowTextA(window, buffer, TextBufferSize);
  return std::string(buffer, length > 0 ? length : 0);
}

BOOL CALLBACK CancelDialog(HWND window, LPARAM) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpA(className, "#32770") == 0) PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}

}  // namespace

bool LoadPluginOver(ScenarioContext& context, const testing::TestFolder& folder) {
  State().dataFolder = folder.withSeparator();
  // The mail client has the common controls ready before any plug-in runs.
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&controls);
  if (!context.plugin.IsLoaded()) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dll = path;
    dll = dll.substr(0, dll.find_last_of('\\') + 1) + "fromsel.dll";
    DWORD error = 0;
    if (!context.plugin.Load(context.Option("dll", dll), error)) {
      Report("ui: plug-in not loaded (error %lu)", static_cast<unsigned long>(error));
      return false;
    }
  }
  context.plugin.onStart();
  return true;
}

bool Checks::Expect(bool condition, const std::string& what) {
  if (!condition) {
    ++failures_;
    Report("%s: FAILED %s", scenario_, Escaped(what).c_str());
  }
  return condition;
}

bool Checks::ExpectEqual(const std::string& actual, const std::string& expected,
                         const std::string& what) {
  return Expect(actual == expected,
                what + ": got \"" + actual + "\", expected \"" + expected + "\"");
}

bool Checks::Finish() const {
  Report("%s: %s", scenario_, Passed() ? "passed" : "FAILED");
  return Passed();
}

void DialogControls::Click(int id) const { SendMessageA(Item(id), BM_CLICK, 0, 0); }

void DialogControls::PostClick(int id) const { PostMessageA(Item(id), BM_CLICK, 0, 0); }

void DialogControls::SetText(int id, const std::string& text) const {
  SendMessageA(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string DialogControls::Text(int id) const { return WindowText(Item(id)); }

bool DialogControls::Checked(int id) const {
  return SendMessageA(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void DialogControls::SetChecked(int id, bool checked) const {
  if (Checked(id) != checked) Click(id);
}

bool DialogControls::Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }

std::vector<std::string> DialogControls::ComboItems(int id) const {
  std::vector<std::string> items;
  const int count = static_cast<int>(SendMessageA(Item(id), CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char buffer[TextBufferSize] = {};
    if (SendMessageA(Item(id), CB_GETLBTEXTLEN, i, 0) >= TextBufferSize) continue;
    SendMessageA(Item(id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
    items.push_back(buffer);
  }
  return items;
}

bool DialogControls::SelectComboItem(int id, const std::string& text) const {
  const std::vector<std::string> items = ComboItems(id);
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] != text) continue;
    SendMessageA(Item(id), CB_SETCURSEL, i, 0);
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(id)));
    return true;
  }
  return false;
}

int DialogControls::ItemCount(int id) const {
  return static_cast<int>(SendMessageA(Item(id), LVM_GETITEMCOUNT, 0, 0));
}

std::string DialogControls::CellText(int id, int row, int column) const {
  char buffer[TextBufferSize] = {};
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = TextBufferSize;
  const int length = static_cast<int>(
      SendMessageA(Item(id), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
  return std::string(item.pszText ? item.pszText : "", length > 0 ? length : 0);
}

int DialogControls::SelectedItem(int id) const {
  return static_cast<int>(
      SendMessageA(Item(id), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void DialogControls::SelectItem(int id, int row) const {
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(Item(id), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void DriveModal(const std::function<void()>& modal, const std::function<void(DWORD)>& script) {
  const DWORD modalThread = GetCurrentThreadId();
  std::thread driver([&] {
    script(modalThread);
    // Never leave the host's thread stuck in a dialog the script did not end.
    EnumThreadWindows(modalThread, CancelDialog, 0);
  });
  modal();
  driver.join();
}

HWND FindVisibleDialog(DWORD thread, int markerId) {
  DialogSearch search = {markerId, nullptr};
  EnumThreadWindows(thread, MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForDialog(DWORD thread, int markerId) {
  for (DWORD waited = 0; waited < WindowWaitMilliseconds; waited += PollMilliseconds) {
    if (HWND found = FindVisibleDialog(thread, markerId)) return found;
    Sleep(PollMilliseconds);
  }
  Report("ui: no dialog with control %d appeared", markerId);
  return nullptr;
}

bool WaitUntilClosed(HWND window) {
  for (DWORD waited = 0; waited < WindowWaitMilliseconds; waited += PollMilliseconds) {
    if (!IsWindow(window)) return true;
    Sleep(PollMilliseconds);
  }
  return false;
}

MessageCapturePause::MessageCapturePause() { StopMessageCapture(); }

MessageCapturePause::~MessageCapturePause() { StartMessageCapture(); }

std::string TakeMessageBox(DWORD thread) {
  for (DWORD waited = 0; waited < WindowWaitMilliseconds; waited += PollMilliseconds) {
    HWND box = nullptr;
    EnumThreadWindows(thread, MatchMessageBox, reinterpret_cast<LPARAM>(&box));
    if (box) {
      const std::string seen =
          WindowText(box) + "|" + WindowText(GetDlgItem(box, MessageBoxTextId));
      Report("ui: messagebox %s", Escaped(seen).c_str());
      SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
      WaitUntilClosed(box);
      return seen;
    }
    Sleep(PollMilliseconds);
  }
  return "<none>";
}

bool SaveWindowBitmap(HWND window, const std::string& path) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(PaintSettleMilliseconds);
  RECT rect = {};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return false;

  // The window's own surface, so that another program's window lying over
  // it (tests run side by side on one display) does not get in the picture.
  HDC screen = GetWindowDC(window);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  SelectObject(memory, old);

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as BMP files store it
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const DWORD rowSize = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::string pixels(rowSize * static_cast<DWORD>(height), '\0');
  const int rows = GetDIBits(memory, bitmap, 0, height, &pixels[0],
                             reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  if (rows != height) return false;

  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info;
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  std::fwrite(&header, sizeof header, 1, out);
  std::fwrite(&info, sizeof info, 1, out);
  std::fwrite(pixels.data(), 1, pixels.size(), out);
  return std::fclose(out) == 0;
}


}  // namespace fromsel::testhost
