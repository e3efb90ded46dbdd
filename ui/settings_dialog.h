// The settings dialog: one mailbox at a time, its two switches and its rule
// list, edited on a working copy of the settings table (SettingsEditor).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/model/settings_editor.h"

namespace fromsel::ui {

// Runs the settings dialog over the bound host's data folder, modal over
// `owner`, with `preselectKey`'s mailbox (when listed) shown first; 1
// after OK, 2 after Cancel.
int RunSettingsDialog(HWND owner, const char* preselectKey);

class SettingsDialog : public ModalDialog {
 public:
  // Copies the process-wide settings table (loading it first when there is
  // none) as the working table.
  SettingsDialog(std::string dataFolder, std::string preselectKey);

  // Runs the dialog modally over `owner`; 1 after OK, 2 after Cancel.
  INT_PTR Run(HWND owner);

 protected:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  BOOL InitSettingsDialog();
  void AddMailboxItems();
  void InsertRuleColumns();
  void ShowMailbox();
  void UpdateRuleControls();
  bool HandleCommand(int id, int notification);
  void HandleNotify(const NMHDR& header);

  RuleFields ReadRuleFromControls() const;
  int SelectedRule() const;
  // Shows what an edit answered: a beep, the compile-error message, or the
  // changed list (`countChanged`: the number of rules changed).
  bool Report(const EditResult& result);
  void ShowWarning(const std::string& text);
  void RefreshRuleList(bool countChanged, bool erase);
  void AddRule();
  void ReplaceRule();
  void RemoveRule();
  void MoveRule(bool up);
  void RuleCellText(LVITEMA& item) const;
  void ShowRule(int index);
  void OpenAbout();
  void Confirm();
  // Names the settings files that OK could not write.
  void ReportNotSaved(const std::vector<std::string>& paths);

  std::string dataFolder_;
  std::string preselectKey_;
  SettingsEditor editor_;
  HWND mailboxBox_ = nullptr;
  HWND ruleList_ = nullptr;
};

}  // namespace fromsel::ui
