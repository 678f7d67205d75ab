#pragma once

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <memory>

#include "toolkit/MessageReceiver.h"

namespace brisel {

class CGIFImage;
class VideoWndCore;
class VideoWndListPage;

// One video's tile in the grid (144 x 116): its thumbnail (or the placeholder), the badge of
// its state, the check box and the shortened name. It shows what its VideoWndCore holds; the
// core's probe and thumbnail threads only post WM_TILE_REPAINT here, and the picture they
// wrote is loaded on the UI thread. A click on a ready tile toggles the tick and tells the
// share page (RefreshSelection); clicks before the probe has finished do nothing. UI thread
// only.
class CVideoWndDlg : public QWidget, public MessageReceiver {
  Q_OBJECT

 public:
  static constexpr int kWidth = 144, kHeight = 116;
  static inline const QRect kThumbnailRect{8, 8, 128, 72};
  static inline const QRect kCheckRect{8, 92, 14, 14};
  static inline const QRect kBadgeRect{86, 64, 50, 16};
  static inline const QRect kNameRect{QPoint(24, 91), QPoint(142, 104)};  // (24, 91)-(143, 105)
  static constexpr int kAnimationId = 1055;

  // Created hidden and disabled; the grid's layout shows and enables it. `page` (the share
  // page's core, which outlives the tile) hears the clicks.
  CVideoWndDlg(std::shared_ptr<VideoWndCore> tile, VideoWndListPage* page, QWidget* panel);
  ~CVideoWndDlg() override;

  const std::shared_ptr<VideoWndCore>& Tile() const { return m_pTile; }

  // Follows the core's state: the animated badge is shown while the video converts, and
  // the tile is repainted.
  void Refresh();

  // The name as the tile shows it: a base of 9 or more characters becomes its first 7
  // characters, "...", its last character and the extension (abcdefghij.mp4 →
  // abcdefg...j.mp4); shorter names and names without "." are shown whole.
  static QString ElideName(const QString& name);

  // The animated badge while the video converts, else null.
  CGIFImage* Animation() const { return m_pAnimation; }
  const QImage& Thumbnail() const { return m_thumbnail; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void OnMessage(const Message& message) override;

 private:
  void LoadThumbnail();

  std::shared_ptr<VideoWndCore> m_pTile;
  VideoWndListPage* const m_pPage;
  QImage m_placeholder, m_check, m_converted, m_waiting;
  QImage m_thumbnail;
  CGIFImage* m_pAnimation = nullptr;
};

}  // namespace brisel
