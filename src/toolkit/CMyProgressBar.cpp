#include "toolkit/CMyProgressBar.h"

#include <QPainter>

#include <algorithm>

#include "toolkit/SkinPainting.h"

namespace brisel {

CMyProgressBar::CMyProgressBar(int id, QWidget* parent) : QWidget(parent) {
  setObjectName(QString::number(id));
}

void CMyProgressBar::SetRange(int low, int high) {
  m_nLow = low;
  m_nHigh = high;
  SetPos(m_nPos);
}

void CMyProgressBar::SetPos(int position) {
  m_nPos = std::clamp(position, std::min(m_nLow, m_nHigh), std::max(m_nLow, m_nHigh));
  update();
}

int CMyProgressBar::FillWidth(int width) const {
  if (m_nHigh <= m_nLow) return 0;  // an empty range fills nothing
  return static_cast<int>(static_cast<long long>(m_nPos - m_nLow) * width / (m_nHigh - m_nLow));
}

void CMyProgressBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgba(0xFFF7F7F7));
  painter.setPen(QColor::fromRgba(skin::kBorder));
  painter.drawRect(0, 0, width() - 1, height() - 1);
  painter.fillRect(0, 0, FillWidth(width()), height(), QColor::fromRgba(skin::kHighlight));
}

}  // namespace brisel
