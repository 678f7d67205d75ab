#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

#include <map>

#include "platform/Messages.h"
#include "toolkit/WindowDrag.h"

namespace brisel {

class CGIFImage;
class CKbcButton;

// Control ids of the left menu.
enum LeftMenuControl : int {
  IDC_MENU_SHARE = 1011,     // "飞屏"
  IDC_MENU_ABOUT = 1014,     // "关于" (hidden)
  IDC_MENU_BOTTOM = 1015,    // small bottom control (hidden)
  IDC_MENU_SECRET = 1070,    // "神秘" (hidden)
  IDC_MENU_SETTINGS = 1076,  // "设置"
  IDC_MENU_CONVERT_GIF = 1078,
};

// Pages the menu asks the main window for (WM_SWITCH_PAGE wParam).
enum MenuPage : int {
  PAGE_SHARE = 1,
  PAGE_ABOUT = 2,
  PAGE_CONVERT_LIST = 3,
  PAGE_SETTINGS = 4,
  PAGE_SECRET = 99,
};

// The dark left column of the main window: the logo and the entries "飞屏", "转码" (painted
// by the menu itself) and "设置". Choosing an entry selects it and posts WM_SWITCH_PAGE
// (WM_USER+251, wParam = page, lParam 0) to the main window; choosing the selected entry
// posts nothing. The empty band below the entries drags the main window. Esc and Enter are
// swallowed. UI thread only.
class CLeftMenuDlg : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 160;
  static inline const QRect kConvertItem{0, 103, 160, 48};

  CLeftMenuDlg(MessageTargetRef mainWindow, QWidget* parent);

  // Places the items, selects "飞屏" and repaints.
  void LayoutItems();

  // While set, the conversion entry shows its animation instead of its static icon.
  void SetConverting(bool converting);
  bool Converting() const { return m_bConverting; }

  bool IsConvertSelected() const { return m_bConvertSelected; }
  bool IsConvertHover() const { return m_bConvertHover; }
  CKbcButton* Button(int id) const;
  CGIFImage* ConvertAnimation() const { return m_pGif; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void OnInitDialog();
  void OnItem(int id);
  void Select(int id);
  void UpdateAnimationMode();
  void Post(int page);

  MessageTargetRef m_mainWindow;
  std::map<int, CKbcButton*> m_items;
  QImage m_logo, m_convertItem;
  CGIFImage* m_pGif = nullptr;
  bool m_bConvertSelected = false;
  bool m_bConvertHover = false;
  bool m_bConverting = false;
  WindowDrag m_drag;
};

}  // namespace brisel
