#include "app/ui/TrayIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

#include "toolkit/SkinResources.h"

namespace brisel {

TrayIcon::TrayIcon(MessageTargetRef mainWindow, QObject* parent)
    : QObject(parent),
      m_mainWindow(std::move(mainWindow)),
      m_pIcon(new QSystemTrayIcon(AppIcon(), this)),
      m_pMenu(new QMenu()) {
  m_pIcon->setObjectName(QStringLiteral("TrayIcon"));
  m_pIcon->setToolTip(QStringLiteral("BriselVR助手"));
  m_pMenu->setObjectName(QStringLiteral("TrayMenu"));
  const std::pair<const char*, int> items[] = {{"关闭", ID_TRAY_CLOSE}, {"显示", ID_TRAY_SHOW}};
  for (const auto& [text, command] : items) {
    QAction* action = m_pMenu->addAction(QString::fromUtf8(text));
    action->setObjectName(QString::number(command));
    // Posted, so the command runs once the menu has closed (it may open the exit prompt).
    connect(action, &QAction::triggered, this,
            [this, id = command] { PostTo(m_mainWindow, Message(WM_COMMAND, id)); });
  }
  // The notification area shows the menu on a right click itself (some draw it on their own
  // side), so only the double click is the main window's to handle.
  m_pIcon->setContextMenu(m_pMenu);
  connect(m_pIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::DoubleClick)
      PostTo(m_mainWindow, Message(WM_TRAY_NOTIFY, kIconId, WM_LBUTTONDBLCLK));
  });
  m_balloonTimer.setSingleShot(true);
  m_balloonTimer.setInterval(kBalloonMs);
  connect(&m_balloonTimer, &QTimer::timeout, this, &TrayIcon::ClearBalloon);
}

TrayIcon::~TrayIcon() {
  m_pIcon->setContextMenu(nullptr);
  delete m_pMenu;
}

void TrayIcon::Add() { m_pIcon->show(); }

void TrayIcon::Remove() { m_pIcon->hide(); }

bool TrayIcon::Added() const { return m_pIcon->isVisible(); }

bool TrayIcon::Available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TrayIcon::PopUpMenu() { m_pMenu->popup(QCursor::pos()); }

void TrayIcon::ShowConvertedBalloon(const QString& title) {
  QString shown = title.left(kMaxBalloonTitle);
  if (shown.size() < title.size() && shown.back().isHighSurrogate()) shown.chop(1);
  m_strBalloonTitle = shown;
  m_strBalloonText = QStringLiteral("转码已完成");
  m_pIcon->showMessage(m_strBalloonTitle, m_strBalloonText, QSystemTrayIcon::Information,
                       kBalloonMs);
  m_balloonTimer.start();
}

void TrayIcon::ClearBalloon() {
  // The balloon was shown for kBalloonMs and the notification area takes it away with that
  // time-out; the record forgets its text.
  m_strBalloonText.clear();
}

}  // namespace brisel
