#pragma once

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QString>

namespace brisel {

// <resource folder>/SkinRes/<relative> (beside the executable, or the installed share
// folder). Relative names may use "\" or "/" ("Comm\Close.png"). Built fresh on every call,
// so a changed program folder is honoured at once.
QString SkinPath(const QString& relative);

// The image of a skin file. A missing or unreadable file gives a null image: drawing it does
// nothing and its size reads as 0, so a window without its skin still opens and works.
QImage LoadSkinImage(const QString& path);

// The application icon (resource 128) in all its sizes.
QIcon AppIcon();

// The application's pointing-hand cursor (resource 139), hot spot (6, 0).
QCursor HandCursor();

}  // namespace brisel
