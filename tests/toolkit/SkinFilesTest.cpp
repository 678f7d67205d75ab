// The committed skin (drawn by tools/skin/make_skin.py): every file the windows open, with
// the size of its state strip.

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QMovie>

namespace {

const QString kResources = QStringLiteral(BRISEL_SOURCE_DIR "/resources");

struct SkinFile {
  const char* path;
  int width, height;
};

// Width x height of the whole file: one cell times the number of cells in the strip.
const SkinFile kFiles[] = {
    {"Comm/Frame_Left.png", 16, 630},
    {"Comm/Frame_Right.png", 16, 630},
    {"Comm/Frame_Top.png", 1004, 16},
    {"Comm/Frame_Bottom.png", 1004, 16},
    {"Comm/Frame_Full.png", 1012, 670},
    {"Comm/1.png", 315, 80},
    {"Comm/Warning.png", 24, 24},
    {"Comm/Select.png", 12, 24},
    {"Comm/Min.png", 18, 72},
    {"Comm/Close.png", 18, 72},
    {"Comm/Add.png", 380, 240},
    {"Comm/AddFile.png", 64, 120},
    {"Comm/Rect.png", 972, 630},
    {"LeftMenu/logo.png", 160, 50},
    {"LeftMenu/Setting.png", 160, 144},
    {"LeftMenu/Secret.png", 160, 144},
    {"LeftMenu/ConvertList.png", 160, 144},
    {"LeftMenu/ConvertList.gif", 48, 96},
    {"FP/FlyScreen.png", 160, 144},
    {"FP/About.png", 160, 144},
    {"FP/AddFile.png", 64, 120},
    {"FP/Convert.png", 64, 120},
    {"FP/Delete.png", 64, 120},
    {"FP/Group_a.png", 64, 120},
    {"FP/Group_b.png", 64, 120},
    {"FP/IPState.png", 36, 18},
    {"FP/IPCombo.png", 126, 44},
    {"FP/ComboBox.png", 116, 48},
    {"FP/ConvertList.png", 18, 72},
    {"FP/ConvertList.gif", 18, 18},
    {"FP/BK.png", 144, 116},
    {"FP/SelectBK.png", 144, 116},
    {"FP/Check.png", 42, 14},
    {"FP/NoVideoSrc.png", 128, 72},
    {"FP/Coned.png", 50, 16},
    {"FP/Coning.png", 50, 16},
    {"FP/Con_Wait.png", 50, 16},
    {"FP/Lose.png", 50, 16},
    {"FP/Coning.gif", 50, 16},
    {"Msg/Button.png", 90, 120},
    {"Msg/RunHide.png", 90, 120},
    {"Msg/Check.png", 14, 42},
    {"Msg/Close.png", 24, 96},
    {"Setting/Check.png", 14, 42},
    {"Setting/Radio.png", 14, 42},
    {"Setting/Button.png", 90, 120},
    {"Convert/CleanBtn.png", 16, 32},
    {"Convert/Check.png", 14, 42},
    {"Convert/NoVideoSrc.png", 128, 72},
    {"Convert/Converted.png", 18, 18},
    {"Convert/Error.png", 14, 14},
    {"Convert/Tip.png", 13, 13},
    {"Convert/Start.png", 24, 72},
    {"Convert/Pause.png", 24, 72},
    {"Convert/Delete.png", 24, 72},
    {"Convert/Reset.png", 24, 72},
    {"Convert/OpenPath.png", 24, 72},
    {"Convert/Close.png", 64, 120},
    {"Update/Update.png", 460, 140},
    {"Update/BK_.png", 460, 310},
};

TEST(SkinFiles, EveryFileExistsWithItsStripSize) {
  for (const SkinFile& file : kFiles) {
    SCOPED_TRACE(file.path);
    QImageReader reader(kResources + "/SkinRes/" + file.path);
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    EXPECT_EQ(reader.size(), QSize(file.width, file.height));
  }
}

TEST(SkinFiles, AnimationsHaveSeveralFramesWithDelays) {
  for (const char* path : {"FP/Coning.gif", "FP/ConvertList.gif", "LeftMenu/ConvertList.gif"}) {
    SCOPED_TRACE(path);
    QMovie movie(kResources + "/SkinRes/" + path);
    ASSERT_TRUE(movie.isValid());
    EXPECT_GT(movie.frameCount(), 1);
    ASSERT_TRUE(movie.jumpToFrame(0));
    EXPECT_GT(movie.nextFrameDelay(), 0);
  }
}

TEST(SkinFiles, ShadowEdgesFadeOutwardsAndJoinAtTheCorners) {
  QImage left(kResources + "/SkinRes/Comm/Frame_Left.png");
  QImage top(kResources + "/SkinRes/Comm/Frame_Top.png");
  ASSERT_FALSE(left.isNull());
  ASSERT_FALSE(top.isNull());
  // Darkest next to the window, nothing at the outer edge.
  EXPECT_GT(qAlpha(left.pixel(15, 300)), 60);
  EXPECT_EQ(qAlpha(left.pixel(0, 300)), 0);
  EXPECT_GT(qAlpha(left.pixel(15, 300)), qAlpha(left.pixel(8, 300)));
  // The top edge's corner continues the left edge's first row.
  EXPECT_NEAR(qAlpha(top.pixel(8, 15)), qAlpha(left.pixel(8, 0)), 8);
}

TEST(SkinFiles, IconAndHandCursor) {
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    QImageReader reader(kResources + QString("/icons/BriselVR-%1.png").arg(size));
    EXPECT_EQ(reader.size(), QSize(size, size)) << size;
  }
  QImage hand(kResources + "/cursors/Hand.png");
  ASSERT_EQ(hand.size(), QSize(32, 32));
  // The hot spot (6, 0) is the fingertip: opaque there, transparent beside it.
  EXPECT_GT(qAlpha(hand.pixel(6, 0)), 128);
  EXPECT_EQ(qAlpha(hand.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(hand.pixel(12, 0)), 0);
}

}  // namespace
