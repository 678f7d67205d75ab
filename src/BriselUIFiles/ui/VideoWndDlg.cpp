#include "BriselUIFiles/ui/VideoWndDlg.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include "BriselUIFiles/VideoWndCore.h"
#include "BriselUIFiles/VideoWndListPage.h"
#include "toolkit/CGIFImage.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

constexpr QRgb kTileBackground = 0xFFF2F3F3;  // RGB(242, 243, 243)
constexpr QRgb kNameColour = 0xFF3E3D42;      // RGB(62, 61, 66)
constexpr int kNameSize = 12;
constexpr int kCheckCell = 14;
constexpr int kTickedCellX = 28;

// The 7 characters kept in front of "..." and the 9 a base must have to be shortened.
constexpr int kKeptCharacters = 7;
constexpr int kShortenedBase = 9;

}  // namespace

CVideoWndDlg::CVideoWndDlg(std::shared_ptr<VideoWndCore> tile, VideoWndListPage* page,
                           QWidget* panel)
    : QWidget(panel), m_pTile(std::move(tile)), m_pPage(page) {
  setObjectName(QStringLiteral("VideoWndDlg"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFixedSize(kWidth, kHeight);
  m_placeholder = LoadSkinImage(SkinPath("FP\\NoVideoSrc.png"));
  m_check = LoadSkinImage(SkinPath("FP\\Check.png"));
  m_converted = LoadSkinImage(SkinPath("FP\\Coned.png"));
  m_waiting = LoadSkinImage(SkinPath("FP\\Con_Wait.png"));
  m_pTile->SetRepaintTarget(Target());
  LoadThumbnail();
  setEnabled(false);
  hide();
  Refresh();
}

CVideoWndDlg::~CVideoWndDlg() = default;

QString CVideoWndDlg::ElideName(const QString& name) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) return name;
  const QString base = name.left(dot);
  if (base.size() < kShortenedBase) return name;
  // Counted in UTF-16 units, but a character outside the BMP is never cut in half.
  qsizetype front = kKeptCharacters;
  if (name.at(front - 1).isHighSurrogate()) --front;
  qsizetype last = 1;
  if (base.at(base.size() - 1).isLowSurrogate()) last = 2;
  return name.left(front) + QStringLiteral("...") + base.right(last) + name.mid(dot);
}

void CVideoWndDlg::LoadThumbnail() {
  // The file was written by the tile's thread, which then posted the repaint that got here.
  if (m_pTile->HasThumbnail()) {
    m_thumbnail = QImage(QString::fromStdString(m_pTile->ThumbnailPath()));
  } else {
    m_thumbnail = QImage();
  }
}

void CVideoWndDlg::Refresh() {
  if (m_pTile->State() == VIDEO_CONVERTING) {
    if (!m_pAnimation) {
      m_pAnimation = new CGIFImage(kAnimationId, this);
      m_pAnimation->LoadGif(SkinPath("FP\\Coning.gif"));
      m_pAnimation->SetDrawMode(GIF_MODE_BADGE);
      m_pAnimation->setAttribute(Qt::WA_TransparentForMouseEvents);
      m_pAnimation->setGeometry(kBadgeRect);
      m_pAnimation->show();
    }
  } else if (m_pAnimation) {
    // The animation runs only while it is shown: a grid of 70 tiles animates only the one
    // video being converted.
    delete m_pAnimation;
    m_pAnimation = nullptr;
  }
  update();
}

void CVideoWndDlg::OnMessage(const Message& message) {
  if (message.id == WM_TILE_REPAINT) {
    LoadThumbnail();
    Refresh();
  } else if (message.id == WM_TILE_MESSAGE_BOX) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("BriselVR助手"),
                                QString::fromStdString(message.text), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  }
}

void CVideoWndDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgba(kTileBackground));
  const int state = m_pTile->State();
  const QRect thumbnailSource(0, 0, kThumbnailRect.width(), kThumbnailRect.height());
  if (!m_pTile->HasThumbnail() && state != VIDEO_MISSING) {
    DrawImageCell(painter, kThumbnailRect, m_placeholder, thumbnailSource);
  } else {
    DrawImageCell(painter, kThumbnailRect, m_thumbnail, thumbnailSource);
  }
  const QRect badgeSource(0, 0, kBadgeRect.width(), kBadgeRect.height());
  if (state == VIDEO_CONVERTED) DrawImageCell(painter, kBadgeRect, m_converted, badgeSource);
  if (state == VIDEO_QUEUED) DrawImageCell(painter, kBadgeRect, m_waiting, badgeSource);
  DrawImageCell(painter, kCheckRect, m_check,
                QRect(m_pTile->Checked() ? kTickedCellX : 0, 0, kCheckCell, kCheckCell));
  DrawSkinText(painter, kNameRect, ElideName(QString::fromStdString(m_pTile->DisplayName())),
               SkinFont(kNameSize), kNameColour);
}

void CVideoWndDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !m_pTile->Ready()) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  m_pTile->SetChecked(!m_pTile->Checked());
  update();
  m_pPage->RefreshSelection();
  if (QWidget* page = parentWidget() ? parentWidget()->parentWidget() : nullptr) page->setFocus();
}

}  // namespace brisel
