#include "BriselUIFiles/ui/CDownLoadDlg.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QSignalSpy>

#include <set>

#include "BriselAssist/Http/UpdateSignature.h"
#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "settings/ProgramValues.h"
#include "support/RecordingTarget.h"
#include "support/Sandbox.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSigningKey.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CMyProgressBar.h"
#include "toolkit/SkinPainting.h"

namespace brisel {
namespace {

// Runs the event loop for `ms`: the bar without a length animates on a timer, and what these
// checks look at is what that timer does over time.
void RunFor(int ms) {
  QElapsedTimer timer;
  timer.start();
  do {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  } while (timer.elapsed() < ms);
}

// The dialog alone, driven by the messages its download thread sends.
class DownLoadDialog : public ::testing::Test {
 protected:
  void TearDown() override {
    ResetUpdatePublicKeyForTesting();
    SetShellOpenProgramForTesting("");
    SetDownloadFolder("");
  }
  void Post(std::uint32_t id, std::intptr_t w, std::intptr_t l = 0) {
    PostTo(dlg_.Target(), Message(id, w, l));
    test::DeliverPosted();
  }
  test::Sandbox box_;
  CDownLoadDlg dlg_{{}};
};

TEST_F(DownLoadDialog, LayoutAndShape) {
  EXPECT_EQ(dlg_.size(), QSize(460, 310));
  EXPECT_TRUE(dlg_.isHidden()) << "made hidden";
  EXPECT_EQ(dlg_.ProgressBar()->geometry(), QRect(67, 206, 326, 10));
  EXPECT_EQ(CDownLoadDlg::kTextRect, QRect(37, 230, 393, 20));
  EXPECT_EQ(dlg_.Text(), QStringLiteral("VR助手升级中，请稍后..."));
  EXPECT_FALSE(dlg_.Button(IDC_DOWNLOAD_RETRY)->isVisibleTo(&dlg_));
  EXPECT_FALSE(dlg_.Button(IDC_DOWNLOAD_CANCEL)->isVisibleTo(&dlg_));
  // Rounded corners: the corner pixels are outside the window's shape, the edges inside.
  QRegion shape = dlg_.mask();
  for (QPoint corner : {QPoint(0, 0), QPoint(459, 0), QPoint(0, 309), QPoint(459, 309)})
    EXPECT_FALSE(shape.contains(corner)) << corner.x() << "," << corner.y();
  for (QPoint inside : {QPoint(230, 0), QPoint(0, 155), QPoint(459, 155), QPoint(5, 5)})
    EXPECT_TRUE(shape.contains(inside)) << inside.x() << "," << inside.y();
}

TEST_F(DownLoadDialog, ProgressWithAndWithoutALength) {
  dlg_.show();
  Post(WM_DOWNLOAD_PROGRESS, 40, 10240);
  EXPECT_EQ(dlg_.ProgressBar()->GetPos(), 40);
  // No length: the bar keeps moving, and never shows a share of an unknown whole.
  Post(WM_DOWNLOAD_PROGRESS, -1, 30000);
  std::set<int> positions;
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 600) {
    RunFor(30);
    positions.insert(dlg_.ProgressBar()->GetPos());
  }
  EXPECT_GE(positions.size(), 3u) << "it moves";
  Post(WM_DOWNLOAD_RESULT, static_cast<int>(DownloadResult::Ok));
  EXPECT_TRUE(dlg_.Done());
  EXPECT_EQ(dlg_.ProgressBar()->GetPos(), 100);
  EXPECT_EQ(dlg_.Text(), QStringLiteral("升级文件已通过验证，已保存至下载文件夹"));
  const int shown = dlg_.ProgressBar()->GetPos();
  RunFor(200);
  EXPECT_EQ(dlg_.ProgressBar()->GetPos(), shown) << "still once done";
  EXPECT_TRUE(test::HasPixelNear(test::Grab(&dlg_), 0xFF6B6B6B, CDownLoadDlg::kTextRect));
}

// How each ending of the download reads, and what the dialog then offers.
TEST_F(DownLoadDialog, EachEndingSaysWhatBecameOfTheFile) {
  using Buttons = std::set<int>;
  const Buttons kRetryOrCancel{IDC_DOWNLOAD_RETRY, IDC_DOWNLOAD_CANCEL};
  struct Case {
    DownloadResult result;
    std::string path;
    QString text;
    Buttons buttons;
    bool done, failed;
  } cases[] = {
      {DownloadResult::Ok,
       "/d/BriselVR助手.deb",
       QStringLiteral("升级文件已通过验证，是否立即安装？"),
       {IDC_DOWNLOAD_INSTALL, IDC_DOWNLOAD_CANCEL},
       true,
       false},
      {DownloadResult::Ok,
       "/d/BriselVR助手.exe",
       QStringLiteral("升级文件已通过验证，已保存至下载文件夹"),
       {IDC_DOWNLOAD_CLOSE},
       true,
       false},
      {DownloadResult::KeptUnverified,
       "/d/BriselVR助手.exe",
       QStringLiteral("升级文件未经验证，已保存至下载文件夹"),
       {IDC_DOWNLOAD_CLOSE},
       true,
       false},
      {DownloadResult::KeptUnverified,
       "/d/BriselVR助手.deb",
       QStringLiteral("升级文件未经验证，已保存至下载文件夹"),
       {IDC_DOWNLOAD_CLOSE},
       true,
       false},
      {DownloadResult::SignatureRejected, "/d/BriselVR助手.exe",
       QStringLiteral("升级文件未通过验证，已删除"), kRetryOrCancel, false, true},
      {DownloadResult::HttpStatus, "/d/BriselVR助手.exe", QStringLiteral("升级文件下载失败"),
       kRetryOrCancel, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(static_cast<int>(c.result)));
    CDownLoadDlg dlg{{}};
    dlg.show();
    PostTo(dlg.Target(), Message(WM_DOWNLOAD_RESULT, static_cast<int>(c.result), 200, c.path));
    test::DeliverPosted();
    EXPECT_EQ(dlg.Text(), c.text);
    Buttons shown;
    for (int id :
         {IDC_DOWNLOAD_RETRY, IDC_DOWNLOAD_CANCEL, IDC_DOWNLOAD_INSTALL, IDC_DOWNLOAD_CLOSE})
      if (dlg.Button(id)->isVisible()) shown.insert(id);
    EXPECT_EQ(shown, c.buttons);
    EXPECT_EQ(dlg.Done(), c.done);
    EXPECT_EQ(dlg.Failed(), c.failed);
    // The line fits its box: nothing of it is drawn beyond the box's ends.
    const QFontMetrics metrics(SkinFont(14));
    EXPECT_LE(metrics.horizontalAdvance(c.text), CDownLoadDlg::kTextRect.width());
  }
}

// A verified package from a real download: nothing is opened until the user agrees; then
// the package goes to the desktop's opener and the main window is asked to close.
TEST_F(DownLoadDialog, AVerifiedPackageIsInstalledWhenTheUserAgrees) {
  test::ScriptedHttpServer server;
  test::TestSigningKey signer;
  SetUpdatePublicKeyForTesting(signer.PublicKeyHex());
  SetDownloadFolder(box_.Path("appData/download/"));
  const std::string opener =
      box_.WriteFile("opener.sh", "#!/bin/sh\necho \"$1\" >> \"" + box_.Path("opened") + "\"\n");
  chmod(opener.c_str(), 0755);
  SetShellOpenProgramForTesting(opener);
  const std::string package = "!<arch>\ndebian-binary   " + std::string(20000, 'p');
  server.Script("/BriselVR.deb", test::HttpReply::Answer(200, package));
  server.Script("/BriselVR.deb.sig", test::HttpReply::Answer(200, signer.Sign(package)));

  auto owner = test::RecordingTarget::Create();
  {
    CDownLoadDlg dlg{owner};
    QSignalSpy cancelled(&dlg, &CDownLoadDlg::UpdateCancelled);
    dlg.show();
    dlg.StartDownload(server.Url("BriselVR.deb"));
    test::RunEventsUntil([&] { return dlg.Done() || dlg.Failed(); });
    ASSERT_TRUE(dlg.Done()) << dlg.Text().toStdString();
    EXPECT_EQ(dlg.Text(), QStringLiteral("升级文件已通过验证，是否立即安装？"));
    EXPECT_FALSE(PathExists(box_.Path("opened")));
    EXPECT_EQ(owner->Count(), 0u);

    dlg.Button(IDC_DOWNLOAD_INSTALL)->click();
    const std::string path = box_.Path("appData/download/BriselVR助手.deb");
    EXPECT_TRUE(test::WaitFor([&] { return box_.ReadFile("opened") == path + "\n"; }));
    ASSERT_TRUE(owner->WaitForCount(1, std::chrono::seconds(10), WM_SYSCOMMAND));
    EXPECT_EQ(owner->Messages(WM_SYSCOMMAND).front().wParam, SC_CLOSE);
    EXPECT_EQ(dlg.Text(), QStringLiteral("升级文件下载完毕"));
    EXPECT_FALSE(dlg.Button(IDC_DOWNLOAD_INSTALL)->isVisible()) << "asked once";
    EXPECT_EQ(cancelled.count(), 0);
  }
}

TEST_F(DownLoadDialog, AFailureOffersRetryAndCancel) {
  dlg_.show();
  QSignalSpy cancelled(&dlg_, &CDownLoadDlg::UpdateCancelled);
  Post(WM_DOWNLOAD_RESULT, static_cast<int>(DownloadResult::HttpStatus), 404);
  EXPECT_TRUE(dlg_.Failed());
  EXPECT_FALSE(dlg_.Done());
  EXPECT_TRUE(dlg_.Button(IDC_DOWNLOAD_RETRY)->isVisible());
  EXPECT_TRUE(dlg_.Button(IDC_DOWNLOAD_CANCEL)->isVisible());
  EXPECT_EQ(dlg_.Text(), QStringLiteral("升级文件下载失败"));
  // A cancelled download (the program quits) is no failure to offer anything for.
  CDownLoadDlg other{{}};
  PostTo(other.Target(), Message(WM_DOWNLOAD_RESULT, static_cast<int>(DownloadResult::Cancelled)));
  test::DeliverPosted();
  EXPECT_FALSE(other.Failed());

  dlg_.Button(IDC_DOWNLOAD_CANCEL)->click();
  EXPECT_TRUE(dlg_.isHidden());
  EXPECT_EQ(cancelled.count(), 1);
}

TEST_F(DownLoadDialog, DraggedByItsHeaderOnly) {
  dlg_.move(300, 200);
  dlg_.show();
  struct Case {
    QPoint press;
    bool moves;
  } cases[] = {{{200, 60}, true}, {{200, 139}, true}, {{200, 140}, false}, {{200, 280}, false}};
  for (const Case& c : cases) {
    const QPoint before = dlg_.pos();
    test::SendMouse(&dlg_, QEvent::MouseButtonPress, c.press, Qt::LeftButton, Qt::LeftButton);
    test::SendMouse(&dlg_, QEvent::MouseMove, c.press + QPoint(30, 20), Qt::NoButton,
                    Qt::LeftButton);
    test::SendMouse(&dlg_, QEvent::MouseButtonRelease, c.press + QPoint(30, 20), Qt::LeftButton,
                    Qt::NoButton);
    EXPECT_EQ(dlg_.pos() != before, c.moves) << c.press.y();
  }
}

}  // namespace
}  // namespace brisel
