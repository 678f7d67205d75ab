#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <string>

#include "platform/Messages.h"

class QMenu;
class QSystemTrayIcon;

namespace brisel {

// The program's icon in the notification area: icon 128, tip "BriselVR助手", a menu with
// "关闭" and "显示", and the balloon of a finished conversion. A double click and the menu's
// commands reach the main window as posted messages: WM_TRAY_NOTIFY (kIconId,
// WM_LBUTTONDBLCLK) and WM_COMMAND (ID_TRAY_CLOSE or ID_TRAY_SHOW).
//
// Where no notification area exists yet (a bare X server, GNOME without an extension) the
// icon waits and docks as soon as one appears; Available() says whether one exists now.
// UI thread only.
class TrayIcon : public QObject {
  Q_OBJECT

 public:
  // The icon's id, and the id the main window gives messages it posts to itself.
  static constexpr int kIconId = 153;
  static constexpr int kSelfPostedId = 152;
  // The balloon: at most this many characters of title; its text; taken away after this.
  static constexpr int kMaxBalloonTitle = 63;
  static constexpr int kBalloonMs = 8000;

  TrayIcon(MessageTargetRef mainWindow, QObject* parent);
  ~TrayIcon() override;

  // Adds the icon to the notification area (at start-up); Remove takes it away (at quit).
  void Add();
  void Remove();
  bool Added() const;
  // Whether a notification area exists to dock the icon into right now.
  static bool Available();

  // Shows the menu at the pointer.
  void PopUpMenu();

  // "转码已完成" with `title` (cut to 63 characters) as the balloon's title; the balloon text
  // is cleared (and the balloon gone) after 8 seconds.
  void ShowConvertedBalloon(const QString& title);
  const QString& BalloonTitle() const { return m_strBalloonTitle; }
  const QString& BalloonText() const { return m_strBalloonText; }
  QTimer& BalloonTimer() { return m_balloonTimer; }

  QMenu* Menu() const { return m_pMenu; }
  QSystemTrayIcon* Icon() const { return m_pIcon; }

 private:
  void ClearBalloon();

  MessageTargetRef m_mainWindow;
  QSystemTrayIcon* m_pIcon;
  QMenu* m_pMenu;
  QString m_strBalloonTitle, m_strBalloonText;
  QTimer m_balloonTimer;  // timer 1
};

}  // namespace brisel
