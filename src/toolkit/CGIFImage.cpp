#include "toolkit/CGIFImage.h"

#include <QMovie>
#include <QPainter>

#include "toolkit/SkinPainting.h"

namespace brisel {

CGIFImage::CGIFImage(int id, QWidget* parent) : QWidget(parent) {
  setObjectName(QString::number(id));
}

CGIFImage::~CGIFImage() {
  if (m_movie) m_movie->stop();
}

void CGIFImage::LoadGif(const QString& path) {
  if (m_movie) {
    m_movie->stop();
    delete m_movie.data();
  }
  m_movie = new QMovie(path, QByteArray(), this);
  m_movie->setCacheMode(QMovie::CacheAll);
  connect(m_movie, &QMovie::frameChanged, this, [this] { update(); });
  if (m_movie->isValid()) {
    // Starting decodes the first frame; a control not on the screen stops at once and so
    // keeps that frame to draw.
    m_movie->start();
    if (!isVisible()) m_movie->setPaused(true);
  }
  update();
}

void CGIFImage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_movie && m_movie->state() == QMovie::Paused) m_movie->setPaused(false);
}

void CGIFImage::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (m_movie && m_movie->state() == QMovie::Running) m_movie->setPaused(true);
}

void CGIFImage::SetDrawMode(int mode) {
  if (m_nMode == mode) return;
  m_nMode = mode;
  update();
}

bool CGIFImage::IsAnimating() const {
  return m_movie && m_movie->state() == QMovie::Running && m_movie->frameCount() > 1;
}

int CGIFImage::FrameCount() const { return m_movie ? m_movie->frameCount() : 0; }

int CGIFImage::CurrentFrame() const { return m_movie ? m_movie->currentFrameNumber() : -1; }

QRect CGIFImage::DrawArea(int mode, QSize clientSize) {
  switch (mode) {
    case GIF_MODE_BADGE:
      return QRect(0, 0, 50, 16);
    case GIF_MODE_TOP_BAND:
    case GIF_MODE_LOWER_BAND:
      return QRect(0, 0, 48, 48);
    default:
      return QRect(QPoint(0, 0), clientSize);
  }
}

QRect CGIFImage::SourceRect(int mode, QSize imageSize) {
  switch (mode) {
    case GIF_MODE_TOP_BAND:
      return QRect(0, 0, imageSize.width(), imageSize.height() / 2);
    case GIF_MODE_LOWER_BAND:
      return QRect(0, 48, imageSize.width(), imageSize.height() / 2);
    default:
      return QRect(QPoint(0, 0), imageSize);
  }
}

void CGIFImage::paintEvent(QPaintEvent*) {
  if (!m_movie || !m_movie->isValid()) return;
  QImage frame = m_movie->currentImage();
  if (frame.isNull()) return;
  QPainter painter(this);
  DrawImageCell(painter, DrawArea(m_nMode, size()), frame, SourceRect(m_nMode, frame.size()));
}

}  // namespace brisel
