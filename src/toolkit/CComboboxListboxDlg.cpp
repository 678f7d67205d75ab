#include "toolkit/CComboboxListboxDlg.h"

#include "toolkit/CComboboxEx.h"
#include "toolkit/CMyListBox.h"

namespace brisel {

CComboboxListboxDlg::CComboboxListboxDlg(CComboboxEx* combo)
    : QWidget(combo, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      m_pCombo(combo),
      m_pList(new CMyListBox(1008, this)) {
  setObjectName(QStringLiteral("ComboboxListbox"));
  setAttribute(Qt::WA_NoMouseReplay);
}

void CComboboxListboxDlg::SendMessage(std::uint32_t message) { m_pCombo->SendMessage(message); }

void CComboboxListboxDlg::resizeEvent(QResizeEvent*) { m_pList->setGeometry(rect()); }

void CComboboxListboxDlg::hideEvent(QHideEvent*) { m_pCombo->OnPopupHidden(); }

}  // namespace brisel
