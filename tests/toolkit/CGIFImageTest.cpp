#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>

#include "BuiltSkin.h"
#include "support/Sandbox.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CGIFImage.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

TEST(CGIFImage, DrawAreaAndSourceByMode) {
  struct Case {
    int mode;
    QRect area, source;
  };
  const QSize client(100, 40), image(48, 96);
  const Case cases[] = {
      {GIF_MODE_BADGE, QRect(0, 0, 50, 16), QRect(0, 0, 48, 96)},
      {GIF_MODE_TOP_BAND, QRect(0, 0, 48, 48), QRect(0, 0, 48, 48)},
      {GIF_MODE_LOWER_BAND, QRect(0, 0, 48, 48), QRect(0, 48, 48, 48)},
      {GIF_MODE_CLIENT, QRect(0, 0, 100, 40), QRect(0, 0, 48, 96)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CGIFImage::DrawArea(c.mode, client), c.area) << c.mode;
    EXPECT_EQ(CGIFImage::SourceRect(c.mode, image), c.source) << c.mode;
  }
}

TEST(CGIFImage, BadgeModeShowsTheWholeAnimationIn50By16AndAnimates) {
  test::BuiltSkin skin;
  QWidget host;
  host.show();
  CGIFImage gif(1055, &host);
  gif.setGeometry(0, 0, 120, 40);
  gif.SetDrawMode(GIF_MODE_BADGE);
  gif.LoadGif(SkinPath("FP\\Coning.gif"));
  gif.show();
  EXPECT_EQ(gif.objectName(), "1055");
  ASSERT_GT(gif.FrameCount(), 1);
  EXPECT_TRUE(gif.IsAnimating());
  QImage picture = test::Grab(&gif);
  EXPECT_GT(qAlpha(picture.pixel(25, 8)), 0);  // the badge
  EXPECT_EQ(qAlpha(picture.pixel(80, 8)), 0);  // nothing beyond 50 x 16
  EXPECT_EQ(qAlpha(picture.pixel(25, 30)), 0);
  const int first = gif.CurrentFrame();
  EXPECT_TRUE(
      test::RunEventsUntil([&] { return gif.CurrentFrame() != first; }, std::chrono::seconds(5)));
}

// An idle program must not wake for animations nobody sees: the left menu loads one that
// stays hidden, and the window may be hidden to the tray.
TEST(CGIFImage, AnimatesOnlyWhileOnTheScreen) {
  test::BuiltSkin skin;
  QWidget host;
  CGIFImage gif(1078, &host);
  gif.setGeometry(0, 0, 48, 48);
  gif.LoadGif(SkinPath("FP\\Coning.gif"));
  ASSERT_GT(gif.FrameCount(), 1);
  EXPECT_FALSE(gif.IsAnimating()) << "the host is not shown";
  EXPECT_FALSE(test::Grab(&gif).isNull());
  host.show();
  EXPECT_TRUE(gif.IsAnimating());
  gif.hide();
  EXPECT_FALSE(gif.IsAnimating()) << "the control hidden";
  gif.show();
  EXPECT_TRUE(gif.IsAnimating());
  host.hide();
  EXPECT_FALSE(gif.IsAnimating()) << "its window hidden";

  // The same animation on the screen is the clock: while it turns three frames, the hidden
  // one turns none.
  QWidget shownHost;
  CGIFImage clock(1079, &shownHost);
  clock.setGeometry(0, 0, 48, 48);
  clock.LoadGif(SkinPath("FP\\Coning.gif"));
  QSignalSpy hiddenFrames(gif.Movie(), &QMovie::frameChanged);
  QSignalSpy clockFrames(clock.Movie(), &QMovie::frameChanged);
  shownHost.show();
  ASSERT_TRUE(clock.IsAnimating());
  EXPECT_TRUE(
      test::RunEventsUntil([&] { return clockFrames.count() >= 3; }, std::chrono::seconds(5)));
  EXPECT_EQ(hiddenFrames.count(), 0);

  host.show();
  EXPECT_TRUE(gif.IsAnimating());
  EXPECT_TRUE(
      test::RunEventsUntil([&] { return hiddenFrames.count() > 0; }, std::chrono::seconds(5)))
      << "shown again, it turns on";
}

TEST(CGIFImage, SingleFrameIsDrawnOnceAndAMissingFileDrawsNothing) {
  test::Sandbox sandbox;
  // A 1 x 1 white GIF.
  static const unsigned char kGif[] = {0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01,
                                       0x00, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                                       0x00, 0x2C, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01,
                                       0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
  std::string path =
      sandbox.WriteFile("one.gif", std::string(reinterpret_cast<const char*>(kGif), sizeof kGif));
  QWidget host;
  CGIFImage gif(1009, &host);
  gif.resize(18, 18);
  gif.LoadGif(QString::fromStdString(path));
  EXPECT_EQ(gif.FrameCount(), 1);
  EXPECT_FALSE(gif.IsAnimating());
  EXPECT_EQ(test::Grab(&gif).pixel(9, 9), 0xFFFFFFFF);

  gif.LoadGif(QString::fromStdString(sandbox.Path("missing.gif")));
  EXPECT_FALSE(gif.IsAnimating());
  EXPECT_EQ(qAlpha(test::Grab(&gif).pixel(9, 9)), 0);
}

}  // namespace
}  // namespace brisel
