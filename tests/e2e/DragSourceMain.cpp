// brisel_drag_source: a small window that drags files, as a file manager would, for the
// end-to-end test's drop.
//   brisel_drag_source FILE...
// Shows a 120 x 60 window titled "brisel drag source" at (0, 600); pressing the left button
// in it starts a drag of the files as file URLs (text/uri-list) over the X drag-and-drop
// protocol. Prints "dropped" (accepted) or "not dropped" when the drag ends, and quits 10 s
// later: the target asks for the files only after the drop, and the source must still be
// there to answer.
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace {

class DragSource : public QLabel {
 public:
  explicit DragSource(QList<QUrl> urls) : QLabel(QStringLiteral("drag me")), m_urls(urls) {
    setWindowTitle(QStringLiteral("brisel drag source"));
    setAlignment(Qt::AlignCenter);
    setFixedSize(120, 60);
    move(0, 600);
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() != Qt::LeftButton) return;
    auto* drag = new QDrag(this);
    auto* data = new QMimeData;
    data->setUrls(m_urls);
    drag->setMimeData(data);
    const Qt::DropAction action = drag->exec(Qt::CopyAction);
    std::printf("%s\n", action == Qt::IgnoreAction ? "not dropped" : "dropped");
    std::fflush(stdout);
    QTimer::singleShot(10000, qApp, &QApplication::quit);
  }

 private:
  QList<QUrl> m_urls;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QList<QUrl> urls;
  for (int i = 1; i < argc; ++i) urls << QUrl::fromLocalFile(QString::fromLocal8Bit(argv[i]));
  DragSource source(urls);
  source.show();
  return app.exec();
}
