#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BuiltSkin.h"
#include "platform/FileSystem.h"
#include "settings/AppSettings.h"
#include "support/Sandbox.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CSetContentDlg.h"
#include "toolkit/SettingsPageHost.h"

namespace brisel {
namespace {

// The page's host: hands it `settings` and records what the page tells it.
class RecordingHost : public SettingsPageHost {
 public:
  const AppSettings& CurrentSettings() override { return settings; }
  void KeepAwakeChosen(bool keepAwake) override {
    calls.push_back(std::string("keep awake ") + (keepAwake ? "on" : "off"));
  }
  void ConvertRatioChosen(int ratio) override { calls.push_back("ratio " + std::to_string(ratio)); }
  void CheckForUpdate() override { calls.push_back("check for update"); }

  AppSettings settings;
  std::vector<std::string> calls;
};

class CSetContentDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_host.settings.m_nConvertRatio = 1;
    m_host.settings.m_nKeepAwake = 1;
  }
  std::unique_ptr<CSetContentDlg> Page() {
    auto page = std::make_unique<CSetContentDlg>(&m_host, &m_parent);
    page->resize(808, 522);
    page->SetupControls();
    return page;
  }
  void Click(CSetContentDlg& page, int id) { test::Click(page.Button(id), QPoint(5, 5)); }
  using Calls = std::vector<std::string>;

  // No config.ini is read or written here: the page reads its host's settings and only tells
  // the host what the user chose (the main window's tests see the file written).
  test::Sandbox m_sandbox;
  RecordingHost m_host;
  QWidget m_parent;
};

TEST_F(CSetContentDlgTest, ControlsAreShownAndHiddenAsListed) {
  auto page = Page();
  m_parent.show();
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

TEST_F(CSetContentDlgTest, TheControlsFollowTheHostsSettingsEachTimeThePageIsShown) {
  struct Case {
    int ratio, keepAwake;
    bool is1080;
  } cases[] = {{1, 1, true}, {2, 0, false}, {0, 1, false}, {7, 0, false}};
  auto page = Page();
  for (const Case& c : cases) {
    m_host.settings.m_nConvertRatio = c.ratio;
    m_host.settings.m_nKeepAwake = c.keepAwake;
    page->ShowCurrentSettings();
    EXPECT_EQ(page->Button(IDC_SET_QUALITY_1080P)->IsChecked(), c.is1080) << c.ratio;
    EXPECT_EQ(page->Button(IDC_SET_QUALITY_2K)->IsChecked(), !c.is1080) << c.ratio;
    EXPECT_EQ(page->Button(IDC_SET_KEEP_AWAKE)->IsChecked(), c.keepAwake == 1) << c.ratio;
    EXPECT_EQ(page->PageSettings().m_nConvertRatio, c.ratio);
  }
  EXPECT_TRUE(m_host.calls.empty()) << "showing tells the host nothing";
}

TEST_F(CSetContentDlgTest, QualityChoiceTellsTheHostAndTheTickedButtonNothing) {
  auto page = Page();
  m_parent.show();
  ASSERT_TRUE(page->Button(IDC_SET_QUALITY_1080P)->IsChecked());
  Click(*page, IDC_SET_QUALITY_1080P);  // already ticked
  EXPECT_TRUE(page->Button(IDC_SET_QUALITY_1080P)->IsChecked());
  EXPECT_EQ(m_host.calls, Calls{});

  Click(*page, IDC_SET_QUALITY_2K);
  EXPECT_TRUE(page->Button(IDC_SET_QUALITY_2K)->IsChecked());
  EXPECT_FALSE(page->Button(IDC_SET_QUALITY_1080P)->IsChecked());
  EXPECT_EQ(page->PageSettings().m_nConvertRatio, 2);
  Click(*page, IDC_SET_QUALITY_2K);
  Click(*page, IDC_SET_QUALITY_1080P);
  EXPECT_EQ(m_host.calls, (Calls{"ratio 2", "ratio 1"}));
  EXPECT_FALSE(PathExists(m_sandbox.Path("config.ini"))) << "the page writes no settings";
}

TEST_F(CSetContentDlgTest, KeepAwakeBoxTogglesAndTellsTheHost) {
  m_host.settings.m_nKeepAwake = 0;
  auto page = Page();
  m_parent.show();
  CKbcButton* box = page->Button(IDC_SET_KEEP_AWAKE);
  EXPECT_FALSE(box->IsChecked());
  Click(*page, IDC_SET_KEEP_AWAKE);
  EXPECT_TRUE(box->IsChecked());
  EXPECT_EQ(page->PageSettings().m_nKeepAwake, 1);
  Click(*page, IDC_SET_KEEP_AWAKE);
  EXPECT_FALSE(box->IsChecked());
  EXPECT_EQ(m_host.calls, (Calls{"keep awake on", "keep awake off"}));
  EXPECT_EQ(m_host.settings.m_nKeepAwake, 0) << "the host's record is the host's to change";
  EXPECT_FALSE(PathExists(m_sandbox.Path("config.ini")));
}

TEST_F(CSetContentDlgTest, CheckForUpdatesAsksTheHostAndHiddenControlsDoNothing) {
  auto page = Page();
  m_parent.show();
  Click(*page, IDC_SET_CHECK_UPDATE);
  EXPECT_EQ(m_host.calls, Calls{"check for update"});
  for (int id : {IDC_SET_AUTORUN, IDC_SET_EXIT_QUIT, IDC_SET_DELETE_ORIGIN, IDC_SET_EXIT_HIDE,
                 IDC_SET_CONVERTED_NOTIFY, IDC_SET_CHANGE_FOLDER})
    page->Button(id)->click();
  EXPECT_EQ(m_host.calls, Calls{"check for update"});
  EXPECT_FALSE(page->Button(IDC_SET_DELETE_ORIGIN)->IsChecked());
}

TEST_F(CSetContentDlgTest, WithoutAHostThePageShowsZerosAndTellsNobody) {
  CSetContentDlg page(nullptr, &m_parent);
  m_parent.show();
  EXPECT_TRUE(page.Button(IDC_SET_QUALITY_2K)->IsChecked());
  test::Click(page.Button(IDC_SET_QUALITY_1080P), QPoint(5, 5));
  test::Click(page.Button(IDC_SET_CHECK_UPDATE), QPoint(5, 5));
  EXPECT_TRUE(page.Button(IDC_SET_QUALITY_1080P)->IsChecked());
  EXPECT_TRUE(m_host.calls.empty());
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
