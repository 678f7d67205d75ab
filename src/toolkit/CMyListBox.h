#pragma once

#include <QListWidget>
#include <QString>

namespace brisel {

class CComboboxListboxDlg;

// The list inside a drop-down's popup: the item under the pointer is selected as the pointer
// moves, and releasing the button picks it (the popup is told and hidden). UI thread only.
class CMyListBox : public QListWidget {
  Q_OBJECT

 public:
  CMyListBox(int id, CComboboxListboxDlg* popup);

  const QString& PickedText() const { return m_strPicked; }

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString m_strPicked;
  CComboboxListboxDlg* m_pPopup;
};

}  // namespace brisel
