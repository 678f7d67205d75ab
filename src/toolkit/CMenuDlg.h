#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

#include "platform/Messages.h"

namespace brisel {

// One row of a pick-list.
struct MENU_ITEM_ST {
  QString strText;
  QRect rect;            // (0, 22 * index) up to, not including, (125, 22 * index + 22)
  bool bPicked = false;  // set when the row is picked
};

// Which pick-list a CMenuDlg is.
enum MenuKind : int {
  MENU_ADDRESSES = 2,      // the share page's local IPv4 addresses: 126 wide, WM_IP_CHOSEN
  MENU_OUTPUT_FORMAT = 3,  // a task's output format: 116 wide, WM_TASK_MODE
};

// A small popup pick-list drawn like a menu, 22 pixels per row, with a tick on the row of
// the current text. A pick posts to the owner, with the picked text: kind 2 WM_IP_CHOSEN
// (WM_USER+302, wParam 1), kind 3 WM_TASK_MODE (WM_USER+303, wParam 2), then the list
// hides. Kind 2 highlights the row under the pointer and is hidden by its owner; kind 3 is a
// popup that closes when the user clicks elsewhere and then emits ListClosed().
// UI thread only.
class CMenuDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kRowHeight = 22;

  CMenuDlg(int kind, MessageTargetRef owner, QWidget* parent);

  // Fills the rows and sizes the list to (width of the kind) x (22 x count).
  void SetTexts(const QStringList& texts);
  // Rebuilds the rows from the texts.
  void SetItems();
  // The value in use, which carries the tick.
  void SetCurrentText(const QString& text);
  const QString& CurrentText() const { return m_strCurrent; }
  const QString& LastPicked() const { return m_strLastPicked; }
  int HoveredRow() const { return m_nHovered; }  // 1-based, 0 = none
  int Kind() const { return m_nKind; }
  const std::vector<MENU_ITEM_ST>& Items() const { return m_items; }
  int MenuWidth() const;

 signals:
  void ListClosed();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  MessageTargetRef m_owner;
  int m_nHovered = 0;
  std::vector<MENU_ITEM_ST> m_items;
  QImage m_tick;
  QStringList m_texts;
  QString m_strCurrent;
  int m_nKind;
  QString m_strLastPicked;
};

}  // namespace brisel
