#include "toolkit/SkinPainting.h"

#include <QStringList>

namespace brisel {

namespace {

QFont BaseFont() {
  QFont font;
  font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                    QStringLiteral("Noto Sans CJK"), QStringLiteral("Source Han Sans SC")});
  font.setWeight(QFont::Normal);
  font.setStyle(QFont::StyleNormal);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

}  // namespace

QFont SkinFont(int pixelSize) {
  QFont font = BaseFont();
  font.setPixelSize(pixelSize);
  return font;
}

QFont SkinFontPoints(int points) {
  QFont font = BaseFont();
  font.setPointSize(points);
  return font;
}

void DrawSkinText(QPainter& painter, const QRect& box, const QString& text, const QFont& font,
                  QRgb colour, Qt::Alignment align) {
  if (text.isEmpty() || box.isEmpty()) return;
  painter.save();
  painter.setFont(font);
  painter.setPen(QColor::fromRgba(colour));
  painter.setClipRect(box, Qt::IntersectClip);
  painter.drawText(box, static_cast<int>(align) | Qt::TextWordWrap, text);
  painter.restore();
}

void DrawImageCell(QPainter& painter, const QRect& target, const QImage& image,
                   const QRect& source) {
  if (image.isNull() || target.isEmpty() || source.isEmpty()) return;
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, target.size() != source.size());
  painter.drawImage(target, image, source);
  painter.restore();
}

}  // namespace brisel
