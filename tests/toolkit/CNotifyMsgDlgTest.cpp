#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <set>

#include "BuiltSkin.h"
#include "platform/FileSystem.h"
#include "support/Sandbox.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CNotifyMsgDlg.h"

namespace brisel {
namespace {

const int kAllButtons[] = {IDC_NOTIFY_CLOSE,     IDC_NOTIFY_CONFIRM,       IDC_NOTIFY_CANCEL,
                           IDC_NOTIFY_NO_PROMPT, IDC_NOTIFY_DELETE_SOURCE, IDC_NOTIFY_CONTINUE,
                           IDC_NOTIFY_SKIP,      IDC_NOTIFY_RUN_HIDDEN,    IDC_NOTIFY_QUIT};

class CNotifyMsgDlgTest : public ::testing::Test {
 protected:
  test::Sandbox m_sandbox;
};

TEST_F(CNotifyMsgDlgTest, EachKindShowsItsTitleMessageAndButtons) {
  struct Case {
    int kind;
    const char* title;
    const char* message;
    std::set<int> visible;
  };
  const Case cases[] = {
      {1,
       "删除转码视频",
       "是否删除已转码视频",
       {IDC_NOTIFY_CONFIRM, IDC_NOTIFY_CANCEL, IDC_NOTIFY_DELETE_SOURCE}},
      {2,
       "取消任务",
       "正在转码的视频将丢失进度，是否继续",
       {IDC_NOTIFY_CONFIRM, IDC_NOTIFY_CANCEL}},
      {3, "退出提示", "是否退出Brisel助手", {IDC_NOTIFY_RUN_HIDDEN, IDC_NOTIFY_QUIT}},
      {4,
       "重名任务",
       "发现《旅行.mp4》同名文件，点击继续将保存为两个文件",
       {IDC_NOTIFY_CONTINUE, IDC_NOTIFY_SKIP}},
      {5,
       "删除任务",
       "任务正处于转码队列，是否确认删除？",
       {IDC_NOTIFY_CONFIRM, IDC_NOTIFY_CANCEL}},
  };
  for (const Case& c : cases) {
    CNotifyMsgDlg dialog(nullptr, c.kind, QStringLiteral("旅行.mp4"));
    dialog.show();
    EXPECT_EQ(dialog.size(), QSize(460, 300));
    EXPECT_EQ(dialog.Title(), QString::fromUtf8(c.title));
    EXPECT_EQ(dialog.MessageText(), QString::fromUtf8(c.message));
    for (int id : kAllButtons) {
      bool expected = id == IDC_NOTIFY_CLOSE || c.visible.count(id);
      EXPECT_EQ(dialog.Button(id)->isVisible(), expected) << "kind " << c.kind << " button " << id;
    }
  }
}

TEST_F(CNotifyMsgDlgTest, ButtonsGiveTheirResults) {
  struct Case {
    int kind;
    int button;
    bool tickDeleteSource;
    int result;
  };
  const Case cases[] = {
      {1, IDC_NOTIFY_CONFIRM, false, 10}, {1, IDC_NOTIFY_CONFIRM, true, 11},
      {1, IDC_NOTIFY_CANCEL, false, 0},   {2, IDC_NOTIFY_CONFIRM, false, 40},
      {2, IDC_NOTIFY_CANCEL, false, 41},  {3, IDC_NOTIFY_RUN_HIDDEN, false, 21},
      {3, IDC_NOTIFY_QUIT, false, 22},    {4, IDC_NOTIFY_CONTINUE, false, 30},
      {4, IDC_NOTIFY_SKIP, false, 31},    {4, IDC_NOTIFY_CLOSE, false, 42},
      {5, IDC_NOTIFY_CONFIRM, false, 0},  {5, IDC_NOTIFY_CANCEL, false, 0},
      {2, IDC_NOTIFY_CLOSE, false, 42},
  };
  for (const Case& c : cases) {
    CNotifyMsgDlg dialog(nullptr, c.kind, QStringLiteral("a.mp4"));
    dialog.show();
    if (c.tickDeleteSource) test::Click(dialog.Button(IDC_NOTIFY_DELETE_SOURCE), QPoint(5, 5));
    ASSERT_TRUE(dialog.isVisible());
    test::Click(dialog.Button(c.button), QPoint(5, 5));
    EXPECT_EQ(dialog.GetNotifyResult(), c.result) << "kind " << c.kind << " button " << c.button;
    EXPECT_FALSE(dialog.isVisible()) << "kind " << c.kind << " button " << c.button;
  }
}

TEST_F(CNotifyMsgDlgTest, EscAndEnterEndTheModalRunWithNoChoice) {
  for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
    for (int kind = 1; kind <= 5; ++kind) {
      CNotifyMsgDlg dialog(nullptr, kind);
      QTimer::singleShot(0, &dialog, [&] { test::SendKey(&dialog, key); });
      dialog.exec();
      EXPECT_EQ(dialog.GetNotifyResult(), NOTIFY_NO_CHOICE) << "kind " << kind;
    }
  }
}

TEST_F(CNotifyMsgDlgTest, DeleteSourceBoxStartsFromTheSettingAndToggles) {
  for (int kind = 1; kind <= 5; ++kind) {
    CNotifyMsgDlg ticked(nullptr, kind, QString(), 1), clear(nullptr, kind, QString(), 0);
    EXPECT_EQ(ticked.Button(IDC_NOTIFY_DELETE_SOURCE)->IsChecked(), kind <= 3) << kind;
    EXPECT_FALSE(clear.Button(IDC_NOTIFY_DELETE_SOURCE)->IsChecked()) << kind;
  }
  CNotifyMsgDlg dialog(nullptr, NOTIFY_DELETE_CONVERTED, QString(), 1);
  dialog.show();
  CKbcButton* box = dialog.Button(IDC_NOTIFY_DELETE_SOURCE);
  EXPECT_TRUE(box->IsChecked());
  test::Click(box, QPoint(5, 5));
  EXPECT_FALSE(box->IsChecked());
  test::Click(dialog.Button(IDC_NOTIFY_CONFIRM), QPoint(5, 5));
  EXPECT_EQ(dialog.GetNotifyResult(), NOTIFY_DELETE);
}

// The exit prompt's hidden "不再提示" box: the caller learns that the choice is to be kept, and
// stores it; the dialog itself writes no settings.
TEST_F(CNotifyMsgDlgTest, TheNoPromptTickIsReportedToTheCallerNotStored) {
  for (int button : {IDC_NOTIFY_RUN_HIDDEN, IDC_NOTIFY_QUIT}) {
    for (bool tick : {false, true}) {
      CNotifyMsgDlg dialog(nullptr, NOTIFY_EXIT);
      dialog.show();
      EXPECT_FALSE(dialog.Button(IDC_NOTIFY_NO_PROMPT)->isVisible());
      if (tick) dialog.Button(IDC_NOTIFY_NO_PROMPT)->click();
      test::Click(dialog.Button(button), QPoint(5, 5));
      EXPECT_EQ(dialog.GetNotifyResult(), button == IDC_NOTIFY_RUN_HIDDEN ? 21 : 22);
      EXPECT_EQ(dialog.KeepsChoice(), tick) << button;
    }
  }
  EXPECT_FALSE(PathExists(m_sandbox.Path("config.ini")));
}

TEST_F(CNotifyMsgDlgTest, TheDuplicatePromptShowsTheShortenedName) {
  CNotifyMsgDlg dialog(nullptr, NOTIFY_DUPLICATE_NAME,
                       QString::fromStdString(ShortPromptName("abcdefghijklmn.mp4")));
  EXPECT_TRUE(dialog.MessageText().contains(QStringLiteral("《abcdefghij...》")));
}

TEST_F(CNotifyMsgDlgTest, TitleBandDragsTheDialogWithItsShadow) {
  test::BuiltSkin skin;
  CNotifyMsgDlg dialog(nullptr, NOTIFY_EXIT);
  dialog.move(300, 200);
  dialog.show();
  QCoreApplication::sendPostedEvents();
  ASSERT_NE(dialog.Shadows().Shadow(0), nullptr);
  EXPECT_TRUE(dialog.Shadows().Shadow(0)->isVisible());
  // A press below the band does not drag.
  test::SendMouse(&dialog, QEvent::MouseButtonPress, QPoint(100, 80));
  test::SendMouse(&dialog, QEvent::MouseMove, QPoint(150, 120), Qt::NoButton, Qt::LeftButton);
  test::SendMouse(&dialog, QEvent::MouseButtonRelease, QPoint(150, 120), Qt::LeftButton,
                  Qt::NoButton);
  EXPECT_EQ(dialog.pos(), QPoint(300, 200));
  // A press in the band does.
  test::SendMouse(&dialog, QEvent::MouseButtonPress, QPoint(100, 20));
  test::SendMouse(&dialog, QEvent::MouseMove, QPoint(140, 50), Qt::NoButton, Qt::LeftButton);
  test::SendMouse(&dialog, QEvent::MouseButtonRelease, QPoint(140, 50), Qt::LeftButton,
                  Qt::NoButton);
  EXPECT_EQ(dialog.pos(), QPoint(340, 230));
  QRect client(dialog.mapToGlobal(QPoint(0, 0)), dialog.size());
  auto expected = ShadowPlacement(ShadowOwner::NotifyDialog, client);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog.Shadows().Shadow(i)->geometry(), expected[i]);
  EXPECT_TRUE(dialog.isModal());
}

}  // namespace
}  // namespace brisel
