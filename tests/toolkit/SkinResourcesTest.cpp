#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QPainter>

#include "support/Sandbox.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CClientFrameDlg.h"
#include "toolkit/CComboboxEx.h"
#include "toolkit/CGIFImage.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CLeftMenuDlg.h"
#include "toolkit/CMenuDlg.h"
#include "toolkit/CMsgBoxDlg.h"
#include "toolkit/CNotifyMsgDlg.h"
#include "toolkit/CSetContentDlg.h"
#include "toolkit/SkinPainting.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

TEST(SkinResources, SkinPathFollowsTheProgramFolderAndAcceptsBackslashes) {
  test::Sandbox sandbox;
  EXPECT_EQ(SkinPath("Comm\\Frame_Left.png"),
            QString::fromStdString(sandbox.Folder()) + "/SkinRes/Comm/Frame_Left.png");
  EXPECT_EQ(SkinPath("FP/AddFile.png"),
            QString::fromStdString(sandbox.Folder()) + "/SkinRes/FP/AddFile.png");
}

TEST(SkinResources, MissingOrBrokenImageDrawsNothing) {
  test::Sandbox sandbox;
  std::string broken = sandbox.WriteFile("SkinRes/Comm/1.png", "not a picture");
  for (const QString& path : {SkinPath("Comm\\Missing.png"), QString::fromStdString(broken)}) {
    QImage image = LoadSkinImage(path);
    EXPECT_TRUE(image.isNull());
    EXPECT_EQ(image.width(), 0);
    QImage canvas(20, 20, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    DrawImageCell(painter, canvas.rect(), image, QRect(0, 0, 20, 20));
    painter.end();
    EXPECT_EQ(canvas.pixel(10, 10), 0xFFFFFFFF);
  }
}

// A full grid draws the same few files in every tile: they are decoded once, and a file
// changed on disk is decoded anew.
TEST(SkinResources, AFileIsDecodedOnceUntilItChanges) {
  test::Sandbox sandbox;
  const QString path = SkinPath("FP\\Strip.png");
  QDir().mkpath(QFileInfo(path).path());
  test::WriteStrip(path, QSize(4, 4), {0xFFFF0000});
  const QImage first = LoadSkinImage(path);
  const QImage second = LoadSkinImage(path);
  ASSERT_FALSE(first.isNull());
  EXPECT_EQ(first.constBits(), second.constBits()) << "decoded twice";
  EXPECT_EQ(second.pixel(1, 1), 0xFFFF0000);

  const QDateTime written = QFileInfo(path).lastModified();
  test::WriteStrip(path, QSize(4, 4), {0xFF0000FF});  // likely the same size in bytes
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  ASSERT_TRUE(file.setFileTime(written.addSecs(2), QFileDevice::FileModificationTime));
  file.close();
  EXPECT_EQ(LoadSkinImage(path).pixel(1, 1), 0xFF0000FF);
}

TEST(SkinResources, ChineseTextRendersWithAnInstalledCjkFont) {
  QFont font = SkinFont(14);
  EXPECT_EQ(font.pixelSize(), 14);
  EXPECT_TRUE(font.families().contains(QStringLiteral("微软雅黑")));
  QImage canvas(120, 30, QImage::Format_ARGB32);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  DrawSkinText(painter, canvas.rect(), QStringLiteral("转码设置"), font, 0xFF000000);
  painter.end();
  int dark = 0;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) dark += qGray(canvas.pixel(x, y)) < 100;
  EXPECT_GT(dark, 40);  // four ideographs, not four empty boxes or nothing
}

TEST(SkinResources, HandCursorHasItsHotSpotAtTheFingertip) {
  QCursor hand = HandCursor();
  EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
  EXPECT_EQ(hand.hotSpot(), QPoint(6, 0));
  EXPECT_FALSE(AppIcon().isNull());
}

// Without SkinRes every window still opens and works; images simply draw nothing.
TEST(SkinResources, EveryWindowOpensWithoutTheSkin) {
  test::Sandbox sandbox;  // a program folder with no SkinRes
  QWidget host;
  host.resize(972, 630);
  host.show();
  CLeftMenuDlg menu({}, &host);
  menu.LayoutItems();
  CSetContentDlg settings({}, &host);
  CMsgBoxDlg toast(&host);
  toast.ShowToast(TOAST_FILE_EXISTS);
  toast.OnTimer(CMsgBoxDlg::TIMER_FADE_IN);
  EXPECT_TRUE(toast.isVisible());
  CMenuDlg pick(MENU_ADDRESSES, {}, &host);
  pick.SetTexts({"10.0.0.1"});
  CComboboxEx combo(1007, &host);
  CGIFImage gif(1055, &host);
  gif.LoadGif(SkinPath("FP\\Coning.gif"));
  CClientFrameDlg frame(FRAME_FULL, &host);
  CNotifyMsgDlg dialog(&host, NOTIFY_EXIT);
  dialog.show();
  for (QWidget* w :
       std::initializer_list<QWidget*>{&menu, &settings, &pick, &combo, &gif, &frame, &dialog})
    EXPECT_FALSE(test::Grab(w).isNull()) << w->objectName().toStdString();
  // The shadows are fully transparent.
  QImage composed = frame.Composed();
  EXPECT_EQ(composed.size(), QSize(1012, 670));
  EXPECT_EQ(qAlpha(composed.pixel(5, 300)), 0);
  // The notification dialog still paints its bands and works.
  QImage picture = test::Grab(&dialog);
  EXPECT_EQ(picture.pixel(200, 20), skin::kTitleBand);
  EXPECT_EQ(picture.pixel(200, 100), skin::kPage);
  test::Click(dialog.Button(IDC_NOTIFY_QUIT), QPoint(10, 10));
  EXPECT_EQ(dialog.GetNotifyResult(), NOTIFY_QUIT);
}

}  // namespace
}  // namespace brisel
