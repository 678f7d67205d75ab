#include <gtest/gtest.h>

#include "BuiltSkin.h"
#include "platform/FileSystem.h"
#include "platform/KeepAwake.h"
#include "settings/AppSettings.h"
#include "support/RecordingTarget.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CSetContentDlg.h"

namespace brisel {
namespace {

class CSetContentDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KeepAwake::SetInhibitCommandForTesting({"env"});  // a stand-in inhibitor that just waits
    Load("");
  }
  void TearDown() override {
    KeepAwake::Apply(false);
    KeepAwake::SetInhibitCommandForTesting({});
  }
  // Writes config.ini (empty: the first-start file) and loads it.
  void Load(const std::string& ini) {
    if (ini.empty())
      RemoveFile(m_sandbox.Path("config.ini"));
    else
      m_sandbox.WriteFile("config.ini", ini);
    LoadSettings(false);
  }
  std::unique_ptr<CSetContentDlg> Page() {
    auto page = std::make_unique<CSetContentDlg>(m_main, &m_host);
    page->resize(808, 522);
    page->SetupControls();
    return page;
  }
  void Click(CSetContentDlg& page, int id) { test::Click(page.Button(id), QPoint(5, 5)); }
  std::string Config() { return m_sandbox.ReadFile("config.ini"); }

  test::Sandbox m_sandbox;
  std::shared_ptr<test::RecordingTarget> m_main = test::RecordingTarget::Create();
  QWidget m_host;
};

TEST_F(CSetContentDlgTest, ControlsAreShownAndHiddenAsListed) {
  auto page = Page();
  m_host.show();
  struct Case {
    int id;
    const char* caption;
    QRect geometry;
    bool shown;
  };
  const Case cases[] = {
      {1027, "检测更新", {328, 58, 70, 26}, true},
      {1039, "1080P画质 (1K及以下手机)", {138, 133, 200, 18}, true},
      {1040, "  2K画质     (2K及以上手机)", {138, 168, 200, 18}, true},
      {1031, "有任务时电脑不休眠(推荐开启)", {138, 288, 250, 18}, true},
      {1032, "开机时启动VR助手", {178, 26, 250, 18}, false},
      {1029, "启用软件自动升级(推荐启用)", {178, 58, 250, 18}, false},
      {1028, "退出时询问", {178, 116, 250, 18}, false},
      {1036, "关闭窗口，后台运行", {178, 148, 250, 18}, false},
      {1038, "完全关闭", {178, 180, 250, 18}, false},
      {1034, "修改", {178, 227, 70, 26}, false},
      {1037, "打开", {258, 227, 70, 26}, false},
      {1035, "转码完成后提醒", {178, 285, 250, 18}, false},
      {1054, "同时删除转码视频原文件", {178, 338, 250, 18}, false},
      {1005, "", {808 - 61, 18, 18, 18}, false},
      {1006, "", {808 - 36, 18, 18, 18}, false},
  };
  for (const Case& c : cases) {
    CKbcButton* button = page->Button(c.id);
    ASSERT_NE(button, nullptr) << c.id;
    EXPECT_EQ(button->objectName(), QString::number(c.id));
    EXPECT_EQ(button->Caption(), QString::fromUtf8(c.caption)) << c.id;
    EXPECT_EQ(button->geometry(), c.geometry) << c.id;
    EXPECT_EQ(button->isVisible(), c.shown) << c.id;
    EXPECT_EQ(button->Background(), BACKGROUND_PAGE) << c.id;
  }
  EXPECT_EQ(page->Button(1027)->Style(), BUTTON_SMALL_CAPTION);
  EXPECT_TRUE(page->Button(1039)->IsCheckBox());
  EXPECT_EQ(CSetContentDlg::VersionLabel(), "当前版本：V1.0.7 内测版");
}

TEST_F(CSetContentDlgTest, QualityButtonsFollowTheStoredRatio) {
  const std::pair<const char*, bool> cases[] = {
      {"1", true}, {"2", false}, {"0", false}, {"7", false}};
  for (auto [ratio, is1080] : cases) {
    Load(std::string("[VideoSetting]\nVideoConvert-Ratio=") + ratio + "\n");
    auto page = Page();
    EXPECT_EQ(page->Button(IDC_SET_QUALITY_1080P)->IsChecked(), is1080) << ratio;
    EXPECT_EQ(page->Button(IDC_SET_QUALITY_2K)->IsChecked(), !is1080) << ratio;
  }
}

TEST_F(CSetContentDlgTest, QualityChoiceSavesAtOnceAndTheTickedButtonSavesNothing) {
  auto page = Page();
  m_host.show();
  ASSERT_TRUE(page->Button(IDC_SET_QUALITY_1080P)->IsChecked());
  RemoveFile(m_sandbox.Path("config.ini"));
  Click(*page, IDC_SET_QUALITY_1080P);  // already ticked
  EXPECT_FALSE(PathExists(m_sandbox.Path("config.ini")));
  EXPECT_TRUE(page->Button(IDC_SET_QUALITY_1080P)->IsChecked());

  Click(*page, IDC_SET_QUALITY_2K);
  EXPECT_TRUE(page->Button(IDC_SET_QUALITY_2K)->IsChecked());
  EXPECT_FALSE(page->Button(IDC_SET_QUALITY_1080P)->IsChecked());
  EXPECT_EQ(theSettings->m_nConvertRatio, 2);
  EXPECT_EQ(page->PageSettings().m_nConvertRatio, 2);
  EXPECT_NE(Config().find("VideoConvert-Ratio=2"), std::string::npos);

  Click(*page, IDC_SET_QUALITY_1080P);
  EXPECT_NE(Config().find("VideoConvert-Ratio=1"), std::string::npos);
}

TEST_F(CSetContentDlgTest, KeepAwakeBoxTogglesAppliesAndSaves) {
  Load("[NormalSetting]\nComSleep-UnSleep=0\n");
  auto page = Page();
  m_host.show();
  CKbcButton* box = page->Button(IDC_SET_KEEP_AWAKE);
  EXPECT_FALSE(box->IsChecked());
  Click(*page, IDC_SET_KEEP_AWAKE);
  EXPECT_TRUE(box->IsChecked());
  EXPECT_NE(Config().find("ComSleep-UnSleep=1"), std::string::npos);
  EXPECT_TRUE(KeepAwake::IsHeld());
  Click(*page, IDC_SET_KEEP_AWAKE);
  EXPECT_FALSE(box->IsChecked());
  EXPECT_NE(Config().find("ComSleep-UnSleep=0"), std::string::npos);
  EXPECT_FALSE(KeepAwake::IsHeld());
}

TEST_F(CSetContentDlgTest, CheckForUpdatesPostsToTheMainWindowOnly) {
  auto page = Page();
  m_host.show();
  const std::string before = Config();
  Click(*page, IDC_SET_CHECK_UPDATE);
  auto posted = m_main->Messages();
  ASSERT_EQ(posted.size(), 1u);
  EXPECT_EQ(posted[0].id, WM_USER + 601);
  EXPECT_EQ(posted[0].wParam, 0);
  EXPECT_EQ(posted[0].lParam, 0);
  // Hidden controls do nothing even when clicked.
  for (int id : {IDC_SET_AUTORUN, IDC_SET_EXIT_QUIT, IDC_SET_DELETE_ORIGIN})
    page->Button(id)->click();
  EXPECT_EQ(m_main->Count(), 1u);
  EXPECT_EQ(Config(), before);
  EXPECT_FALSE(page->Button(IDC_SET_DELETE_ORIGIN)->IsChecked());
}

TEST_F(CSetContentDlgTest, PaintsItsLabelsOnTheLightPage) {
  auto page = Page();
  QImage picture = test::Grab(page.get());
  EXPECT_EQ(picture.pixel(30, 400), 0xFFF2F3F3);
  EXPECT_TRUE(test::HasPixelNear(picture, 0xFF3E3D42, QRect(72, 23, 100, 18), 30));  // 版本状态
  EXPECT_TRUE(test::HasPixelNear(picture, 0xFF3E3D42, QRect(138, 60, 180, 18), 30));  // version
}

}  // namespace
}  // namespace brisel
