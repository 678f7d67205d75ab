#include "toolkit/SkinResources.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QPixmap>

#include <mutex>

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
  // Many windows draw the same files (every tile of a full grid the same four), so each file
  // is decoded once while it stays as it is on disk; copies of a QImage share its pixels.
  struct Decoded {
    QDateTime modified;
    qint64 size = 0;
    QImage image;
  };
  static std::mutex mutex;
  static QHash<QString, Decoded> decoded;
  const QFileInfo file(path);
  const QDateTime modified = file.lastModified();
  const qint64 size = file.size();
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = decoded.constFind(path);
    if (it != decoded.constEnd() && it->modified == modified && it->size == size) return it->image;
  }
  QImage image;
  if (!image.load(path)) return QImage();
  image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  std::lock_guard<std::mutex> lock(mutex);
  decoded.insert(path, Decoded{modified, size, image});
  return image;
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
