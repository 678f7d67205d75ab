#pragma once

#include <QWidget>

#include "app/SharePage.h"
#include "toolkit/WindowDrag.h"

namespace brisel {

class CKbcButton;
class CMsgBoxDlg;
class CSetContentDlg;
class SharePageHost;

// A stand-in for the share page until the real one (CRightVideoDlg) takes its place in
// CreatePages: the header band with the minimise and close buttons, the settings view, and
// empty video and conversion views. It has no monitor and no conversions. objectName and
// control ids are the share page's, so the main window's tests find the same widgets in
// either. UI thread only.
class CSharePagePlaceholder : public QWidget, public SharePage {
  Q_OBJECT

 public:
  CSharePagePlaceholder(SharePageHost* host, QWidget* parent);

  QWidget* Widget() override { return this; }
  void SelectView(int view) override;
  bool IsAnyConverting() const override { return false; }
  void StopAll(bool) override {}
  void RaiseClosingFlags() override { m_bClosing = true; }
  bool WaitForMonitor(std::chrono::milliseconds) override { return true; }
  void RestartMonitor() override { m_bClosing = false; }
  void ShowToast(int kind) override;
  void ShutdownPages() override {}

  int View() const override { return m_nView; }
  bool Closing() const { return m_bClosing; }
  CMsgBoxDlg* Toast() const { return m_pToast; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  SharePageHost* m_pHost;
  CKbcButton* m_pMinimise;
  CKbcButton* m_pClose;
  CSetContentDlg* m_pSettings;
  CMsgBoxDlg* m_pToast;
  int m_nView = VIEW_VIDEOS;
  bool m_bClosing = false;
  WindowDrag m_drag;
};

}  // namespace brisel
