#include <gtest/gtest.h>

#include <QKeyEvent>

#include "BuiltSkin.h"
#include "support/RecordingTarget.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CGIFImage.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CLeftMenuDlg.h"

namespace brisel {
namespace {

class CLeftMenuDlgTest : public ::testing::Test {
 protected:
  CLeftMenuDlgTest() {
    m_window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    m_window.setGeometry(100, 100, 972, 630);
    m_menu = new CLeftMenuDlg(m_main, &m_window);
    m_menu->resize(160, 630);
    m_menu->LayoutItems();
    m_window.show();
  }
  std::vector<intptr_t> Pages() const {
    std::vector<intptr_t> pages;
    for (const Message& m : m_main->Messages(WM_SWITCH_PAGE)) {
      EXPECT_EQ(m.lParam, 0);
      pages.push_back(m.wParam);
    }
    return pages;
  }
  void ClickConvert() { test::Click(m_menu, QPoint(80, 120)); }
  CKbcButton* Item(int id) { return m_menu->Button(id); }

  test::BuiltSkin m_skin;
  std::shared_ptr<test::RecordingTarget> m_main = test::RecordingTarget::Create();
  QWidget m_window;
  CLeftMenuDlg* m_menu;
};

TEST_F(CLeftMenuDlgTest, StartsOnTheSharePageWithThreeVisibleEntries) {
  EXPECT_TRUE(Item(IDC_MENU_SHARE)->IsChecked());
  EXPECT_FALSE(Item(IDC_MENU_SETTINGS)->IsChecked());
  EXPECT_FALSE(m_menu->IsConvertSelected());
  EXPECT_TRUE(Item(IDC_MENU_SHARE)->isVisible());
  EXPECT_TRUE(Item(IDC_MENU_SETTINGS)->isVisible());
  for (int hidden : {IDC_MENU_ABOUT, IDC_MENU_SECRET, IDC_MENU_BOTTOM})
    EXPECT_FALSE(Item(hidden)->isVisible()) << hidden;
  EXPECT_FALSE(m_menu->ConvertAnimation()->isVisible());
  EXPECT_EQ(Item(IDC_MENU_SHARE)->geometry(), QRect(0, 55, 160, 48));
  EXPECT_EQ(Item(IDC_MENU_SETTINGS)->geometry(), QRect(0, 151, 160, 48));
  EXPECT_EQ(Item(IDC_MENU_SETTINGS)->Caption(), "设置");
  EXPECT_TRUE(Pages().empty());
}

TEST_F(CLeftMenuDlgTest, EntriesSelectAndPostTheirPagesButTheSelectedOneNothing) {
  test::Click(Item(IDC_MENU_SHARE), QPoint(80, 20));  // already selected
  EXPECT_TRUE(Pages().empty());

  test::Click(Item(IDC_MENU_SETTINGS), QPoint(80, 20));
  EXPECT_TRUE(Item(IDC_MENU_SETTINGS)->IsChecked());
  EXPECT_FALSE(Item(IDC_MENU_SHARE)->IsChecked());

  ClickConvert();
  EXPECT_TRUE(m_menu->IsConvertSelected());
  EXPECT_FALSE(Item(IDC_MENU_SHARE)->IsChecked());
  EXPECT_FALSE(Item(IDC_MENU_SETTINGS)->IsChecked());
  ClickConvert();  // already selected

  test::Click(Item(IDC_MENU_SHARE), QPoint(80, 20));
  EXPECT_FALSE(m_menu->IsConvertSelected());
  EXPECT_TRUE(Item(IDC_MENU_SHARE)->IsChecked());
  test::Click(Item(IDC_MENU_SETTINGS), QPoint(80, 20));
  test::Click(Item(IDC_MENU_SETTINGS), QPoint(80, 20));

  EXPECT_EQ(Pages(),
            (std::vector<intptr_t>{PAGE_SETTINGS, PAGE_CONVERT_LIST, PAGE_SHARE, PAGE_SETTINGS}));
  EXPECT_EQ(m_main->Messages()[0].id, WM_USER + 251);
}

TEST_F(CLeftMenuDlgTest, ConvertEntryDrawsItsSelectedLookAndPointerOver) {
  QImage before = test::Grab(m_menu);
  test::SendMouse(m_menu, QEvent::MouseMove, QPoint(80, 120), Qt::NoButton, Qt::NoButton);
  EXPECT_TRUE(m_menu->IsConvertHover());
  EXPECT_EQ(m_menu->cursor().shape(), Qt::PointingHandCursor);
  test::SendMouse(m_menu, QEvent::MouseMove, QPoint(80, 300), Qt::NoButton, Qt::NoButton);
  EXPECT_FALSE(m_menu->IsConvertHover());
  EXPECT_EQ(m_menu->cursor().shape(), Qt::ArrowCursor);
  ClickConvert();
  QImage selected = test::Grab(m_menu);
  // The amber selection bar of the skin at the item's left edge, absent before.
  EXPECT_NE(selected.pixel(1, 127), before.pixel(1, 127));
  EXPECT_TRUE(test::HasPixelNear(selected, 0xFFFFFFFF, QRect(60, 110, 50, 34), 40));
}

TEST_F(CLeftMenuDlgTest, TheEmptyBandDragsTheMainWindowAndItemsDoNot) {
  const QPoint start = m_window.pos();
  test::SendMouse(m_menu, QEvent::MouseButtonPress, QPoint(80, 300));
  test::SendMouse(m_menu, QEvent::MouseMove, QPoint(120, 330), Qt::NoButton, Qt::LeftButton);
  test::SendMouse(m_menu, QEvent::MouseButtonRelease, QPoint(120, 330), Qt::LeftButton,
                  Qt::NoButton);
  EXPECT_EQ(m_window.pos(), start + QPoint(40, 30));

  const QPoint moved = m_window.pos();
  for (QPoint press : {QPoint(80, 120), QPoint(80, 630 - 20)}) {  // an item, the bottom strip
    test::SendMouse(m_menu, QEvent::MouseButtonPress, press);
    test::SendMouse(m_menu, QEvent::MouseMove, press + QPoint(30, 5), Qt::NoButton, Qt::LeftButton);
    test::SendMouse(m_menu, QEvent::MouseButtonRelease, press + QPoint(30, 5), Qt::LeftButton,
                    Qt::NoButton);
    EXPECT_EQ(m_window.pos(), moved);
  }
}

TEST_F(CLeftMenuDlgTest, EscapeAndEnterAreSwallowed) {
  for (int key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    press.ignore();
    QCoreApplication::sendEvent(m_menu, &press);
    EXPECT_TRUE(press.isAccepted()) << key;
  }
}

TEST_F(CLeftMenuDlgTest, ConvertingShowsTheAnimationInTheBandOfTheState) {
  m_menu->SetConverting(true);
  CGIFImage* gif = m_menu->ConvertAnimation();
  EXPECT_TRUE(gif->isVisible());
  EXPECT_EQ(gif->geometry(), QRect(20, 103, 48, 48));
  EXPECT_EQ(gif->DrawMode(), GIF_MODE_TOP_BAND);
  ClickConvert();
  EXPECT_EQ(gif->DrawMode(), GIF_MODE_LOWER_BAND);
  m_menu->SetConverting(false);
  EXPECT_FALSE(gif->isVisible());
}

// While converting, the entry keeps its selected (or hovered) band; only its icon gives way
// to the animation.
TEST_F(CLeftMenuDlgTest, ConvertingKeepsTheLookOfTheEntry) {
  ClickConvert();
  const QImage still = test::Grab(m_menu);
  m_menu->SetConverting(true);
  m_menu->ConvertAnimation()->hide();  // the band under the animation, without its frames
  const QImage converting = test::Grab(m_menu);
  for (QPoint p : {QPoint(1, 110), QPoint(22, 105), QPoint(66, 147), QPoint(150, 140)})
    EXPECT_TRUE(test::Near(converting.pixel(p), still.pixel(p), 2)) << p.x() << "," << p.y();
  // The static icon is gone from under the animation.
  int differing = 0;
  for (int y = 113; y < 141; ++y)
    for (int x = 34; x < 55; ++x) differing += converting.pixel(x, y) != still.pixel(x, y);
  EXPECT_GT(differing, 20);
  for (int y = 113; y < 141; ++y)
    EXPECT_TRUE(test::Near(converting.pixel(30, y), converting.pixel(60, y), 2)) << y;
}

}  // namespace
}  // namespace brisel
