#pragma once

#include "BriselUIFiles/ui/RightVideoDlg.h"
#include "app/SharePage.h"

namespace brisel {

// The share page as the main window sees it: CRightVideoDlg behind the main window's
// SharePage seam. Its close and minimise buttons, the finished-conversion balloon and the
// "转码" animation go to the host. UI thread only.
class CSharePageDlg : public CRightVideoDlg, public SharePage {
  Q_OBJECT

 public:
  CSharePageDlg(SharePageHost* host, QWidget* parent);

  QWidget* Widget() override { return this; }
  void SelectView(int view) override { CRightVideoDlg::SelectView(view); }
  int View() const override;
  bool IsAnyConverting() const override;
  void StopAll(bool exiting) override;
  void RaiseClosingFlags() override;
  bool WaitForMonitor(std::chrono::milliseconds timeout) override;
  void RestartMonitor() override;
  void ShowToast(int kind) override { CRightVideoDlg::ShowToast(kind); }
  void ShutdownPages() override;
};

}  // namespace brisel
