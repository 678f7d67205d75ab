#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

#include <array>

#include "toolkit/CClientFrameDlg.h"

namespace brisel {

// The two windows that wear a drop shadow, each with its fixed ring geometry.
enum class ShadowOwner {
  MainWindow,    // 972 x 630: a 16-pixel ring on every side
  NotifyDialog,  // 460 x 300
};

// Where the left, top, right and bottom shadow windows go around an owner whose client
// rectangle is `client` in screen coordinates. The sizes are fixed per owner.
std::array<QRect, 4> ShadowPlacement(ShadowOwner owner, const QRect& client);

// The four shadow windows (kinds 1-4) around one owner. They are created as the owner's own
// windows, shown just after it (once it is on screen) and hidden with it, and placed again whenever
// it moves or changes size, so the shadow follows the owner while it is dragged. Where translucent
// windows cannot blend (X11 without a compositing manager) they stay hidden. UI thread only.
class ShadowSet : public QObject {
  Q_OBJECT

 public:
  explicit ShadowSet(ShadowOwner geometry, QObject* parent = nullptr);
  ~ShadowSet() override;

  // Creates, places and composes the four windows around `owner`; shown when it is.
  void CreateShadows(QWidget* owner);
  // Places the windows around the owner's current client rectangle (no new composition).
  void MoveShadows();
  // Destroys the four windows.
  void DestroyShadows();

  // Left, top, right, bottom (null before CreateShadows and after DestroyShadows).
  CClientFrameDlg* Shadow(int index) const { return m_frames[index]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowFrames();

  ShadowOwner m_geometry;
  QPointer<QWidget> m_owner;
  std::array<QPointer<CClientFrameDlg>, 4> m_frames;
};

}  // namespace brisel
