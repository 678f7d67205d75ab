#include "GalleryOutput.h"

#include <QPainter>

#include <cstdio>

#include "toolkit/CClientFrameDlg.h"
#include "toolkit/ShadowSet.h"

namespace gallery {
namespace {

QString g_out;
int g_written = 0;

}  // namespace

void SetOutputFolder(const QString& folder) { g_out = folder; }

const QString& OutputFolder() { return g_out; }

void Save(const QImage& image, const QString& name) {
  QString path = g_out + "/" + name + ".png";
  if (image.save(path)) {
    ++g_written;
  } else {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  }
}

int Written() { return g_written; }

QImage OnDesktop(const std::vector<std::pair<QWidget*, brisel::ShadowSet*>>& windows, int margin) {
  if (windows.empty()) return QImage();
  QWidget* first = windows.front().first;
  QRect area = QRect(first->mapToGlobal(QPoint(0, 0)), first->size())
                   .adjusted(-margin, -margin, margin, margin);
  QImage out(area.size(), QImage::Format_ARGB32_Premultiplied);
  out.fill(QColor::fromRgba(kDesktop));
  QPainter p(&out);
  for (const auto& [window, shadows] : windows) {
    if (shadows) {
      for (int i = 0; i < 4; ++i) {
        brisel::CClientFrameDlg* frame = shadows->Shadow(i);
        if (frame) p.drawImage(frame->geometry().topLeft() - area.topLeft(), frame->Composed());
      }
    }
    QImage picture = window->grab().toImage();
    // A window with a shape shows only its shape.
    if (!window->mask().isEmpty()) {
      QImage shaped(picture.size(), QImage::Format_ARGB32_Premultiplied);
      shaped.fill(Qt::transparent);
      QPainter s(&shaped);
      s.setClipRegion(window->mask());
      s.drawImage(0, 0, picture);
      s.end();
      picture = shaped;
    }
    p.drawImage(window->mapToGlobal(QPoint(0, 0)) - area.topLeft(), picture);
  }
  return out;
}

QImage WithShadows(QWidget* window, brisel::ShadowSet& shadows, int margin) {
  return OnDesktop({{window, &shadows}}, margin);
}

}  // namespace gallery
