#pragma once

#include <QColor>
#include <QEvent>
#include <QImage>
#include <QPoint>
#include <QRgb>
#include <QWidget>

#include <chrono>
#include <functional>
#include <vector>

// Input and pictures for UI tests on the offscreen platform: events are delivered straight
// to the widget (as the window system would after hit-testing), pictures are what the
// widget paints.
namespace brisel::test {

void SendEnter(QWidget* widget);
void SendLeave(QWidget* widget);
void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos,
               Qt::MouseButton button = Qt::LeftButton, Qt::MouseButtons buttons = Qt::LeftButton);
// Press and release at `pos`.
void Click(QWidget* widget, QPoint pos);
void SendKey(QWidget* widget, int key);

// The UI thread's message loop in a test. DeliverPosted hands out the events posted so far,
// and those they post in turn (a few rounds), without waiting. RunEventsUntil runs the loop
// until `condition` holds; false when it did not within `timeout`.
void DeliverPosted();
bool RunEventsUntil(const std::function<bool()>& condition,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20));

// What the widget paints, including its children, on a transparent picture (no window
// background: unpainted pixels stay transparent).
QImage Grab(QWidget* widget);
// True when the two colours differ by at most `tolerance` in every channel.
bool Near(QRgb a, QRgb b, int tolerance = 6);
// The pixel of `picture` at `at` drawn over the opaque `below` (source-over), as a skin
// picture with alpha shows on a background, whatever the picture's format.
QRgb Over(const QImage& picture, QPoint at, QRgb below);
// True when some pixel of `image` inside `area` is near `colour`.
bool HasPixelNear(const QImage& image, QRgb colour, const QRect& area, int tolerance = 10);

// Writes a vertical strip of solid cells of `cellSize` in the given colours (a synthetic
// skin image whose cells are told apart by colour); returns its path.
QString WriteStrip(const QString& path, QSize cellSize, const std::vector<QRgb>& colours);

}  // namespace brisel::test
