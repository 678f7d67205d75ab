#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"
#include "support/Sandbox.h"
#include "support/TestData.h"

namespace brisel {
namespace {

TEST(AppSettings, FirstStartWritesTheNineDefaultsInOrder) {
  test::Sandbox box;
  ASSERT_TRUE(LoadSettings(false));
  EXPECT_EQ(ConfigPath(), box.Path("config.ini"));
  EXPECT_EQ(box.ReadFile("config.ini"),
            "[NormalSetting]\nBase-AutoRun=0\nBase-AutoUpdate=1\nExitWndType=1\n"
            "ComSleep-UnSleep=1\nDefaultIP=127.0.0.1\nDeleteOrigin=0\n"
            "[VideoSetting]\nVideoConvert-Ratio=1\nConvertPath=" +
                box.Folder() + "/appData/converted/\nConvertedNotify=1\n");
  const AppSettings& s = *theSettings;
  EXPECT_EQ(s.m_nAutoRun, 0);
  EXPECT_EQ(s.m_nAutoUpdate, 1);
  EXPECT_EQ(s.m_nExitWndType, 1);
  EXPECT_EQ(s.m_nKeepAwake, 1);
  EXPECT_EQ(s.m_strDefaultIp, "127.0.0.1");
  EXPECT_EQ(s.m_nConvertRatio, 1);
  EXPECT_EQ(s.m_strConvertPath, box.Folder() + "/appData/converted/");
  EXPECT_EQ(s.m_nConvertedNotify, 1);
  EXPECT_EQ(s.m_nDeleteOrigin, 0);
  EXPECT_EQ(s.m_nDlnaServer, 1);  // on, though the new file does not name it
}

TEST(AppSettings, FirstStartWritesNoAutostartEntry) {
  test::Sandbox box;
  ASSERT_TRUE(LoadSettings(true));
  EXPECT_FALSE(PathExists(box.Path(".xdg/config/autostart/BriselVRClient.desktop")));
}

TEST(AppSettings, MissingKeysReadTheirDefaultsAndAreNotAdded) {
  test::Sandbox box;
  box.WriteFile("config.ini", "[NormalSetting]\nExitWndType=2\n");
  ASSERT_TRUE(LoadSettings(true));
  const AppSettings& s = *theSettings;
  EXPECT_EQ(s.m_nAutoRun, 1);
  EXPECT_EQ(s.m_nAutoUpdate, 1);
  EXPECT_EQ(s.m_nExitWndType, 2);
  EXPECT_EQ(s.m_nKeepAwake, 1);
  EXPECT_EQ(s.m_strDefaultIp, "");
  EXPECT_EQ(s.m_nConvertRatio, 0) << "neither 1080P nor 2K";
  EXPECT_EQ(s.m_strConvertPath, "");
  EXPECT_EQ(s.m_nConvertedNotify, 1);
  EXPECT_EQ(s.m_nDeleteOrigin, 0);
  EXPECT_EQ(s.m_nDlnaServer, 1);
  EXPECT_EQ(box.ReadFile("config.ini"), "[NormalSetting]\nExitWndType=2\n");
  // A missing Base-AutoRun reads as 1, which registers autorun.
  EXPECT_NE(box.ReadFile(".xdg/config/autostart/BriselVRClient.desktop").find("Exec="),
            std::string::npos);
}

TEST(AppSettings, BadIntegersAndLongTexts) {
  test::Sandbox box;
  box.WriteFile("config.ini", test::ReadTestData("config-bad-integers-long-texts.ini"));
  ASSERT_TRUE(LoadSettings(false));
  EXPECT_EQ(theSettings->m_nExitWndType, 3);
  EXPECT_EQ(theSettings->m_nKeepAwake, 0);
  EXPECT_EQ(theSettings->m_strDefaultIp, "192.168.100.200.300");
  EXPECT_EQ(theSettings->m_strConvertPath.size(), 199u);
  EXPECT_EQ(theSettings->m_nConvertRatio, 2);
}

TEST(AppSettings, SaveWritesTheCurrentServiceAddressAndKeepsForeignKeys) {
  test::Sandbox box;
  box.WriteFile("config.ini",
                "[NormalSetting]\nUpdateBaseUrl=http://127.0.0.1:9/\nDefaultIP=10.0.0.1\n"
                "DlnaServer=0\n");
  ASSERT_TRUE(LoadSettings(false));
  EXPECT_EQ(theSettings->m_strUpdateBaseUrl, "http://127.0.0.1:9/");
  EXPECT_EQ(theSettings->m_nDlnaServer, 0);
  theSettings->m_nDlnaServer = 1;  // the file keeps what the user wrote
  SetServiceIp("192.168.1.23");
  theSettings->m_strConvertPath = "/videos/out";
  ASSERT_TRUE(SaveSettings());
  SetServiceIp("");
  EXPECT_EQ(box.ReadFile("config.ini"),
            "[NormalSetting]\nUpdateBaseUrl=http://127.0.0.1:9/\nDefaultIP=192.168.1.23\n"
            "DlnaServer=0\nBase-AutoRun=1\nBase-AutoUpdate=1\nExitWndType=1\nComSleep-UnSleep=1\n"
            "DeleteOrigin=0\n[VideoSetting]\nVideoConvert-Ratio=0\nConvertPath=/videos/out\n"
            "ConvertedNotify=1\n");
}

TEST(AppSettings, AFileThatCannotBeWrittenIsReportedAndTheValuesStayInMemory) {
  test::Sandbox box;
  {
    test::FileSizeLimit fullDisk(0);
    EXPECT_FALSE(LoadSettings(false));
  }
  EXPECT_EQ(theSettings->m_nExitWndType, 1);
  EXPECT_EQ(theSettings->m_strDefaultIp, "127.0.0.1");
  EXPECT_FALSE(PathExists(box.Path("config.ini")));
}

}  // namespace
}  // namespace brisel
