// The about box opened from the settings dialog, and screenshots of both
// dialogs in the language the system picks.
#include <string>

#include "plugin/testhost/host_state.h"
#include "plugin/testhost/scenario.h"
#include "plugin/testhost/ui_driver.h"
#include "ui/ui_ids.h"

namespace fromsel::testhost {
namespace {

constexpr LPARAM ClientAreaMouseMove = MAKELPARAM(HTCLIENT, WM_MOUSEMOVE);

HWND OpenAbout(const DialogControls& settings, DWORD thread) {
  settings.PostClick(IDC_ABOUT);  // posted: the about box is modal
  return WaitForDialog(thread, IDC_VERSION);
}

// Whether the link button shows the hand cursor: the subclass answers
// WM_SETCURSOR itself, so the button's arrow never appears. The cursor is
// read from the dialog thread's input state, shared for the check, not from
// the display, which other programs' windows may be setting meanwhile.
bool ShowsHandCursor(HWND link, DWORD dialogThread) {
  const DWORD self = GetCurrentThreadId();
  if (!AttachThreadInput(self, dialogThread, TRUE)) return false;
  SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(32512) /* IDC_ARROW */));
  const LRESULT handled =
      SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link), ClientAreaMouseMove);
  const HCURSOR shown = GetCursor();
  AttachThreadInput(self, dialogThread, FALSE);
  return handled == TRUE && shown == LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));
}

// Pixels of the top edge of `control` that differ from the dialog's face
// colour: a focus rectangle draws a dotted line there. Read from the
// control's own surface, whatever other windows lie over it.
int MarkedTopEdgePixels(HWND control) {
  RedrawWindow(control, nullptr, nullptr, RDW_UPDATENOW);
  RECT rect = {};
  GetClientRect(control, &rect);
  HDC dc = GetDC(control);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  int marked = 0;
  for (LONG x = rect.left; x < rect.right; ++x)
    if (GetPixel(dc, x, rect.top) != face) ++marked;
  ReleaseDC(control, dc);
  return marked;
}

// Waits for a file the shell's program writes; false if it never comes.
bool WaitForFile(const testing::TestFolder& folder, const std::string& name) {
  constexpr int Attempts = 1500;  // 30 s in steps of 20 ms: generous, not timed
  for (int attempt = 0; attempt < Attempts; ++attempt) {
    if (folder.Exists(name)) return true;
    Sleep(20);
  }
  return false;
}

// Whether the link's top edge comes to show (or no longer show) a focus
// rectangle. Drawing runs on the dialog's thread, which a loaded machine may
// delay, so the edge is read again until it settles or a generous wait ends.
bool FocusRectangleBecomes(HWND link, bool shown) {
  constexpr int Attempts = 500;  // 10 s in steps of 20 ms: generous, not timed
  for (int attempt = 0; attempt < Attempts; ++attempt) {
    if ((MarkedTopEdgePixels(link) > 0) == shown) return true;
    Sleep(20);
  }
  return false;
}

void MoveFocusTo(HWND dialog, HWND control) {
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void MakeSampleData(testing::TestFolder& folder) {
  folder.MakeMailbox("Work.mb", "Work Account");
  folder.WriteFile("Work.mb\\fromsel.ini",
                   ">Enable=1\n>Delivered-To=0\n"
                   "::*@{work,office}.example.com\tWork Me\tme@work.example.com\n"
                   ":RSV:(.+)@lists\\.example\\.org\t\tme+\\1@example.net\n"
                   ":S:*@partners.example\tPartner Desk\tdesk@work.example.com\n"
                   ":R:(sales|info)@shop\\.example\tShop\t\\1@shop.example\n");
  folder.MakeMailbox("Home.mb", "Home");
}

}  // namespace

TESTHOST_SCENARIO(ui_about, "about box from the settings dialog: version, links, OK and close") {
  Checks checks("ui_about");
  testing::TestFolder folder;
  folder.MakeMailbox("Work.mb", "Work");
  if (!LoadPluginOver(context, folder)) return false;
  const size_t mailsBefore = State().composeMailUrls.size();
  const MessageCapturePause pause;
  DriveModal([&] { context.plugin.onPlugInSetup(nullptr); },
             [&](DWORD thread) {
               const DialogControls settings(WaitForDialog(thread, IDC_MAILBOX));
               if (!checks.Expect(settings.Window() != nullptr, "settings dialog shown")) return;
               const DialogControls about(OpenAbout(settings, thread));
               if (!checks.Expect(about.Window() != nullptr, "about box shown")) return;
               checks.Expect(GetWindow(about.Window(), GW_OWNER) == settings.Window(),
                             "owned by the settings dialog");
               checks.ExpectEqual(about.Text(IDC_VERSION), "Version 0.3.0", "version text");
               checks.Expect(ShowsHandCursor(about.Item(IDC_MAIL_LINK), thread), "hand over e-mail");
               checks.Expect(ShowsHandCursor(about.Item(IDC_WEB_LINK), thread), "hand over web link");

               const std::string mail = about.Text(IDC_MAIL_LINK);
               about.Click(IDC_MAIL_LINK);
               checks.Expect(State().composeMailUrls.size() == mailsBefore + 1,
                             "one BKA_ComposeMail call");
               if (State().composeMailUrls.size() == mailsBefore + 1)
                 checks.ExpectEqual(State().composeMailUrls.back(), "mailto:" + mail,
                                    "compose URL");
               checks.Expect(IsWindowVisible(about.Window()) != FALSE, "stays open after mail");

               // The caption is the target, ampersand and all.
               about.SetText(IDC_MAIL_LINK, "sales&support@fromsel.test");
               about.Click(IDC_MAIL_LINK);
               checks.Expect(!State().composeMailUrls.empty() &&
                                 State().composeMailUrls.back() ==
                                     "mailto:sales&support@fromsel.test",
                             "compose URL follows the caption");

               // The web link hands its caption to the shell: a command file
               // in its place shows that it was run.
               const std::string script = folder.withSeparator() + "link target.cmd";
               folder.WriteFile("link target.cmd",
                                "@echo opened>\"" + folder.withSeparator() + "opened.txt\"\r\n");
               about.SetText(IDC_WEB_LINK, script);
               about.Click(IDC_WEB_LINK);
               checks.Expect(WaitForFile(folder, "opened.txt"), "web link opened by the shell");
               checks.Expect(IsWindowVisible(about.Window()) != FALSE, "stays open after web");

               // Focus onto a link draws its focus rectangle; away removes it.
               MoveFocusTo(about.Window(), about.Item(IDC_WEB_LINK));
               checks.Expect(FocusRectangleBecomes(about.Item(IDC_WEB_LINK), true),
                             "focus rectangle on the focused link");
               MoveFocusTo(about.Window(), about.Item(IDOK));
               checks.Expect(FocusRectangleBecomes(about.Item(IDC_WEB_LINK), false),
                             "focus rectangle gone with the focus");

               about.Click(IDOK);
               checks.Expect(WaitUntilClosed(about.Window()), "OK ends the about box");
               checks.Expect(IsWindowVisible(settings.Window()) != FALSE, "settings still open");

               // Again, ended with the close box this time.
               const DialogControls again(OpenAbout(settings, thread));
               if (again.Window()) {
                 SendMessageA(again.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
                 checks.Expect(WaitUntilClosed(again.Window()), "close box ends the about box");
               }
               // And with the Escape key, through the dialog's own key handling.
               const DialogControls third(OpenAbout(settings, thread));
               if (third.Window()) {
                 PostMessageA(third.Item(IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
                 checks.Expect(WaitUntilClosed(third.Window()), "Escape ends the about box");
               }
               settings.Click(IDCANCEL);
             });
  context.plugin.onExit();
  return checks.Finish();
}

TESTHOST_SCENARIO(ui_screenshots,
                  "both dialogs saved as --shots PREFIX-settings.bmp and PREFIX-about.bmp") {
  Checks checks("ui_screenshots");
  const std::string prefix = WindowsPath(context.Option("shots", "ui"));
  testing::TestFolder folder;
  MakeSampleData(folder);
  if (!LoadPluginOver(context, folder)) return false;
  const MessageCapturePause pause;
  DriveModal([&] { context.plugin.onPlugInSetup(nullptr); },
             [&](DWORD thread) {
               const DialogControls settings(WaitForDialog(thread, IDC_MAILBOX));
               if (!checks.Expect(settings.Window() != nullptr, "settings dialog shown")) return;
               settings.SelectComboItem(IDC_MAILBOX, "Work Account");
               settings.SelectItem(IDC_RULE_LIST, 1);
               // The texts the language picked, for the test to compare.
               Report("ui_screenshots: cancel %s",
                      HexBytes(settings.Text(IDCANCEL)).c_str());
               checks.Expect(SaveWindowBitmap(settings.Window(), prefix + "-settings.bmp"),
                             "settings screenshot");
               const DialogControls about(OpenAbout(settings, thread));
               if (about.Window()) {
                 char title[128] = {};
                 GetWindowTextA(about.Window(), title, sizeof title);
                 Report("ui_screenshots: about %s", HexBytes(title).c_str());
                 checks.Expect(SaveWindowBitmap(about.Window(), prefix + "-about.bmp"),
                               "about screenshot");
                 about.Click(IDOK);
                 checks.Expect(WaitUntilClosed(about.Window()), "about box closed");
               }
               settings.Click(IDCANCEL);
             });
  context.plugin.onExit();
  return checks.Finish();
}

}  // namespace fromsel::testhost
