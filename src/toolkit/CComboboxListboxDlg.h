#pragma once

#include <QWidget>

#include <cstdint>

namespace brisel {

class CComboboxEx;
class CMyListBox;

// The popup of a CComboboxEx: one list (control 1008). It is a popup window, so a click
// anywhere else closes it, and that closing click is not passed on (a second click on the
// combo closes the list instead of opening it again). UI thread only.
class CComboboxListboxDlg : public QWidget {
  Q_OBJECT

 public:
  explicit CComboboxListboxDlg(CComboboxEx* combo);

  CMyListBox* ListBox() const { return m_pList; }
  // Forwards the list's private messages (WM_COMBO_PICKED) to the combo.
  void SendMessage(std::uint32_t message);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  CComboboxEx* m_pCombo;
  CMyListBox* m_pList;
};

}  // namespace brisel
