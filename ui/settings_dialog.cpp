#include "ui/settings_dialog.h"

#include <utility>

#include "ui/about_dialog.h"
#include "ui/ui_ids.h"
#include "win32/host_binding.h"
#include "win32/module.h"

namespace fromsel::ui {

namespace {

// Full-row selection and label tips, added to the list's own extended style.
constexpr LPARAM RuleListExtendedStyle = LVS_EX_FULLROWSELECT | LVS_EX_LABELTIP;
// The rule controls that follow the Enable box: Delivered-To up to the list.
constexpr int FirstRuleControl = IDC_DELIVERED_TO;
constexpr int LastRuleControl = IDC_RULE_LIST;
// Header strings of the rule list's columns 1..3 (column 0 has none).
constexpr UINT ColumnHeaderIds[] = {0, IDS_COLUMN_PATTERN, IDS_COLUMN_NAME, IDS_COLUMN_ADDRESS};
// Buffer sizes of the texts loaded from the string table.
constexpr int HeaderTextSize = 64;
constexpr int CaptionTextSize = 32;
constexpr int MessageTextSize = 256;
// Selected and focused: the state that moves with a rule on Up and Dn.
constexpr UINT SelectedAndFocused = LVIS_SELECTED | LVIS_FOCUSED;

}  // namespace

int RunSettingsDialog(HWND owner, const char* preselectKey) {
  SettingsDialog dialog(BoundHost().GetDataFolder(), preselectKey ? preselectKey : "");
  return static_cast<int>(dialog.Run(owner));
}

SettingsDialog::SettingsDialog(std::string dataFolder, std::string preselectKey)
    : dataFolder_(std::move(dataFolder)),
      preselectKey_(std::move(preselectKey)),
      editor_(CopyCurrentSettingsTable(dataFolder_)) {}

INT_PTR SettingsDialog::Run(HWND owner) {
  return ModalDialog::Run(ModuleInstance(), IDD_SETTINGS, owner);
}

INT_PTR SettingsDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return InitSettingsDialog();
    case WM_COMMAND:
      return HandleCommand(LOWORD(wParam), HIWORD(wParam));
    case WM_NOTIFY:
      HandleNotify(*reinterpret_cast<const NMHDR*>(lParam));
      return FALSE;
    default:
      return FALSE;
  }
}

BOOL SettingsDialog::InitSettingsDialog() {
  mailboxBox_ = Item(IDC_MAILBOX);
  ruleList_ = Item(IDC_RULE_LIST);
  if (!editor_.LoadMailboxes(dataFolder_, preselectKey_)) {
    ShowResourceMessage(Window(), IDS_NO_MAILBOXES, MB_ICONWARNING);
    EndDialog(Window(), IDCANCEL);
    return FALSE;
  }
  AddMailboxItems();
  SendMessageA(mailboxBox_, CB_SETCURSEL, editor_.CurrentMailbox(), 0);
  InsertRuleColumns();
  ShowMailbox();
  return TRUE;
}

void SettingsDialog::AddMailboxItems() {
  for (const MailboxItem& item : editor_.Mailboxes())
    SendMessageA(mailboxBox_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.displayName.c_str()));
}

void SettingsDialog::InsertRuleColumns() {
  RECT client = {};
  GetClientRect(ruleList_, &client);
  const std::array<int, 4> widths =
      RuleColumnWidths(client.right - client.left, GetSystemMetrics(SM_CXVSCROLL));
  for (int column = 0; column < 4; ++column) {
    std::string header;
    if (ColumnHeaderIds[column]) header = LoadResourceString(ColumnHeaderIds[column], HeaderTextSize);
    LVCOLUMNA description = {};
    description.mask = LVCF_TEXT | LVCF_WIDTH;
    description.cx = widths[column];
    description.pszText = header.data();
    SendMessageA(ruleList_, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&description));
  }
  const LRESULT style = SendMessageA(ruleList_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0);
  SendMessageA(ruleList_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style | RuleListExtendedStyle);
}

void SettingsDialog::ShowMailbox() {
  const MailboxSettings& settings = editor_.Current();
  Check(IDC_ENABLE, settings.enabled);
  Check(IDC_DELIVERED_TO, settings.lookAtDeliveredTo);
  RefreshRuleList(true, true);
  UpdateRuleControls();
}

void SettingsDialog::UpdateRuleControls() {
  const bool enabled = IsChecked(IDC_ENABLE);
  for (int id = FirstRuleControl; id <= LastRuleControl; ++id)
    if (HWND control = Item(id)) EnableWindow(control, enabled);
}

bool SettingsDialog::HandleCommand(int id, int notification) {
  switch (id) {
    case IDC_MAILBOX:
      if (notification != CBN_SELCHANGE) return false;
      if (editor_.SelectMailbox(static_cast<int>(SendMessageA(mailboxBox_, CB_GETCURSEL, 0, 0))))
        ShowMailbox();
      return true;
    case IDC_ENABLE:
      UpdateRuleControls();
      editor_.SetEnabled(IsChecked(IDC_ENABLE));
      return true;
    case IDC_DELIVERED_TO:
      editor_.SetLookAtDeliveredTo(IsChecked(IDC_DELIVERED_TO));
      return true;
    case IDC_SET_SENDER:
      Check(IDC_VERP, AfterSetSenderClicked({IsChecked(IDC_SET_SENDER), IsChecked(IDC_VERP)}).verp);
      return true;
    case IDC_VERP:
      Check(IDC_SET_SENDER,
            AfterVerpClicked({IsChecked(IDC_SET_SENDER), IsChecked(IDC_VERP)}).setSender);
      return true;
    case IDC_ADD: AddRule(); return true;
    case IDC_REPLACE: ReplaceRule(); return true;
    case IDC_REMOVE: RemoveRule(); return true;
    case IDC_UP: MoveRule(true); return true;
    case IDC_DOWN: MoveRule(false); return true;
    case IDOK: Confirm(); return true;
    case IDCANCEL: EndDialog(Window(), IDCANCEL); return true;
    case IDC_ABOUT: OpenAbout(); return true;
    default: return false;
  }
}

void SettingsDialog::HandleNotify(const NMHDR& header) {
  if (header.idFrom != IDC_RULE_LIST) return;
  if (header.code == LVN_GETDISPINFOA) {
    LVITEMA& item = const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header)).item;
    if (item.mask & LVIF_TEXT) RuleCellText(item);
  } else if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (change.iItem >= 0 && (change.uNewState & LVIS_SELECTED)) ShowRule(change.iItem);
  }
}

RuleFields SettingsDialog::ReadRuleFromControls() const {
  RuleFields fields;
  fields.pattern = GetWindowTextString(Item(IDC_PATTERN));
  fields.name = GetWindowTextString(Item(IDC_NAME));
  fields.address = GetWindowTextString(Item(IDC_ADDRESS));
  fields.regex = IsChecked(IDC_REGEX);
  fields.setSender = IsChecked(IDC_SET_SENDER);
  fields.verp = IsChecked(IDC_VERP);
  return fields;
}

int SettingsDialog::SelectedRule() const {
  return static_cast<int>(SendMessageA(ruleList_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                       LVNI_SELECTED));
}

namespace {

// The message that says what is wrong with the From field, and how to mend it.
UINT AddressProblemMessage(AddressFieldProblem problem) {
  switch (problem) {
    case AddressFieldProblem::GroupBeyondPattern: return IDS_FROM_GROUP_BEYOND_PATTERN;
    case AddressFieldProblem::TemplateInWildcardRule: return IDS_FROM_TEMPLATE_IN_WILDCARD;
    case AddressFieldProblem::NotOneAddress:
    case AddressFieldProblem::None: break;
  }
  return IDS_FROM_NOT_ONE_ADDRESS;
}

}  // namespace

void SettingsDialog::ShowWarning(const std::string& text) {
  const std::string caption = LoadResourceString(IDS_CAPTION, CaptionTextSize);
  MessageBoxA(Window(), text.c_str(), caption.c_str(), MB_ICONWARNING);
}

bool SettingsDialog::Report(const EditResult& result) {
  switch (result.verdict) {
    case EditVerdict::Done:
      return true;
    case EditVerdict::Beep:
      MessageBeep(0);
      return false;
    case EditVerdict::CompileError:
      ShowWarning(LoadResourceString(IDS_REGEX_COMPILE_ERROR, MessageTextSize) + result.errorText);
      return false;
    case EditVerdict::BadAddress:
      ShowWarning(LoadResourceString(AddressProblemMessage(result.addressProblem), MessageTextSize));
      return false;
  }
  return false;
}

void SettingsDialog::RefreshRuleList(bool countChanged, bool erase) {
  if (countChanged)
    SendMessageA(ruleList_, LVM_SETITEMCOUNT, editor_.RuleCount(), 0);
  InvalidateRect(ruleList_, nullptr, erase ? TRUE : FALSE);
}

void SettingsDialog::AddRule() {
  if (Report(editor_.AddRule(ReadRuleFromControls()))) RefreshRuleList(true, true);
}

void SettingsDialog::ReplaceRule() {
  if (Report(editor_.ReplaceRule(SelectedRule(), ReadRuleFromControls())))
    RefreshRuleList(false, true);
}

void SettingsDialog::RemoveRule() {
  if (Report(editor_.RemoveRule(SelectedRule()))) RefreshRuleList(true, true);
}

void SettingsDialog::MoveRule(bool up) {
  const int selected = SelectedRule();
  const EditResult result = up ? editor_.MoveRuleUp(selected) : editor_.MoveRuleDown(selected);
  if (!Report(result)) return;
  LVITEMA state = {};
  state.stateMask = SelectedAndFocused;
  state.state = SelectedAndFocused;
  SendMessageA(ruleList_, LVM_SETITEMSTATE, result.selection, reinterpret_cast<LPARAM>(&state));
  RefreshRuleList(false, false);
}

void SettingsDialog::RuleCellText(LVITEMA& item) const {
  if (item.iSubItem == 0) {
    if (item.pszText && item.cchTextMax > 0)
      lstrcpynA(item.pszText, editor_.FlagsCell(item.iItem).c_str(), item.cchTextMax);
    return;
  }
  // The list reads the rule's own text, which lives as long as the dialog.
  if (const std::string* text = editor_.TextCell(item.iItem, item.iSubItem))
    item.pszText = const_cast<char*>(text->c_str());
}

void SettingsDialog::ShowRule(int index) {
  const AddressRule* rule = editor_.RuleAt(index);
  if (!rule) return;
  SetDlgItemTextA(Window(), IDC_PATTERN, rule->pattern.c_str());
  SetDlgItemTextA(Window(), IDC_NAME, rule->name.c_str());
  SetDlgItemTextA(Window(), IDC_ADDRESS, rule->address.c_str());
  // Set directly: the Set Sender / VERP coupling runs only on clicks.
  Check(IDC_REGEX, rule->regex);
  Check(IDC_SET_SENDER, rule->setSender);
  Check(IDC_VERP, rule->verp);
}

void SettingsDialog::OpenAbout() {
  AboutDialog about;
  about.Run(Window());
}

void SettingsDialog::Confirm() {
  // The edits apply either way; a file that could not take them is named,
  // so that the user knows they will not outlive this session.
  const std::vector<std::string> notSaved = editor_.Commit(dataFolder_);
  if (!notSaved.empty()) ReportNotSaved(notSaved);
  EndDialog(Window(), IDOK);
}

void SettingsDialog::ReportNotSaved(const std::vector<std::string>& paths) {
  std::string text = LoadResourceString(IDS_SETTINGS_NOT_SAVED, MessageTextSize);
  for (const std::string& path : paths) text += "\n" + path;
  const std::string caption = LoadResourceString(IDS_CAPTION, CaptionTextSize);
  MessageBoxA(Window(), text.c_str(), caption.c_str(), MB_ICONWARNING);
}

}  // namespace fromsel::ui
