#include "toolkit/CMenuDlg.h"

#include <QMouseEvent>
#include <QPainter>

#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {

namespace {

Qt::WindowFlags FlagsOf(int kind) {
  Qt::WindowFlags common = Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint;
  if (kind == MENU_OUTPUT_FORMAT) return Qt::Popup | common;
  return Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus | common;
}

}  // namespace

CMenuDlg::CMenuDlg(int kind, MessageTargetRef owner, QWidget* parent)
    : QWidget(parent, FlagsOf(kind)), m_owner(std::move(owner)), m_nKind(kind) {
  setObjectName(QStringLiteral("MenuDlg%1").arg(kind));
  setAttribute(Qt::WA_ShowWithoutActivating, kind != MENU_OUTPUT_FORMAT);
  setAttribute(Qt::WA_NoMouseReplay);
  setMouseTracking(true);
  m_tick = LoadSkinImage(SkinPath("Comm\\Select.png"));
  hide();
}

int CMenuDlg::MenuWidth() const { return m_nKind == MENU_ADDRESSES ? 126 : 116; }

void CMenuDlg::SetTexts(const QStringList& texts) {
  m_texts = texts;
  resize(MenuWidth(), kRowHeight * static_cast<int>(texts.size()));
  SetItems();
}

void CMenuDlg::SetItems() {
  m_items.clear();
  for (int i = 0; i < m_texts.size(); ++i)
    m_items.push_back(
        {m_texts[i], QRect(QPoint(0, kRowHeight * i), QPoint(124, kRowHeight * i + 21))});
  update();
}

void CMenuDlg::SetCurrentText(const QString& text) {
  m_strCurrent = text;
  update();
}

void CMenuDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int w = width(), h = height();
  painter.fillRect(0, 0, 17, h, QColor::fromRgba(0xFFE9E9E9));
  painter.fillRect(17, 0, w - 17, h, QColor::fromRgba(skin::kLighter));
  const QFont font = SkinFont(12);
  for (int i = 0; i < m_texts.size(); ++i) {
    const int y = kRowHeight * i;
    const bool hovered = i + 1 == m_nHovered;
    const bool current = m_texts[i] == m_strCurrent;
    if (hovered) painter.fillRect(0, y, w, kRowHeight, QColor::fromRgba(skin::kHighlight));
    if (current)
      DrawImageCell(painter, QRect(2, y + 5, 12, 12), m_tick, QRect(0, hovered ? 12 : 0, 12, 12));
    DrawSkinText(painter, QRect(19, y + 3, 100, 20), m_texts[i], font,
                 hovered ? skin::kWhite : skin::kColumn);
  }
  painter.setPen(QColor::fromRgba(skin::kBorder));
  painter.drawRect(0, 0, w - 1, h - 1);
}

void CMenuDlg::mouseMoveEvent(QMouseEvent* event) {
  if (m_nKind == MENU_ADDRESSES) {
    int row = 0;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
      if (m_items[i].rect.contains(event->position().toPoint())) {
        row = static_cast<int>(i) + 1;
        break;
      }
    }
    if (row != m_nHovered) {
      m_nHovered = row;
      update();
    }
  }
  QWidget::mouseMoveEvent(event);
}

void CMenuDlg::leaveEvent(QEvent*) {
  if (m_nHovered != 0) {
    m_nHovered = 0;
    update();
  }
}

void CMenuDlg::mouseReleaseEvent(QMouseEvent* event) {
  for (MENU_ITEM_ST& item : m_items) {
    if (!item.rect.contains(event->position().toPoint())) continue;
    m_strCurrent = item.strText;
    m_strLastPicked = item.strText;
    item.bPicked = true;
    if (m_nKind == MENU_ADDRESSES)
      PostTo(m_owner, Message(WM_IP_CHOSEN, 1, 0, item.strText.toStdString()));
    else
      PostTo(m_owner, Message(WM_TASK_MODE, 2, 0, item.strText.toStdString()));
    hide();
    break;
  }
  QWidget::mouseReleaseEvent(event);
}

void CMenuDlg::hideEvent(QHideEvent*) {
  m_nHovered = 0;
  if (m_nKind == MENU_OUTPUT_FORMAT) emit ListClosed();
}

}  // namespace brisel
