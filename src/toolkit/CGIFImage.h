#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <QMovie>

namespace brisel {

// How an animated image is drawn (see CGIFImage::DrawArea and SourceRect).
enum GifDrawMode : int {
  GIF_MODE_CLIENT = 0,       // the whole image into the control
  GIF_MODE_BADGE = 2,        // the whole image into 50 x 16
  GIF_MODE_TOP_BAND = 10,    // the top half (normal band) into 48 x 48
  GIF_MODE_LOWER_BAND = 11,  // the band from y 48 (selected band) into 48 x 48
};

// An animated GIF shown in a control. The animation runs on the UI thread (QMovie follows
// the file's own frame delays); each new frame repaints the control, which draws the
// current frame's part for its mode. A GIF with one frame is drawn once; a missing file
// draws nothing. It animates only while it is visible on the screen: a hidden control, or
// one in a hidden or minimised window, keeps its frame and costs nothing. UI thread only.
class CGIFImage : public QWidget {
  Q_OBJECT

 public:
  CGIFImage(int id, QWidget* parent);
  ~CGIFImage() override;

  // Replaces any running animation with the file's.
  void LoadGif(const QString& path);
  void SetDrawMode(int mode);
  int DrawMode() const { return m_nMode; }

  // True while the animation runs: several frames, and the control visible.
  bool IsAnimating() const;
  int FrameCount() const;
  int CurrentFrame() const;
  QMovie* Movie() const { return m_movie; }

  // The area drawn into and the part of an image of `imageSize` drawn there, by mode.
  static QRect DrawArea(int mode, QSize clientSize);
  static QRect SourceRect(int mode, QSize imageSize);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  int m_nMode = GIF_MODE_CLIENT;
  QPointer<QMovie> m_movie;
};

}  // namespace brisel
