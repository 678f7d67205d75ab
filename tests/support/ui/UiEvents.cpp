#include "support/ui/UiEvents.h"

#include <QCoreApplication>
#include <QDir>
#include <QEnterEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cstdlib>

#include "support/Sandbox.h"

namespace brisel::test {

void SendEnter(QWidget* widget) {
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), widget->mapToGlobal(QPointF(1, 1)));
  QCoreApplication::sendEvent(widget, &enter);
}

void SendLeave(QWidget* widget) {
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(widget, &leave);
}

void DeliverPosted() {
  for (int round = 0; round < 3; ++round) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

bool RunEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  return WaitFor(
      [&] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return condition();
      },
      timeout);
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget, QPoint pos) {
  SendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
  SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

void SendKey(QWidget* widget, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
}

QImage Grab(QWidget* widget) {
  QImage picture(widget->size(), QImage::Format_ARGB32);
  picture.fill(Qt::transparent);
  widget->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
  return picture;
}

bool Near(QRgb a, QRgb b, int tolerance) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

QRgb Over(const QImage& picture, QPoint at, QRgb below) {
  // pixel() of a premultiplied picture gives the premultiplied value; blend the straight one.
  const QRgb top = picture.pixelColor(at).rgba();
  const int a = qAlpha(top);
  auto mix = [&](int t, int b) { return (t * a + b * (255 - a) + 127) / 255; };
  return qRgb(mix(qRed(top), qRed(below)), mix(qGreen(top), qGreen(below)),
              mix(qBlue(top), qBlue(below)));
}

bool HasPixelNear(const QImage& image, QRgb colour, const QRect& area, int tolerance) {
  QRect inside = area.intersected(image.rect());
  for (int y = inside.top(); y <= inside.bottom(); ++y)
    for (int x = inside.left(); x <= inside.right(); ++x)
      if (Near(image.pixel(x, y), colour, tolerance)) return true;
  return false;
}

QString WriteStrip(const QString& path, QSize cellSize, const std::vector<QRgb>& colours) {
  QImage strip(cellSize.width(), cellSize.height() * static_cast<int>(colours.size()),
               QImage::Format_ARGB32);
  QPainter painter(&strip);
  for (std::size_t i = 0; i < colours.size(); ++i)
    painter.fillRect(0, cellSize.height() * static_cast<int>(i), cellSize.width(),
                     cellSize.height(), QColor::fromRgba(colours[i]));
  painter.end();
  QDir().mkpath(QFileInfo(path).absolutePath());
  strip.save(path);
  return path;
}

}  // namespace brisel::test
