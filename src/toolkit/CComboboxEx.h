#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>

#include "platform/Messages.h"

namespace brisel {

class CComboboxListboxDlg;
class CMyListBox;

// A drop-down selector whose list lives in a popup (CComboboxListboxDlg). A press opens the
// list below the control, a second press closes it; picking an item closes it and posts
// WM_IP_CHOSEN (WM_USER+302, wParam 0, lParam 0) to each notify window, which then reads
// GetCurSel() and PickedText(). Picked(index, text) is the same news as a signal.
// UI thread only.
class CComboboxEx : public QWidget {
  Q_OBJECT

 public:
  CComboboxEx(int id, QWidget* parent);

  void SetNotifyWindows(MessageTargetRef first, MessageTargetRef second);
  // 0 FFF8F8F8, 1 FFEAE9E6, 2 FFF2F3F3, 3 FFF1DDCA; other values fill nothing.
  void SetBackground(int kind);
  void SetDropHeight(int height);
  void SetImage(const QString& path);
  void SetText(const QString& text);
  const QString& Text() const { return m_strText; }
  void AddString(const QString& text);

  int GetCurSel() const { return m_nSel; }
  QString PickedText() const;
  bool IsDropped() const { return m_bDropped; }
  bool IsHover() const { return m_bHover; }
  CComboboxListboxDlg* Popup() const { return m_pPopup; }
  CMyListBox* ListBox() const;

  // The popup's messages (WM_COMBO_PICKED).
  void SendMessage(std::uint32_t message);
  void OnPopupHidden();

 signals:
  void Picked(int index, const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  MessageTargetRef m_notify[2];
  int m_nBackground = 0;
  bool m_bHover = false;
  int m_nSel = -1;
  int m_nDropHeight = 0;
  CComboboxListboxDlg* m_pPopup;
  QString m_strText;
  QImage m_image;
  bool m_bDropped = false;
};

}  // namespace brisel
