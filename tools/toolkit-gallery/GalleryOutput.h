#pragma once

#include <QImage>
#include <QRgb>
#include <QString>
#include <QWidget>

#include <utility>
#include <vector>

namespace brisel {
class ShadowSet;
}

// What every picture of the gallery goes through: the output folder, and windows drawn with
// their shadow windows on a desktop colour, as the compositor shows them.
namespace gallery {

inline constexpr QRgb kDesktop = 0xFFDADDE2;  // backdrop the windows are shown on

void SetOutputFolder(const QString& folder);
const QString& OutputFolder();
// Writes <output folder>/<name>.png and counts it.
void Save(const QImage& image, const QString& name);
int Written();

// `window` with its shadow windows, `margin` pixels of desktop around it.
QImage WithShadows(QWidget* window, brisel::ShadowSet& shadows, int margin = 28);
// Several windows, each with its shadow set (or none), drawn in order over the area of the
// first one plus `margin`.
QImage OnDesktop(const std::vector<std::pair<QWidget*, brisel::ShadowSet*>>& windows, int margin);

}  // namespace gallery
