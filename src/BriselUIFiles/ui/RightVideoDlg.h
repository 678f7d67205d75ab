#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <string>

#include "BriselUIFiles/RightVideoCore.h"
#include "BriselUIFiles/SharePageHost.h"
#include "BriselUIFiles/ui/SharePage.h"
#include "toolkit/MessageReceiver.h"
#include "toolkit/WindowDrag.h"

namespace brisel {

class CConvertList;
class CKbcButton;
class CMenuDlg;
class CMsgBoxDlg;
class CSetContentDlg;
class CVideoWndList;
class ConvertListCore;
class Service;

// The share page (812 x 630, right of the left menu): a header band with the page's buttons
// and the LAN status (connected-phone count, address icon, the address box that opens the
// address menu), three views (the video grid, the conversion list, the settings page) and a
// footer by view. Its logic is RightVideoCore; this window paints, takes input and hosts the
// views. UI thread only.
//
// What the main window needs of its page is SharePage (the views, the conversions and
// closing flags of the quit sequence and the update flow, the shutdown before the LAN
// service goes), and LoadFromCatalogue once after creating it. What the page needs of the
// main window (its close and minimise buttons, the balloon of a finished conversion, the left
// menu's animation) is `host`.
class CRightVideoDlg : public QWidget,
                       public MessageReceiver,
                       public RightVideoHost,
                       public SharePage {
  Q_OBJECT

 public:
  static constexpr int kWidth = 812, kHeight = 630;
  static constexpr int kHeaderHeight = 54;  // the header band; y <= 53 drags the window
  static constexpr int kFooterHeight = 52;  // below the views
  static constexpr int kViewTop = 56;
  static inline const QRect kAddressBox{kWidth - 205, 16, 126, 22};
  static inline const QRect kAddressIcon{kWidth - 223, 18, 18, 18};
  static inline const QRect kCountText{QPoint(kWidth - 333, 19), QPoint(kWidth - 214, 33)};
  static inline const QRect kFolderIcon{350, kHeight - 36, 24, 24};

  // `host` (the main window) must outlive the page; its service (may be null) must outlive
  // the page or its Shutdown; its settings host (may be null) must outlive the page.
  CRightVideoDlg(SharePageHost* host, QWidget* parent);
  ~CRightVideoDlg() override;

  // Fills the video grid from the share catalogue, then the conversion list from its queue
  // file (once, at start-up).
  void LoadFromCatalogue();

  // Before the service goes: the page's threads end, the grid's probes end. Idempotent.
  void Shutdown();

  // SharePage
  QWidget* Widget() override { return this; }
  void SelectView(int view) override { m_core.SelectView(view); }
  int View() const override { return m_core.View(); }
  bool IsAnyConverting() const override { return m_core.IsAnyConverting(); }
  void StopAll(bool exiting) override { m_core.StopAll(exiting); }
  void RaiseClosingFlags() override { m_core.RaiseClosingFlags(); }
  bool WaitForMonitor(std::chrono::milliseconds timeout) override;
  void RestartMonitor() override { m_core.RestartDeviceCountMonitor(); }
  // A conversion still running ends as interrupted and stays in the queue; then Shutdown.
  void ShutdownPages() override;

  RightVideoCore& Core() { return m_core; }
  const RightVideoCore& Core() const { return m_core; }
  CVideoWndList* VideoList() const { return m_pVideoList; }
  CConvertList* ConvertListView() const { return m_pConvertList; }
  ConvertListCore& ConvertList();
  CSetContentDlg* SettingsPage() const { return m_pSettings; }
  CMsgBoxDlg* Toast() const { return m_pToast; }
  CMenuDlg* AddressMenu() const { return m_pAddressMenu; }
  CKbcButton* Button(int id) const;
  bool AddressMenuOpen() const;

  // Replaces the folder browser (tests): returns the chosen folder, empty when cancelled.
  using FolderDialog = std::function<QString(QWidget* parent)>;
  static void SetFolderDialogForTesting(FolderDialog dialog);

  // RightVideoHost (and SharePage's ShowToast)
  void ControlsChanged() override;
  void StatusChanged() override;
  void ShowToast(int kind) override;
  void AddFromDialog() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void OnMessage(const Message& message) override;

 private:
  void CreateButtons();
  void OnButton(int id);
  void ChooseFolder();
  void ToggleAddressMenu();
  void CloseAddressMenu();
  void PaintFooter(QPainter& painter);
  void PaintStatus(QPainter& painter);
  QRect ViewRect() const;

  SharePageHost* const m_pHost;
  RightVideoCore m_core;
  std::map<int, CKbcButton*> m_buttons;
  CSetContentDlg* m_pSettings = nullptr;
  CConvertList* m_pConvertList = nullptr;
  CVideoWndList* m_pVideoList = nullptr;
  CMsgBoxDlg* m_pToast = nullptr;
  CMenuDlg* m_pAddressMenu = nullptr;
  QImage m_ipState, m_ipCombo, m_openPath;
  bool m_bBoxHover = false, m_bBoxPressed = false;
  bool m_bFolderHover = false, m_bFolderPressed = false;
  bool m_bShutDown = false;
  bool m_bQueueLoaded = false;
  WindowDrag m_drag;
};

}  // namespace brisel
