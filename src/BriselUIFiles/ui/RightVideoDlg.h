#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>
#include <string>

#include "BriselUIFiles/RightVideoCore.h"
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
class SettingsPageHost;

// The share page (812 x 630, right of the left menu): a header band with the page's buttons
// and the LAN status (connected-phone count, address icon, the address box that opens the
// address menu), three views (the video grid, the conversion list, the settings page) and a
// footer by view. Its logic is RightVideoCore; this window paints, takes input and hosts the
// views. UI thread only.
//
// What the main window uses: LoadFromCatalogue once after creating it, SelectView for the
// left menu's choices, the close and balloon handlers, Core() for the quit sequence and the
// update flow (IsAnyConverting, StopAll, PrepareQuit, RaiseClosingFlags), and Shutdown before
// the LAN service is destroyed.
class CRightVideoDlg : public QWidget, public MessageReceiver, public RightVideoHost {
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

  // `service` (may be null) must outlive the page or its Shutdown; `settingsHost` (may be
  // null) is the settings page's host and must outlive the page.
  CRightVideoDlg(Service* service, SettingsPageHost* settingsHost, QWidget* parent);
  ~CRightVideoDlg() override;

  // Fills the video grid from the share catalogue (once, at start-up).
  void LoadFromCatalogue();
  void SelectView(int view) { m_core.SelectView(view); }

  // The close button runs this (the main window's close handling); without one it closes
  // the window.
  void SetCloseHandler(std::function<void()> handler) { m_onClose = std::move(handler); }
  // The minimise button runs this (the main window's minimise); without one it minimises
  // the top-level window.
  void SetMinimiseHandler(std::function<void()> handler) { m_onMinimise = std::move(handler); }
  // The tray balloon of a finished conversion (its title: the file's name).
  void SetBalloonHandler(std::function<void(const std::string&)> handler);

  // Before the service goes: the page's threads end, the grid's probes end. Idempotent.
  void Shutdown();

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

  // RightVideoHost
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
  WindowDrag m_drag;
  std::function<void()> m_onClose;
  std::function<void()> m_onMinimise;
};

}  // namespace brisel
