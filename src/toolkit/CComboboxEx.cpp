#include "toolkit/CComboboxEx.h"

#include <QMouseEvent>
#include <QPainter>

#include "toolkit/CComboboxListboxDlg.h"
#include "toolkit/CMyListBox.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {

CComboboxEx::CComboboxEx(int id, QWidget* parent)
    : QWidget(parent), m_pPopup(new CComboboxListboxDlg(this)) {
  setObjectName(QString::number(id));
}

void CComboboxEx::SetNotifyWindows(MessageTargetRef first, MessageTargetRef second) {
  m_notify[0] = std::move(first);
  m_notify[1] = std::move(second);
}

void CComboboxEx::SetBackground(int kind) {
  m_nBackground = kind;
  update();
}

void CComboboxEx::SetDropHeight(int height) { m_nDropHeight = height; }

void CComboboxEx::SetImage(const QString& path) {
  m_image = LoadSkinImage(path);
  update();
}

void CComboboxEx::SetText(const QString& text) {
  m_strText = text;
  update();
}

void CComboboxEx::AddString(const QString& text) {
  auto* item = new QListWidgetItem(text, ListBox());
  item->setBackground(Qt::white);
}

QString CComboboxEx::PickedText() const { return ListBox()->PickedText(); }

CMyListBox* CComboboxEx::ListBox() const { return m_pPopup->ListBox(); }

void CComboboxEx::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  if (m_pPopup->isVisible()) {
    m_pPopup->hide();
  } else if (m_nDropHeight > 0) {  // a list of no height is not shown at all
    m_pPopup->setGeometry(
        QRect(mapToGlobal(QPoint(0, height())), QSize(width(), m_nDropHeight + 1)));
    m_pPopup->show();
    m_bDropped = true;
  }
  update();
}

void CComboboxEx::OnPopupHidden() {
  m_bDropped = false;
  update();
}

void CComboboxEx::SendMessage(std::uint32_t message) {
  if (message != WM_COMBO_PICKED) return;
  m_bDropped = false;
  update();
  m_nSel = ListBox()->currentRow();
  for (const MessageTargetRef& target : m_notify) PostTo(target, Message(WM_IP_CHOSEN, 0, 0));
  emit Picked(m_nSel, PickedText());
}

void CComboboxEx::enterEvent(QEnterEvent*) {
  m_bHover = true;
  update();
}

void CComboboxEx::leaveEvent(QEvent*) {
  m_bHover = false;
  update();
}

void CComboboxEx::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  static constexpr QRgb kFills[4] = {0xFFF8F8F8, 0xFFEAE9E6, 0xFFF2F3F3, 0xFFF1DDCA};
  if (m_nBackground >= 0 && m_nBackground < 4)
    painter.fillRect(rect(), QColor::fromRgba(kFills[m_nBackground]));
  if (m_bHover && !m_bDropped && !m_image.isNull()) {
    DrawImageCell(painter, QRect(0, 0, m_image.width(), m_image.height() / 2), m_image,
                  QRect(0, 0, m_image.width(), 22));
  }
  QRect box = m_nBackground == 0 ? QRect(0, 3, 100, 15) : QRect(20, 3, 100, 15);
  DrawSkinText(painter, box, m_strText, SkinFont(12), skin::kAmber);
}

}  // namespace brisel
