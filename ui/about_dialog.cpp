#include "ui/about_dialog.h"

#include <shellapi.h>

#include <string>

#include "ui/ui_ids.h"
#include "win32/host_binding.h"
#include "win32/module.h"

namespace fromsel::ui {

namespace {

// Links are drawn in pure blue, underlined, like a browser's.
constexpr COLORREF LinkColour = RGB(0, 0, 255);
// Top-left, one line, an ampersand shown as itself.
constexpr UINT LinkTextFormat = DT_NOPREFIX | DT_SINGLELINE;
constexpr const char* MailtoPrefix = "mailto:";

HCURSOR LoadLinkCursor() {
  if (HCURSOR system = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649) /* IDC_HAND */))
    return system;
  return LoadCursorA(ModuleInstance(), MAKEINTRESOURCEA(IDC_LINK_CURSOR));
}

}  // namespace

AboutDialog::AboutDialog() : linkCursor_(LoadLinkCursor()) {}

INT_PTR AboutDialog::Run(HWND owner) { return ModalDialog::Run(ModuleInstance(), IDD_ABOUT, owner); }

INT_PTR AboutDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Initialize();
      return FALSE;  // no initial focus
    case WM_DRAWITEM:
      DrawLinkButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_WEB_LINK: OpenWebLink(); return TRUE;
        case IDC_MAIL_LINK: OpenMailLink(); return TRUE;
        case IDOK:
        case IDCANCEL: EndDialog(Window(), LOWORD(wParam)); return TRUE;
        default: return FALSE;
      }
    default:
      return FALSE;
  }
}

void AboutDialog::Initialize() {
  char version[kVersionTextSize] = {};
  FormatVersionString(version);
  SetDlgItemTextA(Window(), IDC_VERSION, version);
  // Without the subclass a link still works, only without the hand cursor.
  SubclassControl(Item(IDC_WEB_LINK));
  SubclassControl(Item(IDC_MAIL_LINK));
}

bool AboutDialog::HandleControlMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result) {
  if (message != WM_SETCURSOR || !linkCursor_) return false;
  SetCursor(linkCursor_);
  result = TRUE;
  return true;
}

void AboutDialog::DrawLinkButton(const DRAWITEMSTRUCT& item) const {
  // Every call paints the whole button from its state: background, caption,
  // and the focus rectangle only while focused. Toggling the rectangle on
  // ODA_FOCUS alone left it inverted whenever a full repaint without an
  // erased background came between two focus changes.
  HDC dc = item.hDC;
  RECT rect = item.rcItem;
  if (item.itemAction & (ODA_DRAWENTIRE | ODA_FOCUS)) {
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    LOGFONTA description = {};
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageA(Window(), WM_GETFONT, 0, 0));
    if (!dialogFont || !GetObjectA(dialogFont, sizeof description, &description))
      GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description);
    description.lfUnderline = TRUE;
    HFONT linkFont = CreateFontIndirectA(&description);

    const COLORREF oldColour = SetTextColor(dc, LinkColour);
    const HGDIOBJ oldFont = linkFont ? SelectObject(dc, linkFont) : nullptr;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const std::string caption = GetWindowTextString(item.hwndItem);
    DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, LinkTextFormat);
    if (oldFont) SelectObject(dc, oldFont);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColour);
    if (linkFont) DeleteObject(linkFont);

    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &rect);
  }
}

void AboutDialog::OpenWebLink() const {
  const std::string url = GetWindowTextString(Item(IDC_WEB_LINK));
  ShellExecuteA(Window(), nullptr, url.c_str(), nullptr, nullptr, SW_SHOW);
}

void AboutDialog::OpenMailLink() const {
  BoundHost().ComposeMail(MailtoPrefix + GetWindowTextString(Item(IDC_MAIL_LINK)));
}

}  // namespace fromsel::ui
