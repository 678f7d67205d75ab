#include "toolkit/SkinResources.h"

#include <QPixmap>

#include "platform/ProgramFolder.h"

// Resources of a static library are registered explicitly; the macro must be used outside
// any namespace.
static void InitToolkitResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(toolkit);
    return true;
  }();
  (void)done;
}

namespace brisel {

QString SkinPath(const QString& relative) {
  QString name = relative;
  name.replace('\\', '/');
  return QString::fromStdString(GetResourceFolder()) + "/SkinRes/" + name;
}

QImage LoadSkinImage(const QString& path) {
  QImage image;
  if (!image.load(path)) return QImage();
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QIcon AppIcon() {
  InitToolkitResources();
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QString(":/icons/BriselVR-%1.png").arg(size), QSize(size, size));
  return icon;
}

QCursor HandCursor() {
  InitToolkitResources();
  return QCursor(QPixmap(":/cursors/Hand.png"), 6, 0);
}

}  // namespace brisel
