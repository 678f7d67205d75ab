#include "app/BriselVRClientDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "app/AppSettings.h"
#include "toolkit/CNotifyMsgDlg.h"

namespace brisel {

CBriselVRClientDlg::CBriselVRClientDlg(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
  setObjectName("BriselVRClientDlg");
}

CBriselVRClientDlg::~CBriselVRClientDlg() { m_core.Shutdown(); }

bool CBriselVRClientDlg::OnInitDialog() {
  setWindowTitle(QStringLiteral("BriselVR助手"));
  setFixedSize(972, 630);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  m_core.SetMainWindowTarget(Target());
  return m_core.Startup();
}

void CBriselVRClientDlg::QuitSequence() {
  m_bQuitConfirmed = 1;
  // A quit that arrives while the exit prompt is open (SIGTERM) closes the prompt first.
  if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this) modal->close();
  close();
}

void CBriselVRClientDlg::RunInBackground() {
  // There is no tray icon to bring a hidden window back yet, so the window goes to the task
  // bar instead; the service and the queue run on either way.
  showMinimized();
}

void CBriselVRClientDlg::HandleCloseRequest() {
  switch (DecideCloseAction(theSettings ? theSettings->m_nExitWndType : 1)) {
    case CloseAction::HideToTray:
      RunInBackground();
      break;
    case CloseAction::Quit:
      QuitSequence();
      break;
    case CloseAction::Ask: {
      // Asked again at every close; the prompt does not change ExitWndType.
      CNotifyMsgDlg prompt(this, NOTIFY_EXIT);
      prompt.exec();
      CloseAction answer = ActionForExitPromptResult(prompt.GetNotifyResult());
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
}

void CBriselVRClientDlg::OnMessage(const Message&) {
  // WM_SHARE_FILE_STATUS_1 and _2 carry nothing the window acts on.
}

}  // namespace brisel
