#pragma once

#include <QWidget>

#include <memory>

#include "BriselUIFiles/SharePageHost.h"
#include "app/BriselVRClientCore.h"
#include "toolkit/MessageReceiver.h"
#include "toolkit/SettingsPageHost.h"
#include "toolkit/ShadowSet.h"
#include "toolkit/WindowDrag.h"

namespace brisel {

class CDownLoadDlg;
class CLeftMenuDlg;
class CNotifyMsgDlg;
class SharePage;
class TrayIcon;
class VersionCheckThread;

// The program's only top-level window: borderless, 972 x 630, "BriselVR助手", dragged by its
// body. It runs the start-up steps when it is set up (OnInitDialog, then CreatePages: the
// left menu, the share page, the download dialog and the four edge windows) and the shutdown
// steps when it is destroyed, hosts the share page (SharePageHost), keeps the tray icon, and
// routes the messages addressed to the main window:
//   WM_SWITCH_PAGE     the left menu's page choice (1, 3, 4; 2 and 99 have no page)
//   WM_SYSCOMMAND      ID_HIDE_TO_TRAY hides, ID_TRAY_CLOSE asks to close, SC_CLOSE closes
//                      (after a launched installer: a confirmed quit)
//   WM_COMMAND         the tray menu: ID_TRAY_CLOSE asks to close, ID_TRAY_SHOW toggles
//   WM_TRAY_NOTIFY     a double click on the tray icon toggles the window
//   WM_CHECK_UPDATE    the version check, then the update download
// Hiding never strands the window: without a notification area it is minimised instead.
// The settings are written here, through the core, and nowhere else in the window: the
// settings page (SettingsPageHost) and the exit prompt tell it what the user chose.
// UI thread only.
class CBriselVRClientDlg : public QWidget,
                           public MessageReceiver,
                           public SharePageHost,
                           public SettingsPageHost {
  Q_OBJECT

 public:
  static constexpr int kWidth = 972, kHeight = 630;

  // `settings` is the record the start-up loads (ProgramSettings()); it outlives the window.
  explicit CBriselVRClientDlg(AppSettings& settings, QWidget* parent = nullptr);
  // Shutdown: the pages' threads, the log thread, the service, then the windows.
  ~CBriselVRClientDlg() override;

  // The start-up sequence (OnInitDialog): title, size, icon, centred; the core's start-up
  // steps; CreatePages. False when the settings could not be loaded.
  bool OnInitDialog();
  // The left menu at (0, 0) 160 x 630, the share page at (160, 0) 812 x 630, and the four
  // edge windows, which follow the window wherever it moves.
  void CreatePages();

  // Shows, raises and activates the window (the tray, a second copy). While an update
  // downloads, the download dialog comes forward instead.
  void BringToFront();
  // The tray's double click and "显示": hides a shown window, shows a hidden one.
  void ToggleFromTray();

  // The quit sequence: stops a running conversion (its task stays, interrupted), marks the
  // quit as confirmed, raises the share page's closing flags and closes the window, which
  // emits ClosedForQuit. A prompt that is open at that moment (a signal) closes too.
  void QuitSequence();

  // SharePageHost
  void HandleCloseRequest() override;
  void MinimiseMainWindow() override;
  void ShowConvertedBalloon(const std::string& title) override;
  void SetConverting(bool converting) override;
  Service* GetService() override { return m_core.GetService(); }
  SettingsPageHost* SettingsHost() override { return this; }

  // SettingsPageHost
  const AppSettings& CurrentSettings() override { return m_core.Settings(); }
  void KeepAwakeChosen(bool keepAwake) override { m_core.SetKeepAwake(keepAwake); }
  void ConvertRatioChosen(int ratio) override { m_core.SetConvertRatio(ratio); }
  void CheckForUpdate() override { OnCheckUpdate(); }

  BriselVRClientCore& Core() { return m_core; }
  bool QuitConfirmed() const { return m_bQuitConfirmed != 0; }
  CLeftMenuDlg* LeftMenu() const { return m_pLeftMenu; }
  SharePage* Page() const { return m_pSharePage; }
  ShadowSet& Shadows() { return m_shadows; }
  TrayIcon* Tray() const { return m_pTray; }
  CDownLoadDlg* DownLoadDlg() const { return m_pDownLoadDlg; }
  // Between a found update and its end (the installer runs, or "取消升级").
  bool Updating() const { return m_bUpdating; }
  bool CheckingVersion() const;

 signals:
  // The window closed after a confirmed quit: the program ends its event loop.
  void ClosedForQuit();

 protected:
  // The share page CreatePages places (tests put a recording page there).
  virtual SharePage* CreateSharePage();

  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void OnMessage(const Message& message) override;

 private:
  void OnSwitchPage(int page);
  void OnSysCommand(int command);
  void OnTrayNotify(int iconId, int mouseMessage);
  void OnCheckUpdate();
  void OnVersionChecked(int result, const std::string& url, const std::string& boxText);
  void StartUpdate(const std::string& url);
  void OnUpdateCancelled();
  // "后台运行": the window leaves the screen, the program keeps running.
  void RunInBackground();

  BriselVRClientCore m_core;
  CLeftMenuDlg* m_pLeftMenu = nullptr;
  SharePage* m_pSharePage = nullptr;
  CDownLoadDlg* m_pDownLoadDlg = nullptr;  // a window of its own, owned here
  ShadowSet m_shadows{ShadowOwner::MainWindow};
  TrayIcon* m_pTray;
  std::unique_ptr<VersionCheckThread> m_pVersionCheck;
  bool m_bUpdating = false;
  CNotifyMsgDlg* m_pExitPrompt = nullptr;  // while the exit prompt is open
  int m_bQuitConfirmed = 0;
  WindowDrag m_drag;
};

}  // namespace brisel
