#pragma once

#include <QImage>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "BriselUIFiles/VideoWndListHost.h"
#include "platform/Messages.h"

class QScrollBar;

namespace brisel {

class CKbcButton;
class CVideoWndDlg;
class ShareCatalogue;
class VideoWndListCore;
class VideoWndListPage;

// The video list panel: the scrolling grid of video tiles on the share page, five a row.
// It owns the library's core (VideoWndListCore) and a tile window per entry; it adds videos
// from its file dialog and from files dropped on it, and shows the hint picture and its own
// "添加" button while the library is empty. UI thread only.
class CVideoWndList : public QWidget, public VideoWndListHost {
  Q_OBJECT

 public:
  static constexpr int kAddButtonId = 1081;
  static constexpr int kColumns = 5;
  static constexpr int kLineStep = 25;  // pixels per scroll line and per wheel message

  // `page` (the share page's core) routes the library's requests and hears the changes made
  // through the panel and its tiles. The catalogue (may be null) and `page` must outlive the
  // panel.
  CVideoWndList(ShareCatalogue* catalogue, VideoWndListPage* page, QWidget* parent);
  ~CVideoWndList() override;

  VideoWndListCore& Core() { return *m_pCore; }

  // The hint rectangle (the client area's centre ± 190 × 120) and the add button under it.
  void PlaceHint();
  // Lays the tiles out in list order and updates the scroll range (see LayoutRect).
  void Relayout();
  // After the lists changed: the layout is redone at the top and the view scrolled back.
  void RelayoutKeepingScroll();

  // The file dialog ("请选择需要转换文件", several video files); refused with toast 6 when
  // the library is full.
  void AddFromDialog();
  // Files dropped on the panel.
  void AddDropped(const QStringList& paths);

  // Where a tile of index `index` is laid out (unscrolled).
  static QRect LayoutRect(int index);
  // The scroll range's maximum for `entries` tiles in a client area `clientHeight` high (the
  // minimum is 1, the page the client height).
  static int ScrollMaximum(int entries, int clientHeight);

  int ScrollPosition() const { return m_nScrollPos; }
  // Applies a scroll position (kept within the range) and moves the content.
  void ScrollTo(int position);
  QScrollBar* ScrollBar() const { return m_pScrollBar; }
  QRect HintRect() const { return m_rcHint; }
  CKbcButton* AddButton() const { return m_pAddButton; }
  // The tile windows in list order.
  std::vector<CVideoWndDlg*> TileWindows() const;

  // Replaces the file dialog (tests); an empty function restores it.
  using FileDialog = std::function<QStringList(QWidget* parent)>;
  static void SetFileDialogForTesting(FileDialog dialog);
  // Where the file dialog opens: the folder of the files last picked in this run, else the
  // user's videos folder, else the home folder.
  static QString FileDialogFolder();

  // VideoWndListHost
  int AskDuplicateName(const std::string& shownName) override;
  void OnTileCreated(const std::shared_ptr<VideoWndCore>& tile) override;
  void RepaintTile(const VIDEOINFO_ST& entry) override;
  void RepaintPanel() override;
  void RedoLayout() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int ClientWidth() const;
  void PlaceTiles();

  VideoWndListPage* const m_pPage;
  std::unique_ptr<VideoWndListCore> m_pCore;
  std::map<const VideoWndCore*, CVideoWndDlg*> m_windows;
  QScrollBar* m_pScrollBar = nullptr;
  CKbcButton* m_pAddButton = nullptr;
  QImage m_hint;
  QRect m_rcHint;
  int m_nScrollPos = 1;
  bool m_bInScroll = false;
};

}  // namespace brisel
