#include "toolkit/ShadowSet.h"

#include <QEvent>
#include <QWidget>

#include "toolkit/Compositing.h"

namespace brisel {

std::array<QRect, 4> ShadowPlacement(ShadowOwner owner, const QRect& client) {
  const int L = client.left(), T = client.top();
  const int R = client.left() + client.width(), B = client.top() + client.height();
  if (owner == ShadowOwner::MainWindow) {
    return {QRect(L - 16, T, 16, 630), QRect(L - 16, T - 16, 1004, 16), QRect(R, T, 16, 630),
            QRect(L - 16, B, 1004, 16)};
  }
  return {QRect(L - 16, T, 16, 300), QRect(L - 8, T - 16, 476, 16), QRect(R, T, 16, 300),
          QRect(L - 8, B, 476, 16)};
}

ShadowSet::ShadowSet(ShadowOwner geometry, QObject* parent)
    : QObject(parent), m_geometry(geometry) {}

ShadowSet::~ShadowSet() { DestroyShadows(); }

void ShadowSet::CreateShadows(QWidget* owner) {
  DestroyShadows();
  if (!owner) return;
  m_owner = owner;
  owner->installEventFilter(this);
  static constexpr FrameKind kKinds[4] = {FRAME_LEFT, FRAME_TOP, FRAME_RIGHT, FRAME_BOTTOM};
  for (int i = 0; i < 4; ++i) m_frames[i] = new CClientFrameDlg(kKinds[i], owner);
  MoveShadows();
  for (auto& frame : m_frames) frame->ComposeFrame();
  if (owner->isVisible()) ShowFrames();
}

void ShadowSet::ShowFrames() {
  // Without a compositor the shadow would be a black band: the owner goes without. Asked
  // again whenever the owner is shown or activated, as a compositor may start or stop.
  const bool shown = TranslucencyAvailable();
  for (auto& frame : m_frames)
    if (frame) frame->setVisible(shown);
}

void ShadowSet::MoveShadows() {
  if (!m_owner) return;
  QRect client(m_owner->mapToGlobal(QPoint(0, 0)), m_owner->size());
  std::array<QRect, 4> places = ShadowPlacement(m_geometry, client);
  for (int i = 0; i < 4; ++i)
    if (m_frames[i]) m_frames[i]->setGeometry(places[i]);
}

void ShadowSet::DestroyShadows() {
  if (m_owner) m_owner->removeEventFilter(this);
  for (auto& frame : m_frames) {
    delete frame.data();
    frame = nullptr;
  }
  m_owner = nullptr;
}

bool ShadowSet::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_owner) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
        MoveShadows();
        break;
      case QEvent::Show:
        MoveShadows();
        // The owner's window is mapped right after this event. Frames mapped before it are
        // not yet its transients to the window manager, which then stacks them as it likes
        // (a dialog's shadow ended up under the main window); so they follow it.
        QMetaObject::invokeMethod(
            this,
            [this] {
              if (m_owner && m_owner->isVisible()) ShowFrames();
            },
            Qt::QueuedConnection);
        break;
      case QEvent::WindowActivate:
        if (m_owner->isVisible()) ShowFrames();
        break;
      case QEvent::Hide:
        for (auto& frame : m_frames)
          if (frame) frame->hide();
        break;
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace brisel
