#include "app/ui/BriselVRClientDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>

#include "BriselAssist/Http/HttpHelper.h"
#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/ui/CDownLoadDlg.h"
#include "BriselUIFiles/ui/RightVideoDlg.h"
#include "BriselUIFiles/ui/SharePage.h"
#include "ConService/Service.h"
#include "app/VersionCheckThread.h"
#include "app/ui/TrayIcon.h"
#include "settings/AppSettings.h"
#include "toolkit/CLeftMenuDlg.h"
#include "toolkit/CNotifyMsgDlg.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

// How long the update flow waits for the share page's device-count monitor.
constexpr std::chrono::milliseconds kMonitorWait{1000};

}  // namespace

CBriselVRClientDlg::CBriselVRClientDlg(AppSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_core(settings),
      m_pTray(new TrayIcon(Target(), this)),
      m_pVersionCheck(std::make_unique<VersionCheckThread>(Target())) {
  setObjectName("BriselVRClientDlg");
  setWindowTitle(QStringLiteral("BriselVR助手"));
  setWindowIcon(AppIcon());
  setFixedSize(kWidth, kHeight);  // not resizable
}

CBriselVRClientDlg::~CBriselVRClientDlg() {
  // The pages' threads call the Service, so they end before it is destroyed (the order is
  // BriselVRClientCore::Shutdown's); the windows go after the service, in the order they
  // were made.
  m_core.Shutdown(m_pSharePage);
  delete m_pLeftMenu;
  if (m_pSharePage) delete m_pSharePage->Widget();
  m_pSharePage = nullptr;
  m_pVersionCheck.reset();
  delete m_pDownLoadDlg;
  m_shadows.DestroyShadows();
}

bool CBriselVRClientDlg::OnInitDialog() {
  m_pTray->Add();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  m_core.SetMainWindowTarget(Target());
  bool settingsOk = m_core.Startup();
  CreatePages();
  return settingsOk;
}

void CBriselVRClientDlg::CreatePages() {
  if (m_pLeftMenu) return;
  m_pLeftMenu = new CLeftMenuDlg(Target(), this);
  m_pLeftMenu->setGeometry(0, 0, CLeftMenuDlg::kWidth, height());
  m_pLeftMenu->LayoutItems();
  m_pLeftMenu->show();

  m_pSharePage = CreateSharePage();
  QWidget* page = m_pSharePage->Widget();
  page->setGeometry(CLeftMenuDlg::kWidth, 0, width() - CLeftMenuDlg::kWidth, height());
  page->show();

  m_pDownLoadDlg = new CDownLoadDlg(Target());
  connect(m_pDownLoadDlg, &CDownLoadDlg::UpdateCancelled, this,
          &CBriselVRClientDlg::OnUpdateCancelled);

  m_shadows.CreateShadows(this);
}

SharePage* CBriselVRClientDlg::CreateSharePage() {
  auto* page = new CRightVideoDlg(this, this);
  page->LoadFromCatalogue();
  return page;
}

bool CBriselVRClientDlg::CheckingVersion() const { return m_pVersionCheck->Running(); }

void CBriselVRClientDlg::QuitSequence() {
  if (m_pSharePage && m_pSharePage->IsAnyConverting()) m_pSharePage->StopAll(true);
  m_bQuitConfirmed = 1;
  if (m_pSharePage) m_pSharePage->RaiseClosingFlags();
  // A quit that arrives while the exit prompt is open (SIGTERM) closes the prompt first.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) modal->close();
  close();
}

void CBriselVRClientDlg::RunInBackground() {
  // Hidden, the window comes back from the tray icon; without a notification area to hold
  // one, it goes to the task bar instead. The service and the queue run on either way.
  if (m_pTray->Added() && TrayIcon::Available())
    hide();
  else
    showMinimized();
}

void CBriselVRClientDlg::BringToFront() {
  if (m_bUpdating && m_pDownLoadDlg) {
    m_pDownLoadDlg->show();
    m_pDownLoadDlg->raise();
    m_pDownLoadDlg->activateWindow();
    return;
  }
  if (isMinimized())
    showNormal();
  else
    show();
  raise();
  activateWindow();
}

void CBriselVRClientDlg::ToggleFromTray() {
  if (!m_bUpdating && isVisible() && !isMinimized())
    RunInBackground();
  else
    BringToFront();
}

void CBriselVRClientDlg::MinimiseMainWindow() { showMinimized(); }

void CBriselVRClientDlg::ShowConvertedBalloon(const std::string& title) {
  m_pTray->ShowConvertedBalloon(QString::fromStdString(title));
}

void CBriselVRClientDlg::SetConverting(bool converting) {
  if (m_pLeftMenu) m_pLeftMenu->SetConverting(converting);
}

void CBriselVRClientDlg::HandleCloseRequest() {
  switch (DecideCloseAction(m_core.Settings().m_nExitWndType)) {
    case CloseAction::HideToTray:
      RunInBackground();
      break;
    case CloseAction::Quit:
      QuitSequence();
      break;
    case CloseAction::Ask: {
      // A close request while the prompt is open (the tray's "关闭" again) asks nothing new.
      if (m_pExitPrompt) {
        m_pExitPrompt->raise();
        m_pExitPrompt->activateWindow();
        break;
      }
      // Asked again at every close: the prompt changes ExitWndType only when its (hidden)
      // "不再提示" box is ticked.
      CNotifyMsgDlg prompt(this, NOTIFY_EXIT, QString(), m_core.Settings().m_nDeleteOrigin);
      m_pExitPrompt = &prompt;
      prompt.exec();
      m_pExitPrompt = nullptr;
      CloseAction answer = ActionForExitPromptResult(prompt.GetNotifyResult());
      if (prompt.KeepsChoice() && answer != CloseAction::Nothing)
        m_core.SetExitWndType(answer == CloseAction::HideToTray ? 2 : 3);
      if (answer == CloseAction::HideToTray) RunInBackground();
      if (answer == CloseAction::Quit) QuitSequence();
      break;
    }
    case CloseAction::Nothing:
      break;
  }
}

void CBriselVRClientDlg::closeEvent(QCloseEvent* event) {
  // A quit decided while this close is handled (the prompt's "完全退出", ExitWndType 3, or a
  // signal during the prompt) lets this very close through: Qt ignores a nested close().
  if (!m_bQuitConfirmed) HandleCloseRequest();
  if (!m_bQuitConfirmed) {
    event->ignore();
    return;
  }
  event->accept();
  m_pTray->Remove();
  emit ClosedForQuit();
}

void CBriselVRClientDlg::mousePressEvent(QMouseEvent* event) { m_drag.Press(this, event); }

void CBriselVRClientDlg::mouseMoveEvent(QMouseEvent* event) { m_drag.Move(event); }

void CBriselVRClientDlg::mouseReleaseEvent(QMouseEvent*) { m_drag.Release(); }

void CBriselVRClientDlg::OnMessage(const Message& message) {
  switch (message.id) {
    case WM_SWITCH_PAGE:
      OnSwitchPage(static_cast<int>(message.wParam));
      break;
    case WM_SYSCOMMAND:
      OnSysCommand(static_cast<int>(message.wParam));
      break;
    case WM_COMMAND:
      if (message.wParam == ID_TRAY_CLOSE) HandleCloseRequest();
      if (message.wParam == ID_TRAY_SHOW) ToggleFromTray();
      break;
    case WM_TRAY_NOTIFY:
      OnTrayNotify(static_cast<int>(message.wParam), static_cast<int>(message.lParam));
      break;
    case WM_CHECK_UPDATE:
      OnCheckUpdate();
      break;
    case WM_VERSION_CHECKED:
      OnVersionChecked(static_cast<int>(message.wParam), message.text, message.text2);
      break;
    default:
      // WM_CONVERT_REQUEST is the share page's to handle; WM_SHARE_FILE_STATUS_1 and _2
      // carry nothing the window acts on.
      break;
  }
}

void CBriselVRClientDlg::OnSwitchPage(int page) {
  if (!m_pSharePage) return;
  switch (page) {
    case PAGE_SHARE:
      m_pSharePage->SelectView(SHARE_VIEW_VIDEOS);
      break;
    case PAGE_CONVERT_LIST:
      m_pSharePage->SelectView(SHARE_VIEW_CONVERT_LIST);
      break;
    case PAGE_SETTINGS:
      m_pSharePage->SelectView(SHARE_VIEW_SETTINGS);
      break;
    default:  // "关于" and "神秘功能" have no page of their own
      break;
  }
}

void CBriselVRClientDlg::OnSysCommand(int command) {
  switch (command) {
    case ID_HIDE_TO_TRAY:
      RunInBackground();
      break;
    case ID_TRAY_CLOSE:
      HandleCloseRequest();
      break;
    case SC_CLOSE:
      // Posted once the downloaded installer runs: the program makes way for it without a
      // question, whatever ExitWndType says.
      if (m_bUpdating)
        QuitSequence();
      else
        close();
      break;
    default:
      break;
  }
}

void CBriselVRClientDlg::OnTrayNotify(int iconId, int mouseMessage) {
  if (iconId == TrayIcon::kIconId) {
    if (mouseMessage == WM_LBUTTONDBLCLK) ToggleFromTray();
    if (mouseMessage == WM_RBUTTONDOWN)
      PostTo(Target(), Message(WM_TRAY_NOTIFY, TrayIcon::kSelfPostedId, WM_RBUTTONUP));
  } else if (iconId == TrayIcon::kSelfPostedId) {
    if (mouseMessage == WM_LBUTTONDBLCLK) BringToFront();
    if (mouseMessage == WM_RBUTTONUP) m_pTray->PopUpMenu();
  }
}

void CBriselVRClientDlg::OnCheckUpdate() {
  // One check at a time, and none while an update is under way or the program quits.
  if (m_bUpdating || m_bQuitConfirmed || m_pVersionCheck->Running()) return;
  WriteLog("检测更新", kClientDlgTag);
  m_pVersionCheck->Start();
}

void CBriselVRClientDlg::OnVersionChecked(int result, const std::string& url,
                                          const std::string& boxText) {
  if (m_bQuitConfirmed || m_bUpdating) return;
  if (!boxText.empty()) QMessageBox::warning(this, windowTitle(), QString::fromStdString(boxText));
  if (static_cast<HttpHelper::CheckResult>(result) != HttpHelper::CheckResult::UpdateAvailable) {
    // No newer version (or no answer): the check ends quietly; only the log tells.
    WriteLog("检测更新------FALSE", kClientDlgTag);
    return;
  }
  StartUpdate(url);
}

void CBriselVRClientDlg::StartUpdate(const std::string& url) {
  m_bUpdating = true;
  if (m_pSharePage && m_pSharePage->IsAnyConverting()) {
    WriteLog("停止转码", kClientDlgTag);
    m_pSharePage->StopAll(false);
  }
  if (m_pSharePage) {
    m_pSharePage->RaiseClosingFlags();
    m_pSharePage->WaitForMonitor(kMonitorWait);
  }
  if (Service* service = GetService()) service->StopServiceThreads();
  hide();
  m_pDownLoadDlg->show();
  m_pDownLoadDlg->raise();
  m_pDownLoadDlg->activateWindow();
  WriteLog("开始下载", kClientDlgTag);
  m_pDownLoadDlg->StartDownload(url);
}

void CBriselVRClientDlg::OnUpdateCancelled() {
  WriteLog("取消升级", kClientDlgTag);
  m_bUpdating = false;
  m_core.RestartLanService();
  if (m_pSharePage) m_pSharePage->RestartMonitor();
  BringToFront();
}

}  // namespace brisel
