#include "app/BriselVRClientDlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include "app/AppSettings.h"
#include "app/QtMessageTarget.h"

namespace brisel {

CBriselVRClientDlg::CBriselVRClientDlg(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      m_target(QtMessageTarget::Create(this)) {
  setObjectName("BriselVRClientDlg");
}

CBriselVRClientDlg::~CBriselVRClientDlg() {
  m_target->Detach();
  m_core.Shutdown();
}

bool CBriselVRClientDlg::OnInitDialog() {
  setWindowTitle(QStringLiteral("BriselVR助手"));
  setFixedSize(972, 630);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  m_core.SetMainWindowTarget(m_target);
  return m_core.Startup();
}

void CBriselVRClientDlg::QuitSequence() {
  m_bQuitConfirmed = 1;
  close();
}

void CBriselVRClientDlg::HandleCloseRequest() {
  switch (DecideCloseAction(theSettings ? theSettings->m_nExitWndType : 1)) {
    case CloseAction::HideToTray:
      hide();
      break;
    case CloseAction::Quit:
    case CloseAction::Ask:  // the exit prompt arrives with the toolkit; until then: quit
      QuitSequence();
      break;
    case CloseAction::Nothing:
      break;
  }
}

void CBriselVRClientDlg::closeEvent(QCloseEvent* event) {
  if (!m_bQuitConfirmed) {
    event->ignore();
    HandleCloseRequest();
    return;
  }
  event->accept();
}

void CBriselVRClientDlg::customEvent(QEvent* event) {
  if (event->type() != MessageEvent::EventType()) return QWidget::customEvent(event);
  // WM_SHARE_FILE_STATUS_1 and _2 carry nothing the window acts on; the text goes with the
  // event.
}

}  // namespace brisel
