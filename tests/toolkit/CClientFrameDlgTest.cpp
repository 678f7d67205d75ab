#include <gtest/gtest.h>

#include <QPainter>

#include "BuiltSkin.h"
#include "toolkit/CClientFrameDlg.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

TEST(CClientFrameDlg, ComposesItsFrameImageAt200Of255OfItsAlpha) {
  test::BuiltSkin skin;
  QWidget owner;
  CClientFrameDlg left(FRAME_LEFT, &owner);
  left.setGeometry(0, 0, 16, 630);
  left.ComposeFrame();
  QImage frame = LoadSkinImage(SkinPath("Comm\\Frame_Left.png"));
  ASSERT_FALSE(frame.isNull());
  const QImage& shown = left.Composed();
  ASSERT_EQ(shown.size(), QSize(16, 630));
  for (int x : {0, 8, 12, 15}) {
    int expected = qAlpha(frame.pixel(x, 300)) * CClientFrameDlg::kConstantAlpha / 255;
    EXPECT_NEAR(qAlpha(shown.pixel(x, 300)), expected, 1) << x;
  }
}

TEST(CClientFrameDlg, FullKindComposesTheWholeFrameAndOthersKindsTheirEdge) {
  test::BuiltSkin skin;
  QWidget owner;
  CClientFrameDlg full(FRAME_FULL, &owner);
  EXPECT_EQ(full.size(), QSize(1012, 670));
  EXPECT_EQ(full.Composed().size(), QSize(1012, 670));
  // Shadow on the ring, nothing where the window itself sits.
  EXPECT_GT(qAlpha(full.Composed().pixel(14, 300)), 0);
  EXPECT_EQ(qAlpha(full.Composed().pixel(500, 300)), 0);

  QImage top = LoadSkinImage(SkinPath("Comm\\Frame_Top.png"));
  QImage scaled = CClientFrameDlg::ComposeImage(FRAME_TOP, top, QSize(476, 16));
  EXPECT_EQ(scaled.size(), QSize(476, 16));
  EXPECT_GT(qAlpha(scaled.pixel(238, 15)), qAlpha(scaled.pixel(238, 2)));
  EXPECT_EQ(
      qAlpha(
          CClientFrameDlg::ComposeImage(static_cast<FrameKind>(7), top, QSize(10, 10)).pixel(5, 5)),
      0);
}

TEST(CClientFrameDlg, NeverTakesFocusOrInput) {
  QWidget owner;
  CClientFrameDlg frame(FRAME_RIGHT, &owner);
  EXPECT_TRUE(frame.windowFlags() & Qt::WindowTransparentForInput);
  EXPECT_TRUE(frame.windowFlags() & Qt::WindowDoesNotAcceptFocus);
  EXPECT_TRUE(frame.testAttribute(Qt::WA_ShowWithoutActivating));
  EXPECT_TRUE(frame.testAttribute(Qt::WA_TranslucentBackground));
  EXPECT_EQ(frame.focusPolicy(), Qt::NoFocus);
  EXPECT_TRUE(frame.isWindow());
  EXPECT_EQ(frame.parentWidget(), &owner);
}

TEST(CClientFrameDlg, FallbackLinesRunFromLightToTheDarkEdgeNextToTheOwner) {
  constexpr QRgb kDark = 0xFF0D202D, kLightest = 0xFFF0F1F1, kDarkestGrey = 0xFFB7BDC0;
  struct Case {
    FrameKind kind;
    QSize size;
    bool vertical;
    std::vector<std::pair<int, QRgb>> lines;  // offset -> colour
  };
  const Case cases[] = {
      {FRAME_LEFT,
       {16, 40},
       true,
       {{0, kLightest}, {7, kDarkestGrey}, {8, kDark}, {12, 0xFFF8F8F8}}},
      {FRAME_TOP, {40, 16}, false, {{0, kLightest}, {4, 0xFFE0E3E4}, {8, kDark}}},
      {FRAME_RIGHT,
       {16, 40},
       true,
       {{0, kDark}, {1, kDarkestGrey}, {7, 0xFFEDEEEE}, {8, kLightest}}},
      {FRAME_BOTTOM,
       {40, 16},
       false,
       {{0, kDark}, {1, kDarkestGrey}, {8, kLightest}, {9, 0xFFF8F8F8}}},
      {FRAME_FULL, {40, 40}, true, {{0, 0xFFF8F8F8}, {8, 0xFFF8F8F8}}},
  };
  for (const Case& c : cases) {
    QImage image(c.size, QImage::Format_ARGB32);
    QPainter painter(&image);
    CClientFrameDlg::PaintFallback(painter, c.kind, c.size);
    painter.end();
    for (auto [offset, colour] : c.lines) {
      QPoint at = c.vertical ? QPoint(offset, 20) : QPoint(20, offset);
      EXPECT_EQ(image.pixel(at), colour) << "kind " << c.kind << " offset " << offset;
    }
  }
}

}  // namespace
}  // namespace brisel
