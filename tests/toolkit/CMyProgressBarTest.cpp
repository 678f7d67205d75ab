#include <gtest/gtest.h>

#include "support/ui/UiEvents.h"
#include "toolkit/CMyProgressBar.h"

namespace brisel {
namespace {

TEST(CMyProgressBar, FillFollowsThePositionInsideTheRange) {
  struct Case {
    int low, high, pos;
    int stored, fill;  // for a 142-pixel bar
  };
  const Case cases[] =
      {
          {0, 100, 0, 0, 0},       {0, 100, 50, 50, 71}, {0, 100, 100, 100, 142},
          {0, 100, 130, 100, 142}, {0, 100, -5, 0, 0},   {20, 40, 30, 30, 71},
          {0, 0, 0, 0, 0},  // an empty range fills nothing (no division by zero)
      };
  for (const Case& c : cases) {
    CMyProgressBar bar(1000, nullptr);
    bar.SetRange(c.low, c.high);
    bar.SetPos(c.pos);
    EXPECT_EQ(bar.GetPos(), c.stored);
    EXPECT_EQ(bar.FillWidth(142), c.fill) << c.low << ".." << c.high << " @" << c.pos;
  }
}

TEST(CMyProgressBar, PaintsBorderBackgroundAndFill) {
  CMyProgressBar bar(1000, nullptr);
  bar.resize(142, 8);
  bar.SetPos(50);
  QImage picture = test::Grab(&bar);
  EXPECT_EQ(picture.pixel(30, 4), 0xFFEE8E31);
  EXPECT_EQ(picture.pixel(110, 4), 0xFFF7F7F7);
  EXPECT_EQ(picture.pixel(141, 4), 0xFFD6D6D6);
  EXPECT_EQ(picture.pixel(110, 7), 0xFFD6D6D6);
}

}  // namespace
}  // namespace brisel
