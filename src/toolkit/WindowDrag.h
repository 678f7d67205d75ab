#pragma once

#include <QPoint>
#include <QPointer>
#include <QWidget>

class QMouseEvent;

namespace brisel {

// Moves a window by its body: a left-button press in a drag area hands the move to the
// window manager, as a press on a caption would. Where the platform cannot (no window
// manager, offscreen), the window follows the pointer until the button is released.
// The widget that owns the drag area forwards its press, move and release events.
// UI thread only.
class WindowDrag {
 public:
  // Starts moving `window` (made top-level) from `event`, a left-button press.
  void Press(QWidget* window, QMouseEvent* event);
  // Follows the pointer while a fallback move is active; true when the window moved.
  bool Move(QMouseEvent* event);
  void Release();
  bool Active() const { return m_active; }

 private:
  QPointer<QWidget> m_window;
  QPoint m_grabOffset;
  bool m_active = false;
};

}  // namespace brisel
