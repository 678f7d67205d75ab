#pragma once

#include <QImage>
#include <QWidget>

#include <array>

namespace brisel {

// Which edge of a drop shadow a frame window shows.
enum FrameKind : int {
  FRAME_LEFT = 1,
  FRAME_TOP = 2,
  FRAME_RIGHT = 3,
  FRAME_BOTTOM = 4,
  FRAME_FULL = 5,
};

// One edge of the soft drop shadow around a borderless window: a translucent popup owned by
// that window that never takes focus or input (clicks fall through to what lies below).
// It shows its frame image ("Comm\Frame_*.png") scaled to its size, at 200/255 of the
// image's own alpha. Without the skin it is fully transparent. UI thread only.
class CClientFrameDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kConstantAlpha = 200;

  CClientFrameDlg(FrameKind kind, QWidget* owner);

  FrameKind Kind() const { return m_kind; }

  // Rebuilds the shown image from the frame image of this kind at the window's size.
  void ComposeFrame();
  // What the window shows (premultiplied ARGB, the window's size).
  const QImage& Composed() const { return m_composed; }

  // The composition itself: the kind's source rectangle of `frame` scaled into `size`, at
  // kConstantAlpha/255 of its alpha. Another kind gives a transparent image.
  static QImage ComposeImage(FrameKind kind, const QImage& frame, QSize size);
  // The plain line painting a frame window falls back to when it is not composed: a
  // FFF8F8F8 fill and nine one-pixel lines from light to the dark edge next to the owner.
  static void PaintFallback(QPainter& painter, FrameKind kind, QSize size);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnInitDialog();

  FrameKind m_kind;
  std::array<QImage, 5> m_images;  // Frame_Left, Frame_Top, Frame_Right, Frame_Bottom, Frame_Full
  QImage m_composed;
  bool m_bLayered = false;
};

}  // namespace brisel
