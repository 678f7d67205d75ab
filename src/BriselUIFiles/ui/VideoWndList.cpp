#include "BriselUIFiles/ui/VideoWndList.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>

#include "BriselUIFiles/VideoWndCore.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "BriselUIFiles/ui/VideoWndDlg.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CNotifyMsgDlg.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

constexpr QRgb kPanelBackground = 0xFFF2F3F3;  // RGB(242, 243, 243)

// The grid: columns 158 apart from x 14; row 0 at y 18, row r at 32 + 130·r.
constexpr int kFirstLeft = 14, kColumnStep = 158;
constexpr int kFirstTop = 18, kRowTop = 32, kRowStep = 130;
// From 20 videos on, the scroll range is 134 pixels per row.
constexpr int kScrollRowsFrom = 20, kScrollRowHeight = 134;
// The hint picture's source and its rectangle's half sizes; the add button under it.
constexpr int kHintWidth = 380, kHintHeight = 240;
constexpr QPoint kAddButtonOffset{5, 66};

const char* const kDialogTitle = "请选择需要转换文件";
const char* const kDialogFilter = "视频文件 (*.mp4 *.mkv *.flv *.rmvb *.wmv *.avi *.mpeg *.3gp)";

CVideoWndList::FileDialog g_fileDialog;
// The folder of the files last picked in this run.
QString g_lastFolder;

QStringList RunFileDialog(QWidget* parent) {
  QFileDialog dialog(parent, QString::fromUtf8(kDialogTitle), CVideoWndList::FileDialogFolder(),
                     QString::fromUtf8(kDialogFilter));
  dialog.setObjectName(QStringLiteral("VideoFileDialog"));
  dialog.setFileMode(QFileDialog::ExistingFiles);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

std::vector<std::string> ToPaths(const QStringList& files) {
  std::vector<std::string> paths;
  for (const QString& f : files) paths.push_back(f.toStdString());
  return paths;
}

}  // namespace

void CVideoWndList::SetFileDialogForTesting(FileDialog dialog) { g_fileDialog = std::move(dialog); }

QString CVideoWndList::FileDialogFolder() {
  if (!g_lastFolder.isEmpty() && QFileInfo(g_lastFolder).isDir()) return g_lastFolder;
  const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
  if (!videos.isEmpty() && QFileInfo(videos).isDir()) return videos;
  return QDir::homePath();
}

CVideoWndList::CVideoWndList(ShareCatalogue* catalogue, VideoWndListPage* page, QWidget* parent)
    : QWidget(parent), m_pPage(page) {
  setObjectName(QStringLiteral("VideoWndList"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  m_pCore = std::make_unique<VideoWndListCore>(catalogue, this, page);

  m_pScrollBar = new QScrollBar(Qt::Vertical, this);
  m_pScrollBar->setObjectName(QStringLiteral("VideoWndListScrollBar"));
  m_pScrollBar->setSingleStep(kLineStep);
  m_pScrollBar->setRange(1, 1);
  m_pScrollBar->hide();
  connect(m_pScrollBar, &QScrollBar::valueChanged, this, [this](int value) {
    if (!m_bInScroll) ScrollTo(value);
  });

  m_pAddButton = new CKbcButton(kAddButtonId, this);
  m_pAddButton->SetImage(SkinPath("Comm\\AddFile.png"), QStringLiteral("添加"));
  m_pAddButton->SetSize(64, 30);
  m_pAddButton->SetHandCursor(HandCursor());
  connect(m_pAddButton, &CKbcButton::Clicked, this, [this] {
    AddFromDialog();
    m_pPage->RefreshSelection();
  });
  m_hint = LoadSkinImage(SkinPath("Comm\\Add.png"));
  m_pCore->LoadRelations();
}

CVideoWndList::~CVideoWndList() {
  // Every probe, grab and the prober end before the tiles and their windows go.
  m_pCore->Shutdown();
}

QRect CVideoWndList::LayoutRect(int index) {
  const int column = index % kColumns, row = index / kColumns;
  const int left = kFirstLeft + kColumnStep * column;
  const int top = row == 0 ? kFirstTop : kRowTop + kRowStep * row;
  return QRect(left, top, CVideoWndDlg::kWidth, CVideoWndDlg::kHeight);
}

int CVideoWndList::ScrollMaximum(int entries, int clientHeight) {
  const int rows = (entries + kColumns - 1) / kColumns;
  const int range = entries >= kScrollRowsFrom ? rows * kScrollRowHeight : clientHeight;
  // The range never ends above the last row's bottom edge, so every tile can be scrolled
  // into view: four rows (16 to 19 videos) reach 16 pixels below a 522-pixel view.
  const int bottom = entries == 0 ? 0 : LayoutRect(entries - 1).bottom() + 1;
  return std::max(range, bottom);
}

int CVideoWndList::ClientWidth() const {
  return width() - (m_pScrollBar->isVisible() ? m_pScrollBar->width() : 0);
}

void CVideoWndList::PlaceHint() {
  const QPoint centre(ClientWidth() / 2, height() / 2);
  m_rcHint =
      QRect(centre.x() - kHintWidth / 2, centre.y() - kHintHeight / 2, kHintWidth, kHintHeight);
  m_pAddButton->setGeometry(QRect(centre + kAddButtonOffset, QSize(64, 30)));
}

void CVideoWndList::resizeEvent(QResizeEvent*) {
  const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_pScrollBar);
  m_pScrollBar->setGeometry(width() - barWidth, 0, barWidth, height());
  PlaceHint();
  RelayoutKeepingScroll();
}

std::vector<CVideoWndDlg*> CVideoWndList::TileWindows() const {
  std::vector<CVideoWndDlg*> windows;
  for (const VIDEOINFO_ST& e : m_pCore->Entries()) {
    auto it = m_windows.find(e.m_pTile.get());
    if (it != m_windows.end()) windows.push_back(it->second);
  }
  return windows;
}

void CVideoWndList::Relayout() {
  const int entries = static_cast<int>(m_pCore->EntryCount());
  m_pAddButton->setVisible(entries == 0);

  const int page = height();
  const int last = std::max(1, ScrollMaximum(entries, page) - page + 1);
  m_bInScroll = true;
  m_pScrollBar->setRange(1, last);
  m_pScrollBar->setPageStep(page);
  m_pScrollBar->setVisible(last > 1);
  m_nScrollPos = std::clamp(m_nScrollPos, 1, last);
  m_pScrollBar->setValue(m_nScrollPos);
  m_bInScroll = false;

  int index = 0;
  for (const VIDEOINFO_ST& e : m_pCore->Entries()) {
    const QRect rect = LayoutRect(index++);
    m_pCore->SetTileRect(e.m_pTile.get(),
                         {rect.left(), rect.top(), rect.right() + 1, rect.bottom() + 1});
    auto it = m_windows.find(e.m_pTile.get());
    if (it == m_windows.end()) continue;
    it->second->setEnabled(true);
    it->second->show();
  }
  PlaceTiles();
  if (entries == 0) update(m_rcHint);
}

void CVideoWndList::PlaceTiles() {
  int index = 0;
  for (const VIDEOINFO_ST& e : m_pCore->Entries()) {
    const QRect rect = LayoutRect(index++);
    auto it = m_windows.find(e.m_pTile.get());
    if (it != m_windows.end()) it->second->move(rect.left(), rect.top() - (m_nScrollPos - 1));
  }
}

void CVideoWndList::RelayoutKeepingScroll() {
  const int noted = m_nScrollPos;
  m_nScrollPos = 1;
  Relayout();
  ScrollTo(noted);
}

void CVideoWndList::ScrollTo(int position) {
  position = std::clamp(position, m_pScrollBar->minimum(), m_pScrollBar->maximum());
  m_bInScroll = true;
  m_pScrollBar->setValue(position);
  m_bInScroll = false;
  if (position == m_nScrollPos) return;
  m_nScrollPos = position;
  PlaceTiles();
}

void CVideoWndList::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) {
    event->ignore();
    return;
  }
  // One line per wheel message, whatever its delta.
  ScrollTo(m_nScrollPos + (delta > 0 ? -kLineStep : kLineStep));
  event->accept();
}

void CVideoWndList::mouseReleaseEvent(QMouseEvent* event) {
  setFocus();
  QWidget::mouseReleaseEvent(event);
}

void CVideoWndList::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CVideoWndList::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CVideoWndList::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths.push_back(url.toLocalFile());
  event->acceptProposedAction();
  if (!paths.isEmpty()) AddDropped(paths);
}

void CVideoWndList::AddDropped(const QStringList& paths) {
  m_pCore->AddDropped(ToPaths(paths));
  m_pPage->RefreshSelection();
}

void CVideoWndList::AddFromDialog() {
  if (m_pCore->RefuseDialog()) return;
  if (QWidget* page = parentWidget()) page->setFocus();
  const QStringList files = g_fileDialog ? g_fileDialog(this) : RunFileDialog(this);
  if (!files.isEmpty()) g_lastFolder = QFileInfo(files.front()).absolutePath();
  m_pCore->AddFromDialog(ToPaths(files));
}

void CVideoWndList::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgba(kPanelBackground));
  if (m_pCore->EntryCount() == 0)
    DrawImageCell(painter, m_rcHint, m_hint, QRect(0, 0, kHintWidth, kHintHeight));
}

// ---------------------------------------------------------------------------------------------
// What the library asks of the panel

int CVideoWndList::AskDuplicateName(const std::string& shownName) {
  CNotifyMsgDlg prompt(this, NOTIFY_DUPLICATE_NAME, QString::fromStdString(shownName));
  prompt.exec();
  return prompt.GetNotifyResult();
}

void CVideoWndList::OnTileCreated(const std::shared_ptr<VideoWndCore>& tile) {
  m_windows[tile.get()] = new CVideoWndDlg(tile, m_pPage, this);
}

void CVideoWndList::RepaintTile(const VIDEOINFO_ST& entry) {
  auto it = m_windows.find(entry.m_pTile.get());
  if (it != m_windows.end()) it->second->Refresh();
}

void CVideoWndList::RepaintPanel() { update(); }

void CVideoWndList::RedoLayout() {
  // The windows of tiles that left the library go with them (their threads have ended).
  for (auto it = m_windows.begin(); it != m_windows.end();) {
    const bool kept =
        std::any_of(m_pCore->Entries().begin(), m_pCore->Entries().end(),
                    [&](const VIDEOINFO_ST& e) { return e.m_pTile.get() == it->first; });
    if (kept) {
      ++it;
    } else {
      delete it->second;
      it = m_windows.erase(it);
    }
  }
  RelayoutKeepingScroll();
  update();
}

}  // namespace brisel
