#include <gtest/gtest.h>

#include <QSignalSpy>

#include "BuiltSkin.h"
#include "support/RecordingTarget.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CMenuDlg.h"
#include "toolkit/SkinPainting.h"

namespace brisel {
namespace {

class CMenuDlgTest : public ::testing::Test {
 protected:
  test::BuiltSkin m_skin;
  std::shared_ptr<test::RecordingTarget> m_owner = test::RecordingTarget::Create();
  QWidget m_page;
};

TEST_F(CMenuDlgTest, SizeIsTheKindsWidthAnd22PixelsPerRow) {
  struct Case {
    int kind;
    QStringList texts;
    QSize size;
  };
  const Case cases[] = {
      {MENU_ADDRESSES, {"192.168.1.2"}, {126, 22}},
      {MENU_ADDRESSES, {"192.168.1.2", "10.0.0.7", "172.16.0.3"}, {126, 66}},
      {MENU_OUTPUT_FORMAT, {"3D-1080P", "3D-2K", "360°-1080P", "360°-2K"}, {116, 88}},
  };
  for (const Case& c : cases) {
    CMenuDlg menu(c.kind, m_owner, &m_page);
    menu.SetTexts(c.texts);
    EXPECT_EQ(menu.size(), c.size);
    ASSERT_EQ(menu.Items().size(), static_cast<std::size_t>(c.texts.size()));
    EXPECT_EQ(menu.Items().back().rect.bottom() + 1, c.size.height());
    EXPECT_FALSE(menu.isVisible());
  }
}

TEST_F(CMenuDlgTest, PickingTheSecondRowPostsTheSecondText) {
  struct Case {
    int kind;
    QStringList texts;
    std::uint32_t message;
    intptr_t wParam;
  };
  const Case cases[] = {
      {MENU_ADDRESSES, {"192.168.1.2", "10.0.0.7"}, WM_USER + 302, 1},
      {MENU_OUTPUT_FORMAT, {"3D-1080P", "3D-2K", "360°-1080P"}, WM_USER + 303, 2},
  };
  for (const Case& c : cases) {
    m_owner->Clear();
    CMenuDlg menu(c.kind, m_owner, &m_page);
    menu.SetTexts(c.texts);
    menu.SetCurrentText(c.texts[0]);
    menu.show();
    test::SendMouse(&menu, QEvent::MouseButtonRelease, QPoint(40, 30), Qt::LeftButton,
                    Qt::NoButton);
    auto posted = m_owner->Messages();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].id, c.message);
    EXPECT_EQ(posted[0].wParam, c.wParam);
    EXPECT_EQ(QString::fromStdString(posted[0].text), c.texts[1]);
    EXPECT_FALSE(menu.isVisible());
    // The tick moves to the picked row.
    EXPECT_EQ(menu.CurrentText(), c.texts[1]);
    EXPECT_TRUE(menu.Items()[1].bPicked);
    // A release below every row picks nothing.
    menu.resize(menu.width(), menu.height() + 30);
    menu.show();
    test::SendMouse(&menu, QEvent::MouseButtonRelease, QPoint(40, menu.height() - 5),
                    Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(m_owner->Count(), 1u);
  }
}

TEST_F(CMenuDlgTest, AddressListHighlightsTheRowUnderThePointerAndFormatsDoNot) {
  CMenuDlg addresses(MENU_ADDRESSES, m_owner, &m_page);
  addresses.SetTexts({"192.168.1.2", "10.0.0.7"});
  addresses.SetCurrentText("10.0.0.7");
  test::SendMouse(&addresses, QEvent::MouseMove, QPoint(60, 30), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(addresses.HoveredRow(), 2);
  QImage picture = test::Grab(&addresses);
  EXPECT_EQ(picture.pixel(110, 24), skin::kHighlight);
  EXPECT_EQ(picture.pixel(110, 4), skin::kLighter);
  EXPECT_EQ(picture.pixel(8, 4), 0xFFE9E9E9);  // the tick strip
  EXPECT_EQ(picture.pixel(0, 10), skin::kBorder);
  // The tick of the current row, white on the highlight.
  EXPECT_TRUE(test::HasPixelNear(picture, 0xFFFFFFFF, QRect(2, 27, 12, 12), 30));
  test::SendLeave(&addresses);
  EXPECT_EQ(addresses.HoveredRow(), 0);

  CMenuDlg formats(MENU_OUTPUT_FORMAT, m_owner, &m_page);
  formats.SetTexts({"3D-1080P", "3D-2K"});
  test::SendMouse(&formats, QEvent::MouseMove, QPoint(60, 30), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(formats.HoveredRow(), 0);
}

TEST_F(CMenuDlgTest, FormatListTellsItsOwnerWhenItCloses) {
  CMenuDlg formats(MENU_OUTPUT_FORMAT, m_owner, &m_page);
  formats.SetTexts({"3D-1080P", "3D-2K"});
  QSignalSpy closed(&formats, &CMenuDlg::ListClosed);
  formats.show();
  formats.hide();  // a click elsewhere closes a popup
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(formats.windowType(), Qt::Popup);
  CMenuDlg addresses(MENU_ADDRESSES, m_owner, &m_page);
  EXPECT_EQ(addresses.windowType(), Qt::Tool);
}

}  // namespace
}  // namespace brisel
