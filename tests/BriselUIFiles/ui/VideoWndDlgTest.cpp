#include "BriselUIFiles/ui/VideoWndDlg.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "BriselUIFiles/VideoWndCore.h"
#include "support/SilentLibraryHost.h"
#include "support/ui/SkinSandbox.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CGIFImage.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

using namespace std::chrono_literals;

TEST(CVideoWndDlgNames, ElideNameShortensBasesOfNineOrMoreCharacters) {
  const struct {
    const char* name;
    const char* shown;
  } cases[] = {
      {"abcdefgh.mp4", "abcdefgh.mp4"},      // a base of 8: whole
      {"abcdefghi.mp4", "abcdefg...i.mp4"},  // a base of 9
      {"abcdefghij.mp4", "abcdefg...j.mp4"},
      {"abcdefghijklmnop", "abcdefghijklmnop"},  // no extension: whole
      {"a.b.c.defghijk.mkv", "a.b.c.d...k.mkv"},
      {"视频一二三四五六七八.avi", "视频一二三四五...八.avi"},
      {"😀😀😀😀😀.mp4", "😀😀😀...😀.mp4"},  // never half a character
  };
  for (const auto& c : cases)
    EXPECT_EQ(CVideoWndDlg::ElideName(QString::fromUtf8(c.name)), QString::fromUtf8(c.shown))
        << c.name;
}

// A tile window on a panel on a page, over a video file of the sandbox.
class CVideoWndDlgTest : public ::testing::Test {
 protected:
  CVideoWndDlgTest() {
    panel.setParent(&page);
    panel.resize(808, 522);
    page.show();  // the page on the screen: the converting badge animates only there
  }
  std::unique_ptr<CVideoWndDlg> Window(std::shared_ptr<VideoWndCore> core) {
    auto window = std::make_unique<CVideoWndDlg>(core, &pageCore, &panel);
    window->setEnabled(true);
    window->show();
    return window;
  }
  // The colour of `image` at `at`.
  static QRgb At(const QImage& image, QPoint at) { return image.pixel(at); }
  // A skin pixel as the tile shows it on its background.
  static QRgb Over(const QImage& skin, QPoint at) { return test::Over(skin, at, 0xFFF2F3F3); }

  test::SkinSandbox box;
  QWidget page;
  QWidget panel;
  // The share page as a tile sees it: counts the clicks it hears of.
  struct ClickCountingPage : test::SilentLibraryHost {
    void RefreshSelection() override { ++clicks; }
    int clicks = 0;
  } pageCore;
};

TEST_F(CVideoWndDlgTest, PaintsThumbnailBadgeAndTickWhereTheyBelong) {
  const QString jpeg = QString::fromStdString(box.Path("thumb.jpg"));
  QImage red(128, 72, QImage::Format_RGB32);
  red.fill(QColor(220, 30, 30));
  ASSERT_TRUE(red.save(jpeg, "JPG"));

  auto core = std::make_shared<VideoWndCore>(nullptr, box.Path("v.mp4"));
  auto window = Window(core);
  const QImage placeholder = LoadSkinImage(SkinPath("FP\\NoVideoSrc.png"));
  ASSERT_FALSE(placeholder.isNull());
  QImage picture = test::Grab(window.get());
  EXPECT_EQ(picture.size(), QSize(144, 116));
  EXPECT_TRUE(test::Near(At(picture, {8 + 64, 8 + 36}), Over(placeholder, {64, 36})))
      << "no thumbnail yet: the placeholder";
  EXPECT_TRUE(test::Near(At(picture, {2, 2}), 0xFFF2F3F3));

  // The thumbnail arrives as a posted repaint and is drawn into (8, 8) 128 x 72.
  core->SetThumbnail(jpeg.toStdString());
  QCoreApplication::processEvents();
  picture = test::Grab(window.get());
  for (QPoint p : {QPoint(8, 8), QPoint(135, 79), QPoint(72, 44)})
    EXPECT_TRUE(test::Near(At(picture, p), 0xFFDC1E1E, 16)) << p.x() << "," << p.y();
  EXPECT_TRUE(test::Near(At(picture, {7, 44}), 0xFFF2F3F3));
  EXPECT_TRUE(test::Near(At(picture, {72, 80}), 0xFFF2F3F3));

  // Badges by state: 3 converted, 1 waiting, 2 the animation, others none.
  const QImage converted = LoadSkinImage(SkinPath("FP\\Coned.png"));
  const QImage waiting = LoadSkinImage(SkinPath("FP\\Con_Wait.png"));
  const QPoint badge(86 + 2, 64 + 8);
  const QRgb under = At(test::Grab(window.get()), badge);  // the thumbnail
  core->SetState(VIDEO_CONVERTED);
  window->Refresh();
  EXPECT_TRUE(
      test::Near(At(test::Grab(window.get()), badge), test::Over(converted, {2, 8}, under)));
  core->SetState(VIDEO_QUEUED);
  window->Refresh();
  EXPECT_TRUE(test::Near(At(test::Grab(window.get()), badge), test::Over(waiting, {2, 8}, under)));
  core->SetState(VIDEO_CONVERTING);
  window->Refresh();
  ASSERT_NE(window->Animation(), nullptr);
  EXPECT_TRUE(window->Animation()->isVisibleTo(window.get()));
  EXPECT_EQ(window->Animation()->geometry(), QRect(86, 64, 50, 16));
  EXPECT_TRUE(window->Animation()->IsAnimating());
  core->SetState(VIDEO_IDLE);
  window->Refresh();
  EXPECT_EQ(window->Animation(), nullptr);
  EXPECT_TRUE(test::Near(At(test::Grab(window.get()), badge), 0xFFDC1E1E, 16))
      << "no badge: the thumbnail shows";

  // The check box cell: x 0 clear, x 28 ticked.
  const QImage check = LoadSkinImage(SkinPath("FP\\Check.png"));
  QPoint differs(-1, -1);
  for (int y = 0; y < 14 && differs.x() < 0; ++y)
    for (int x = 0; x < 14; ++x)
      if (!test::Near(check.pixel(x, y), check.pixel(28 + x, y), 40)) {
        differs = QPoint(x, y);
        break;
      }
  ASSERT_GE(differs.x(), 0);
  const QPoint cell = QPoint(8, 92) + differs;
  EXPECT_TRUE(test::Near(At(test::Grab(window.get()), cell), Over(check, differs)));
  core->SetChecked(true);
  window->Refresh();
  EXPECT_TRUE(test::Near(At(test::Grab(window.get()), cell), Over(check, differs + QPoint(28, 0))));
}

TEST_F(CVideoWndDlgTest, AMissingVideoWithoutThumbnailShowsNoPicture) {
  auto core = std::make_shared<VideoWndCore>(nullptr, "/nowhere/gone.mp4");
  core->StartProbe("/nowhere/gone.mp4");
  ASSERT_EQ(core->State(), VIDEO_MISSING);
  auto window = Window(core);
  EXPECT_TRUE(test::Near(At(test::Grab(window.get()), {72, 44}), 0xFFF2F3F3));
}

TEST_F(CVideoWndDlgTest, ClicksCountOnlyOnceTheProbeHasFinished) {
  const std::string video = box.WriteFile("videos/clip.mp4", "not really a video");
  auto core = std::make_shared<VideoWndCore>(nullptr, video);
  auto window = Window(core);
  test::Click(window.get(), QPoint(72, 44));
  EXPECT_FALSE(core->Checked());
  EXPECT_EQ(pageCore.clicks, 0);

  core->StartProbe(video);
  ASSERT_TRUE(core->WaitProbed(10s));
  ASSERT_TRUE(core->Ready());
  test::Click(window.get(), QPoint(72, 44));
  EXPECT_TRUE(core->Checked());
  EXPECT_EQ(pageCore.clicks, 1);
  test::Click(window.get(), QPoint(72, 44));
  EXPECT_FALSE(core->Checked());
  EXPECT_EQ(pageCore.clicks, 2);
  core->Shutdown();
}

}  // namespace
}  // namespace brisel
