#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <map>

#include "platform/Notifications.h"

namespace brisel {

// The text of a toast kind; empty for a value outside the catalogue.
QString ToastText(int kind);

// The toast: a 315 x 80 translucent window without buttons that fades in, stays, fades out
// and hides itself; it never takes the focus and has no taskbar entry. One is created hidden
// with its page and reused. Timers: 1 (20 ms) raises the opacity by 10 up to 220, then 3
// holds it for 600 ms, then 2 (50 ms) lowers it by 10 down to 70 and hides the window. The
// opacity is not reset, so later toasts fade in from 70. UI thread only.
class CMsgBoxDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr int TIMER_FADE_IN = 1, TIMER_FADE_OUT = 2, TIMER_HOLD = 3;

  explicit CMsgBoxDlg(QWidget* page);

  // Shows the kind's text (a kind outside the catalogue keeps the previous text) and starts
  // fading in from the current opacity. Timers already running are left running.
  void ShowToast(int kind);

  // The timer handler; the toast's timers call it, tests may call it to drive the fade.
  void OnTimer(int id);

  int Opacity() const { return m_nOpacity; }
  int Kind() const { return m_nKind; }
  const QString& Text() const { return m_strText; }
  bool IsTimerActive(int id) const { return m_timers.count(id) != 0; }
  // Period of a running timer in ms; 0 when it is not running.
  int TimerInterval(int id) const;

  // The window's picture at the current opacity (what the screen shows).
  QImage Render() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void StartTimer(int id, int ms);
  void StopTimer(int id);
  void CentreOnScreen();

  QImage m_background;
  QImage m_warning;  // loaded with the toast, not drawn
  QString m_strText;
  int m_nKind = 0;
  int m_nOpacity = 10;
  QWidget* m_pPage;
  struct Timer {
    int qtId;
    int interval;
  };
  std::map<int, Timer> m_timers;
};

}  // namespace brisel
