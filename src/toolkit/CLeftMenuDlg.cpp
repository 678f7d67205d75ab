#include "toolkit/CLeftMenuDlg.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "toolkit/CGIFImage.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {

CLeftMenuDlg::CLeftMenuDlg(MessageTargetRef mainWindow, QWidget* parent)
    : QWidget(parent), m_mainWindow(std::move(mainWindow)) {
  setObjectName(QStringLiteral("LeftMenuDlg"));
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  resize(kWidth, parent ? parent->height() : 630);
  OnInitDialog();
}

CKbcButton* CLeftMenuDlg::Button(int id) const {
  auto it = m_items.find(id);
  return it == m_items.end() ? nullptr : it->second;
}

void CLeftMenuDlg::OnInitDialog() {
  m_logo = LoadSkinImage(SkinPath("LeftMenu\\logo.png"));
  m_convertItem = LoadSkinImage(SkinPath("LeftMenu\\ConvertList.png"));
  m_pGif = new CGIFImage(IDC_MENU_CONVERT_GIF, this);
  m_pGif->LoadGif(SkinPath("LeftMenu\\ConvertList.gif"));
  m_pGif->SetDrawMode(GIF_MODE_TOP_BAND);
  m_pGif->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_pGif->hide();

  struct Item {
    int id;
    const char* image;
    const char* caption;
  };
  static const Item kItems[] = {
      {IDC_MENU_SHARE, "FP\\FlyScreen.png", "飞屏"},
      {IDC_MENU_ABOUT, "FP\\About.png", "关于"},
      {IDC_MENU_BOTTOM, "", ""},
      {IDC_MENU_SECRET, "LeftMenu\\Secret.png", "神秘"},
      {IDC_MENU_SETTINGS, "LeftMenu\\Setting.png", "设置"},
  };
  const QCursor hand = HandCursor();
  for (const Item& item : kItems) {
    auto* button = new CKbcButton(item.id, this, CKbcButton::Mode::CheckBox);
    button->SetImage(*item.image ? SkinPath(QString::fromUtf8(item.image)) : QString(),
                     QString::fromUtf8(item.caption));
    if (item.id != IDC_MENU_BOTTOM) {
      button->SetStyle(BUTTON_NAVIGATION);
      button->SetBackground(BACKGROUND_COLUMN);
      button->SetSize(kWidth, 48);
      button->SetHandCursor(hand);
    }
    connect(button, &CKbcButton::Clicked, this, &CLeftMenuDlg::OnItem);
    m_items[item.id] = button;
  }
  for (int id : {IDC_MENU_ABOUT, IDC_MENU_BOTTOM, IDC_MENU_SECRET}) Button(id)->hide();
}

void CLeftMenuDlg::LayoutItems() {
  const int h = height();
  Button(IDC_MENU_SHARE)->setGeometry(0, 55, kWidth, 48);
  Button(IDC_MENU_SETTINGS)->setGeometry(0, 151, kWidth, 48);
  Button(IDC_MENU_ABOUT)->setGeometry(0, 103, kWidth, 48);
  Button(IDC_MENU_SECRET)->setGeometry(0, 151, kWidth, 48);
  Button(IDC_MENU_BOTTOM)->setGeometry(15, h - 35, 24, 24);
  m_pGif->setGeometry(20, 103, 48, 48);
  Button(IDC_MENU_SHARE)->SetChecked(true);
  Button(IDC_MENU_ABOUT)->SetChecked(false);
  Button(IDC_MENU_SECRET)->SetChecked(false);
  update();
}

void CLeftMenuDlg::Post(int page) { PostTo(m_mainWindow, Message(WM_SWITCH_PAGE, page, 0)); }

void CLeftMenuDlg::Select(int id) {
  CKbcButton* chosen = Button(id);
  if (chosen->IsChecked()) return;
  m_bConvertSelected = false;
  for (int other : {IDC_MENU_SHARE, IDC_MENU_SETTINGS, IDC_MENU_ABOUT, IDC_MENU_SECRET})
    Button(other)->SetChecked(other == id);
  UpdateAnimationMode();
  update(kConvertItem);
  Post(id == IDC_MENU_SHARE ? PAGE_SHARE : PAGE_SETTINGS);
}

void CLeftMenuDlg::OnItem(int id) {
  switch (id) {
    case IDC_MENU_SHARE:
    case IDC_MENU_SETTINGS:
      Select(id);
      break;
    case IDC_MENU_ABOUT:
      Post(PAGE_ABOUT);
      break;
    case IDC_MENU_SECRET:
      Post(PAGE_SECRET);
      break;
    default:
      break;
  }
}

void CLeftMenuDlg::SetConverting(bool converting) {
  m_bConverting = converting;
  m_pGif->setVisible(converting);
  UpdateAnimationMode();
  update(kConvertItem);
}

void CLeftMenuDlg::UpdateAnimationMode() {
  m_pGif->SetDrawMode(m_bConvertSelected || m_bConvertHover ? GIF_MODE_LOWER_BAND
                                                            : GIF_MODE_TOP_BAND);
}

void CLeftMenuDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor::fromRgba(skin::kColumn));
  painter.fillRect(0, 0, 1, height(), QColor::fromRgba(0xFF343434));
  DrawImageCell(painter, QRect(0, 0, 160, 54), m_logo, QRect(0, 0, 160, 50));
  const int k = m_bConvertSelected ? 2 : m_bConvertHover ? 1 : 0;
  DrawImageCell(painter, kConvertItem, m_convertItem, QRect(0, k * 48, 160, 48));
  if (m_bConverting) {
    // The animation takes the static icon's place: the icon is painted over with the plain
    // band of the same cell (its column at x = 100), so a selected or hovered entry keeps its
    // look.
    const QRect under(20, 103, 48, 48);
    painter.fillRect(under, QColor::fromRgba(skin::kColumn));
    if (!m_convertItem.isNull())
      painter.drawImage(under.topLeft(), m_convertItem.copy(100, k * 48, 1, 48).scaled(48, 48));
  }
  DrawSkinText(painter, QRect(6, 103, 160, 48), QStringLiteral("转码"), SkinFontPoints(12),
               m_bConvertSelected ? skin::kWhite : skin::kNavText,
               Qt::AlignHCenter | Qt::AlignVCenter);
}

void CLeftMenuDlg::mouseMoveEvent(QMouseEvent* event) {
  if (m_drag.Move(event)) return;
  bool inside = kConvertItem.contains(event->position().toPoint());
  setCursor(inside ? Qt::PointingHandCursor : Qt::ArrowCursor);
  if (inside != m_bConvertHover) {
    m_bConvertHover = inside;
    UpdateAnimationMode();
    update(kConvertItem);
  }
  QWidget::mouseMoveEvent(event);
}

void CLeftMenuDlg::leaveEvent(QEvent*) {
  m_bConvertHover = false;
  UpdateAnimationMode();
  update(kConvertItem);
}

void CLeftMenuDlg::mousePressEvent(QMouseEvent* event) {
  const int y = static_cast<int>(event->position().y());
  if (event->button() == Qt::LeftButton && y > 199 && y < height() - 35)
    m_drag.Press(window(), event);
  // The menu decides where it moves the window; a press elsewhere on it (an entry) must not
  // reach the main window, which would start a move of its own.
  event->accept();
}

void CLeftMenuDlg::mouseReleaseEvent(QMouseEvent* event) {
  m_drag.Release();
  if (event->button() == Qt::LeftButton && kConvertItem.contains(event->position().toPoint())) {
    if (m_bConvertSelected) return;
    m_bConvertSelected = true;
    Button(IDC_MENU_SHARE)->SetChecked(false);
    Button(IDC_MENU_SETTINGS)->SetChecked(false);
    UpdateAnimationMode();
    Post(PAGE_CONVERT_LIST);
  }
  update(kConvertItem);
  QWidget::mouseReleaseEvent(event);
}

void CLeftMenuDlg::keyPressEvent(QKeyEvent* event) { event->accept(); }

bool CLeftMenuDlg::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape || key->key() == Qt::Key_Return ||
        key->key() == Qt::Key_Enter) {
      event->accept();
      return true;
    }
  }
  return QWidget::event(event);
}

}  // namespace brisel
