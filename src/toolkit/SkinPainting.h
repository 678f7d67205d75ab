#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QRgb>
#include <QString>

// How every skinned window paints: Qt's backing store is the off-screen buffer (a widget
// paints the whole of its area each time, then the buffer is copied to the screen), text
// uses the family "微软雅黑" at the given pixel sizes, images are drawn cell by cell from
// their state strips, and colours come from this palette (all opaque).

namespace brisel {

namespace skin {
inline constexpr QRgb kPage = 0xFFF2F3F3;          // light page background
inline constexpr QRgb kLighter = 0xFFF8F8F8;       // frames, menus, drop-downs
inline constexpr QRgb kTitleBand = 0xFF57565B;     // dark title band
inline constexpr QRgb kColumn = 0xFF3E3D42;        // dark navigation column, dark text
inline constexpr QRgb kCheckLabel = 0xFF3E3D40;    // check-box label text
inline constexpr QRgb kGreyText = 0xFF767676;      // plain grey text
inline constexpr QRgb kNavText = 0xFF99989C;       // navigation item text, unselected
inline constexpr QRgb kDisabledText = 0xFFC0C0C0;  // disabled text
inline constexpr QRgb kAmber = 0xFFF19410;         // accent, pointer over
inline constexpr QRgb kAmberPressed = 0xFFFF7A10;  // accent, pressed
inline constexpr QRgb kHighlight = 0xFFEE8E31;     // highlighted menu row, progress fill
inline constexpr QRgb kPinBlue = 0xFF509BF7;       // the "置顶" button
inline constexpr QRgb kDivider = 0xFFD9D9D9;       // thin divider lines
inline constexpr QRgb kBorder = 0xFFD6D6D6;        // thin borders
inline constexpr QRgb kWhite = 0xFFFFFFFF;
}  // namespace skin

// "微软雅黑" (Microsoft YaHei), regular, at a pixel size; where it is not installed the
// installed CJK families take over (WenQuanYi Micro Hei, Noto Sans CJK), so Chinese text
// always renders.
QFont SkinFont(int pixelSize);
// The same family at a point size, for the places that give points.
QFont SkinFontPoints(int points);

// Draws text into a box, clipped to it and wrapped at word boundaries like a layout
// rectangle; `align` is near/near (top left) for labels, centre/centre for captions.
void DrawSkinText(QPainter& painter, const QRect& box, const QString& text, const QFont& font,
                  QRgb colour, Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop);

// Draws the source rectangle of an image (one state cell) scaled into `target`. A null image
// draws nothing.
void DrawImageCell(QPainter& painter, const QRect& target, const QImage& image,
                   const QRect& source);

}  // namespace brisel
