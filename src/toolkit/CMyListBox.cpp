#include "toolkit/CMyListBox.h"

#include <QMouseEvent>

#include "toolkit/CComboboxEx.h"
#include "toolkit/CComboboxListboxDlg.h"

namespace brisel {

CMyListBox::CMyListBox(int id, CComboboxListboxDlg* popup) : QListWidget(popup), m_pPopup(popup) {
  setObjectName(QString::number(id));
  setMouseTracking(true);
  setFrameShape(QFrame::NoFrame);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPalette colours = palette();
  colours.setColor(QPalette::Base, QColor::fromRgba(0xFFC8C8C8));  // below the last item
  setPalette(colours);
}

void CMyListBox::mouseMoveEvent(QMouseEvent* event) {
  if (QListWidgetItem* item = itemAt(event->position().toPoint())) setCurrentItem(item);
  QListWidget::mouseMoveEvent(event);
}

void CMyListBox::mouseReleaseEvent(QMouseEvent* event) {
  QListWidget::mouseReleaseEvent(event);
  if (count() > 0 && currentItem()) m_strPicked = currentItem()->text();
  m_pPopup->SendMessage(WM_COMBO_PICKED);
  m_pPopup->hide();
}

}  // namespace brisel
