#include <gtest/gtest.h>

#include "BuiltSkin.h"
#include "toolkit/CMsgBoxDlg.h"

namespace brisel {
namespace {

// The test is the clock: it fires the toast's timers itself (the event loop never runs, so
// the real timers never fire) and checks which timer runs next, with which period.
class CMsgBoxDlgTest : public ::testing::Test {
 protected:
  // Fires `id` until it stops; returns the opacities seen after each tick.
  std::vector<int> RunTimer(int id) {
    std::vector<int> seen;
    for (int guard = 0; m_toast.IsTimerActive(id) && guard < 100; ++guard) {
      m_toast.OnTimer(id);
      seen.push_back(m_toast.Opacity());
    }
    return seen;
  }
  test::BuiltSkin m_skin;
  QWidget m_page;
  CMsgBoxDlg m_toast{&m_page};
};

TEST_F(CMsgBoxDlgTest, FadesInHoldsFadesOutAndHides) {
  EXPECT_EQ(m_toast.size(), QSize(315, 80));
  EXPECT_FALSE(m_toast.isVisible());
  EXPECT_EQ(m_toast.Opacity(), 10);
  m_toast.ShowToast(TOAST_FILE_EXISTS);
  EXPECT_EQ(m_toast.Text(), "文件已存在");
  EXPECT_EQ(m_toast.TimerInterval(CMsgBoxDlg::TIMER_FADE_IN), 20);

  std::vector<int> fadeIn = RunTimer(CMsgBoxDlg::TIMER_FADE_IN);
  EXPECT_TRUE(m_toast.isVisible());
  ASSERT_EQ(fadeIn.size(), 22u);  // 21 steps of 10 from 10 to 220, then the switch to holding
  EXPECT_EQ(fadeIn.front(), 20);
  EXPECT_EQ(fadeIn[20], 220);
  EXPECT_EQ(fadeIn.back(), 220);
  EXPECT_EQ(m_toast.TimerInterval(CMsgBoxDlg::TIMER_HOLD), 600);

  m_toast.OnTimer(CMsgBoxDlg::TIMER_HOLD);
  EXPECT_FALSE(m_toast.IsTimerActive(CMsgBoxDlg::TIMER_HOLD));
  EXPECT_EQ(m_toast.TimerInterval(CMsgBoxDlg::TIMER_FADE_OUT), 50);

  std::vector<int> fadeOut = RunTimer(CMsgBoxDlg::TIMER_FADE_OUT);
  ASSERT_EQ(fadeOut.size(), 16u);  // 15 steps down to 70, then hidden
  EXPECT_EQ(fadeOut.front(), 210);
  EXPECT_EQ(fadeOut.back(), 70);
  EXPECT_FALSE(m_toast.isVisible());
  EXPECT_FALSE(m_toast.IsTimerActive(CMsgBoxDlg::TIMER_FADE_IN));
}

TEST_F(CMsgBoxDlgTest, SecondToastStartsFromSeventyWithTheNewText) {
  m_toast.ShowToast(TOAST_FILE_EXISTS);
  RunTimer(CMsgBoxDlg::TIMER_FADE_IN);
  m_toast.OnTimer(CMsgBoxDlg::TIMER_HOLD);
  RunTimer(CMsgBoxDlg::TIMER_FADE_OUT);
  m_toast.ShowToast(TOAST_UP_TO_DATE);
  EXPECT_EQ(m_toast.Text(), "已经是最新版本");
  m_toast.OnTimer(CMsgBoxDlg::TIMER_FADE_IN);
  EXPECT_EQ(m_toast.Opacity(), 80);
  EXPECT_EQ(RunTimer(CMsgBoxDlg::TIMER_FADE_IN).size(), 15u);  // 80 -> 220, then the switch
}

TEST_F(CMsgBoxDlgTest, CatalogueTextsAndUnknownKindsKeepTheLastText) {
  const std::pair<int, const char*> kinds[] = {
      {1, "该任务已转码"},
      {2, "文件已存在"},
      {3, "任务已存在"},
      {4, "无法添加非视频类文件"},
      {5, "文件路径过长"},
      {6, "至多可添加70项视频"},
      {7, "视频已被移动或删除"},
      {8, "提交成功"},
      {9, "提交失败"},
      {10, "服务器连接失败"},
      {11, "视频正被其他程序使用"},
      {12, "已经是最新版本"},
      {13, "至多可添加35项视频"},
  };
  for (auto [kind, text] : kinds) {
    m_toast.ShowToast(kind);
    EXPECT_EQ(m_toast.Text(), QString::fromUtf8(text)) << kind;
  }
  m_toast.ShowToast(14);
  EXPECT_EQ(m_toast.Text(), "至多可添加35项视频");
  EXPECT_EQ(m_toast.Kind(), 14);
}

TEST_F(CMsgBoxDlgTest, PaintsAtItsOpacityAndNeverTakesFocus) {
  m_toast.ShowToast(TOAST_SUBMITTED);
  RunTimer(CMsgBoxDlg::TIMER_FADE_IN);
  QImage picture = m_toast.Render();
  EXPECT_NEAR(qAlpha(picture.pixel(40, 20)), 220, 2);  // an opaque part of the background
  EXPECT_TRUE(m_toast.windowFlags() & Qt::WindowDoesNotAcceptFocus);
  EXPECT_TRUE(m_toast.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(m_toast.windowType(), Qt::Tool);  // no taskbar entry
}

}  // namespace
}  // namespace brisel
