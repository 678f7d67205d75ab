#include "toolkit/CClientFrameDlg.h"

#include <QPainter>

#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {

namespace {

constexpr const char* kFrameFiles[5] = {"Comm\\Frame_Left.png", "Comm\\Frame_Top.png",
                                        "Comm\\Frame_Right.png", "Comm\\Frame_Bottom.png",
                                        "Comm\\Frame_Full.png"};

QRect SourceRect(FrameKind kind) {
  switch (kind) {
    case FRAME_LEFT:
    case FRAME_RIGHT:
      return QRect(0, 0, 16, 630);
    case FRAME_TOP:
    case FRAME_BOTTOM:
      return QRect(0, 0, 1004, 16);
    case FRAME_FULL:
      return QRect(0, 0, 1012, 670);
  }
  return QRect();
}

}  // namespace

CClientFrameDlg::CClientFrameDlg(FrameKind kind, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                         Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      m_kind(kind) {
  setObjectName(QStringLiteral("ClientFrame%1").arg(static_cast<int>(kind)));
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  OnInitDialog();
}

void CClientFrameDlg::OnInitDialog() {
  setWindowIcon(AppIcon());
  setGeometry(0, 0, 1012, 670);
  for (int i = 0; i < 5; ++i) m_images[i] = LoadSkinImage(SkinPath(kFrameFiles[i]));
  ComposeFrame();
}

QImage CClientFrameDlg::ComposeImage(FrameKind kind, const QImage& frame, QSize size) {
  QImage out(size, QImage::Format_ARGB32_Premultiplied);
  out.fill(Qt::transparent);
  QRect source = SourceRect(kind);
  if (source.isNull() || frame.isNull()) return out;
  QPainter painter(&out);
  painter.setOpacity(kConstantAlpha / 255.0);
  DrawImageCell(painter, out.rect(), frame, source);
  return out;
}

void CClientFrameDlg::ComposeFrame() {
  int index = static_cast<int>(m_kind) - 1;
  QImage frame = (index >= 0 && index < 5) ? m_images[index] : QImage();
  m_composed = ComposeImage(m_kind, frame, size());
  m_bLayered = true;
  update();
}

void CClientFrameDlg::PaintFallback(QPainter& painter, FrameKind kind, QSize size) {
  static constexpr QRgb kLines[9] = {0xFFF0F1F1, 0xFFEDEEEE, 0xFFEAECEC, 0xFFE8EAEA, 0xFFE0E3E4,
                                     0xFFD7D9DB, 0xFFC8CCCF, 0xFFB7BDC0, 0xFF0D202D};
  painter.fillRect(QRect(QPoint(0, 0), size), QColor::fromRgba(skin::kLighter));
  auto vertical = [&](int x, QRgb c) {
    painter.fillRect(x, 0, 1, size.height(), QColor::fromRgba(c));
  };
  auto horizontal = [&](int y, QRgb c) {
    painter.fillRect(0, y, size.width(), 1, QColor::fromRgba(c));
  };
  switch (kind) {
    case FRAME_LEFT:
      for (int i = 0; i < 9; ++i) vertical(i, kLines[i]);
      break;
    case FRAME_TOP:
      for (int i = 0; i < 9; ++i) horizontal(i, kLines[i]);
      break;
    case FRAME_RIGHT:  // dark edge next to the owner, then back to light
      vertical(0, kLines[8]);
      for (int i = 1; i <= 7; ++i) vertical(i, kLines[8 - i]);
      vertical(8, kLines[0]);
      break;
    case FRAME_BOTTOM:
      horizontal(0, kLines[8]);
      for (int i = 1; i <= 8; ++i) horizontal(i, kLines[8 - i]);
      break;
    case FRAME_FULL:
      break;
  }
}

void CClientFrameDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (m_bLayered) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, m_composed);
  } else {
    PaintFallback(painter, m_kind, size());
  }
}

void CClientFrameDlg::resizeEvent(QResizeEvent*) {
  if (m_composed.size() != size()) ComposeFrame();
}

}  // namespace brisel
