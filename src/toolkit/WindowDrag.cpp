#include "toolkit/WindowDrag.h"

#include <QMouseEvent>
#include <QWindow>

namespace brisel {

void WindowDrag::Press(QWidget* window, QMouseEvent* event) {
  m_active = false;
  if (!window || event->button() != Qt::LeftButton) return;
  window = window->window();
  if (QWindow* handle = window->windowHandle(); handle && handle->startSystemMove()) return;
  m_window = window;
  m_grabOffset = event->globalPosition().toPoint() - window->pos();
  m_active = true;
}

bool WindowDrag::Move(QMouseEvent* event) {
  if (!m_active || !m_window || !(event->buttons() & Qt::LeftButton)) return false;
  QPoint target = event->globalPosition().toPoint() - m_grabOffset;
  if (target == m_window->pos()) return false;
  m_window->move(target);
  return true;
}

void WindowDrag::Release() { m_active = false; }

}  // namespace brisel
