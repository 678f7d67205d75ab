#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "support/Sandbox.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

// Cells of the synthetic strips, told apart by colour: normal, over, pressed, disabled.
constexpr QRgb kCell[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
enum State { NORMAL, OVER, PRESSED, DISABLED, CHECKED };

class CKbcButtonTest : public ::testing::Test {
 protected:
  QString Strip(QSize cell, int cells) {
    return test::WriteStrip(QString::fromStdString(m_sandbox.Path("strip.png")), cell,
                            std::vector<QRgb>(kCell, kCell + cells));
  }
  void Apply(CKbcButton& button, State state) {
    if (state == OVER) test::SendEnter(&button);
    if (state == PRESSED) button.setDown(true);
    if (state == DISABLED) button.SetDisabled(true);
    if (state == CHECKED) button.SetChecked(true);
  }
  test::Sandbox m_sandbox;
  QWidget m_host;
};

TEST_F(CKbcButtonTest, EachStyleDrawsTheCellOfItsState) {
  struct Case {
    int style;
    bool checkBox;
    int background;
    QSize button, cell;  // cell: the image's cell size (the strip's)
    int cells;
    QPoint sample;
    int expected[5];  // cell drawn for normal, over, pressed, disabled, checked (-1: n/a)
  };
  const Case cases[] = {
      {BUTTON_IMAGE_CAPTION, false, 0, {64, 30}, {64, 30}, 4, {60, 26}, {0, 1, 2, 3, -1}},
      {BUTTON_IMAGE_ONLY, false, 0, {18, 18}, {18, 18}, 4, {9, 9}, {0, 1, 2, 3, -1}},
      {BUTTON_DIALOG, false, 2, {90, 30}, {90, 30}, 4, {86, 26}, {0, 1, 2, 3, -1}},
      {BUTTON_SMALL_CAPTION, false, 1, {70, 26}, {90, 30}, 4, {66, 22}, {0, 1, 2, 3, -1}},
      {BUTTON_ICON_LINK, false, 8, {86, 16}, {16, 16}, 4, {8, 8}, {0, 1, 1, 3, -1}},
      {BUTTON_ICON_CAPTION, false, 6, {64, 30}, {64, 30}, 4, {60, 26}, {0, 1, 2, 3, -1}},
      {BUTTON_DIALOG, true, 1, {250, 18}, {14, 14}, 3, {9, 9}, {0, 1, 2, -1, 2}},
      {BUTTON_NAVIGATION, true, 4, {160, 48}, {160, 48}, 3, {155, 44}, {0, 1, 2, -1, 2}},
  };
  for (const Case& c : cases) {
    for (int state = NORMAL; state <= CHECKED; ++state) {
      if (c.expected[state] < 0) continue;
      SCOPED_TRACE(testing::Message() << "style " << c.style << (c.checkBox ? " check box" : "")
                                      << " state " << state);
      CKbcButton button(1001, &m_host,
                        c.checkBox ? CKbcButton::Mode::CheckBox : CKbcButton::Mode::Push);
      button.SetImage(Strip(c.cell, c.cells), QString());
      button.SetStyle(c.style);
      button.SetBackground(c.background);
      button.SetCellSize(c.cell.width(), c.cell.height());
      button.SetSize(c.button.width(), c.button.height());
      Apply(button, static_cast<State>(state));
      EXPECT_EQ(button.StateIndex(), state == DISABLED ? 0 : std::min(state, 2));
      EXPECT_TRUE(test::Near(test::Grab(&button).pixel(c.sample), kCell[c.expected[state]], 2));
    }
  }
}

TEST_F(CKbcButtonTest, DialogCaptionsOfOtherLengthsThanTwoOrFourAreNotDrawn) {
  struct Case {
    const char* caption;
    bool drawn;
  };
  const Case cases[] = {
      {"确认", true}, {"后台运行", true}, {"确认吗", false}, {"五个字符的", false}, {"", false}};
  for (bool disabled : {false, true}) {
    for (const Case& c : cases) {
      CKbcButton button(1046, &m_host);
      button.SetImage(Strip({90, 30}, 4), QString::fromUtf8(c.caption));
      button.SetStyle(BUTTON_DIALOG);
      button.SetSize(90, 30);
      button.SetDisabled(disabled);
      QImage picture = test::Grab(&button);
      const QRgb cell = kCell[disabled ? 3 : 0];
      bool onlyCell = true;
      for (int y = 0; y < 30 && onlyCell; ++y)
        for (int x = 0; x < 90 && onlyCell; ++x)
          onlyCell = test::Near(picture.pixel(x, y), cell, 2);
      EXPECT_EQ(!onlyCell, c.drawn) << c.caption << (disabled ? " disabled" : "");
    }
  }
}

TEST_F(CKbcButtonTest, CaptionColoursFollowTheState) {
  struct Case {
    int style;
    const char* caption;
    State state;
    QRgb colour;
  };
  const Case cases[] = {
      {BUTTON_TEXT_ONLY, "清空", NORMAL, skin::kGreyText},
      {BUTTON_TEXT_ONLY, "清空", OVER, skin::kAmber},
      {BUTTON_TEXT_ONLY, "清空", PRESSED, skin::kAmberPressed},
      {BUTTON_TEXT_ONLY, "完全退出", NORMAL, skin::kAmber},
      {BUTTON_TEXT_ONLY, "完全退出", PRESSED, skin::kAmberPressed},
      {BUTTON_TEXT_ONLY, "置顶", OVER, skin::kPinBlue},
      {BUTTON_TEXT_ONLY, "置顶", PRESSED, skin::kPinBlue},
      {BUTTON_DIALOG, "后台运行", NORMAL, skin::kWhite},
      {BUTTON_DIALOG, "确认", NORMAL, skin::kGreyText},
      {BUTTON_DIALOG, "确认", OVER, skin::kWhite},
      {BUTTON_DIALOG, "确认", DISABLED, skin::kDisabledText},
  };
  for (const Case& c : cases) {
    CKbcButton button(1054, &m_host);
    // A black strip, so the caption is the only colour in the picture.
    button.SetImage(test::WriteStrip(QString::fromStdString(m_sandbox.Path("black.png")), {90, 30},
                                     std::vector<QRgb>(4, 0xFF000000)),
                    QString::fromUtf8(c.caption));
    button.SetStyle(c.style);
    button.SetBackground(BACKGROUND_COLUMN);
    button.SetSize(90, 30);
    Apply(button, c.state);
    EXPECT_TRUE(test::HasPixelNear(test::Grab(&button), c.colour, QRect(0, 0, 90, 30), 12))
        << c.caption << " state " << c.state;
  }
}

TEST_F(CKbcButtonTest, ClicksCarryTheIdAndADisabledButtonSendsNone) {
  m_host.show();
  CKbcButton button(1027, &m_host);
  button.SetSize(70, 26);
  EXPECT_EQ(button.objectName(), "1027");
  QSignalSpy clicks(&button, &CKbcButton::Clicked);
  QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  ASSERT_EQ(clicks.count(), 1);
  EXPECT_EQ(clicks.takeFirst().at(0).toInt(), 1027);
  button.SetDisabled(true);
  QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  QTest::mouseDClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(clicks.count(), 0);
  EXPECT_FALSE(button.isDown());
  button.SetDisabled(false);
  QTest::mouseClick(&button, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
  EXPECT_EQ(clicks.count(), 1);
}

TEST_F(CKbcButtonTest, LeavingOrHidingNeverLeavesTheOverLook) {
  m_host.show();
  CKbcButton button(1001, &m_host);
  button.SetImage(Strip({64, 30}, 4), QString());
  button.SetSize(64, 30);
  button.show();
  test::SendEnter(&button);
  EXPECT_EQ(test::Grab(&button).pixel(60, 26), kCell[1]);
  test::SendLeave(&button);
  EXPECT_EQ(test::Grab(&button).pixel(60, 26), kCell[0]);
  test::SendEnter(&button);
  button.hide();
  button.show();
  EXPECT_FALSE(button.IsHover());
  EXPECT_EQ(test::Grab(&button).pixel(60, 26), kCell[0]);
}

TEST_F(CKbcButtonTest, CheckBoxesNeverToggleThemselves) {
  m_host.show();
  CKbcButton box(1031, &m_host, CKbcButton::Mode::CheckBox);
  box.SetImage(Strip({14, 14}, 3), QStringLiteral("有任务时电脑不休眠(推荐开启)"));
  box.SetBackground(BACKGROUND_PAGE);
  box.SetSize(250, 18);
  QSignalSpy clicks(&box, &CKbcButton::Clicked);
  QTest::mousePress(&box, Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
  EXPECT_EQ(test::Grab(&box).pixel(9, 9), kCell[2]);  // held down: drawn selected
  QTest::mouseRelease(&box, Qt::LeftButton, Qt::NoModifier, QPoint(8, 8));
  EXPECT_EQ(clicks.count(), 1);
  EXPECT_FALSE(box.IsChecked());
  EXPECT_NE(test::Grab(&box).pixel(9, 9), kCell[2]);

  CKbcButton push(1027, &m_host);
  push.SetChecked(true);  // only check boxes take a tick
  EXPECT_FALSE(push.IsChecked());
}

TEST_F(CKbcButtonTest, SetSizeKeepsTheCornerAndTheHandCursorShows) {
  CKbcButton button(1005, &m_host);
  button.move(30, 40);
  button.SetSize(18, 18);
  EXPECT_EQ(button.geometry(), QRect(30, 40, 18, 18));
  button.SetHandCursor(HandCursor());
  EXPECT_EQ(button.cursor().hotSpot(), QPoint(6, 0));
  // Without an image a button draws only its background and caption.
  button.SetBackground(BACKGROUND_TITLE);
  EXPECT_EQ(test::Grab(&button).pixel(9, 9), 0xFF57565B);
}

}  // namespace
}  // namespace brisel
