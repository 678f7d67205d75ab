#include <gtest/gtest.h>

#include <functional>

#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/PagesShutdown.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "ConService/Service.h"
#include "app/BriselVRClientCore.h"
#include "platform/FileSystem.h"
#include "platform/KeepAwake.h"
#include "platform/NetworkAdapters.h"
#include "platform/Notifications.h"
#include "platform/TextCodec.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"
#include "support/FakeConverter.h"
#include "support/Sandbox.h"
#include "support/SilentLibraryHost.h"

namespace brisel {
namespace {

class ClientCore : public ::testing::Test {
 protected:
  void TearDown() override { SetAdapterSourceForTesting(nullptr); }
  static void UseAdapters(std::vector<AdapterInfo> adapters) {
    SetAdapterSourceForTesting([adapters] { return adapters; });
  }
  test::Sandbox box;
};

TEST_F(ClientCore, FoldersOfAFirstStart) {
  BriselVRClientCore core(ProgramSettings());
  ASSERT_TRUE(core.PrepareFolders(false));
  for (const char* folder : {"appData", "appData/converted", "file_root", "file_root/image"})
    EXPECT_TRUE(IsDirectory(box.Path(folder))) << folder;
  EXPECT_FALSE(PathExists(box.Path("appData/download"))) << "named, not created";
  EXPECT_EQ(ConvertFolder(), box.Folder() + "/appData/converted/");
  EXPECT_EQ(DownloadFolder(), box.Folder() + "/appData/download/");
}

TEST_F(ClientCore, AnEmptyOutputFolderSettingMeansTheDefaultFolder) {
  box.WriteFile("config.ini", "[VideoSetting]\nConvertPath=\n");
  BriselVRClientCore core(ProgramSettings());
  ASSERT_TRUE(core.PrepareFolders(false));
  EXPECT_EQ(ConvertFolder(), box.Folder() + "/appData/converted/");
  EXPECT_TRUE(IsDirectory(box.Path("appData/converted")));
}

TEST_F(ClientCore, AConfiguredOutputFolderIsUsedAndNothingIsCreatedForIt) {
  std::string out = box.Path("videos/out");
  CreateDirectories(out);
  box.WriteFile("config.ini", "[VideoSetting]\nConvertPath=" + out + "\n");
  BriselVRClientCore core(ProgramSettings());
  ASSERT_TRUE(core.PrepareFolders(false));
  EXPECT_EQ(ConvertFolder(), out);
  EXPECT_FALSE(PathExists(box.Path("appData")));
  EXPECT_TRUE(IsDirectory(box.Path("file_root/image")));
}

// The user's choices are stored in one place: each changes its field and saves the whole file
// at once; the keep-awake request follows its setting, except in the picture tool's sandbox.
TEST_F(ClientCore, ChoicesAreStoredAndSavedAtOnce) {
  KeepAwake::SetInhibitCommandForTesting({"env"});  // a stand-in inhibitor that just waits
  BriselVRClientCore core(ProgramSettings());
  ASSERT_TRUE(core.PrepareFolders(false));
  const struct {
    const char* what;
    std::function<void()> choose;
    const char* line;
    bool held;
  } cases[] = {
      {"2K picture", [&] { core.SetConvertRatio(2); }, "\nVideoConvert-Ratio=2\n", false},
      {"hide on close", [&] { core.SetExitWndType(2); }, "\nExitWndType=2\n", false},
      {"keep awake", [&] { core.SetKeepAwake(true); }, "\nComSleep-UnSleep=1\n", true},
      {"may sleep", [&] { core.SetKeepAwake(false); }, "\nComSleep-UnSleep=0\n", false},
  };
  for (const auto& c : cases) {
    c.choose();
    EXPECT_NE(box.ReadFile("config.ini").find(c.line), std::string::npos) << c.what;
    EXPECT_EQ(KeepAwake::IsHeld(), c.held) << c.what;
  }
  EXPECT_EQ(core.Settings().m_nConvertRatio, 2);
  EXPECT_EQ(core.Settings().m_nExitWndType, 2);
  EXPECT_EQ(core.Settings().m_nKeepAwake, 0);
  EXPECT_EQ(theSettings, &core.Settings()) << "the window's record is the program's";

  core.SetSandboxed(true);
  core.SetKeepAwake(true);
  EXPECT_NE(box.ReadFile("config.ini").find("\nComSleep-UnSleep=1\n"), std::string::npos);
  EXPECT_FALSE(KeepAwake::IsHeld()) << "the sandbox holds no request";
  KeepAwake::SetInhibitCommandForTesting({});
}

TEST_F(ClientCore, ServiceAddressIsTheFirstUsableAddress) {
  UseAdapters({{"eth0", {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, {"0.0.0.0"}},
               {"wlan0", {0x02, 0, 0, 0, 0, 0x01}, {"192.0.2.1", "192.0.2.9"}}});
  BriselVRClientCore core(ProgramSettings());
  core.StartLanService();
  EXPECT_EQ(ServiceIp(), "192.0.2.1");
  EXPECT_EQ(LocalMac(), "00:1A:2B:3C:4D:5E") << "the first adapter's, even without an address";
  EXPECT_EQ(core.LocalIpList().size(), 2u);
}

TEST_F(ClientCore, NoUsableAddressLeavesTheServiceStoppedAndSaysSo) {
  UseAdapters({{"eth0", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, {"0.0.0.0"}}});
  {
    BriselVRClientCore core(ProgramSettings());
    core.Startup(false);
    EXPECT_EQ(ServiceIp(), "");
  }  // shutdown writes the queued lines
  std::string log = GbkToUtf8(box.ReadFile("ZADLog/" + [] {
    std::time_t t = std::time(nullptr);
    char name[32];
    std::strftime(name, sizeof name, "%Y-%m-%d.log", std::localtime(&t));
    return std::string(name);
  }()));
  EXPECT_NE(
      log.find("|:(BriselDataManager\\LogRecorder):初始化线程：NetLogMgrThread .（success）\r\n"),
      std::string::npos)
      << log;
  EXPECT_NE(
      log.find("|:(BriselVRClientDlg):portable layout: program folder " + box.Folder() + "\r\n"),
      std::string::npos)
      << log;
  EXPECT_NE(log.find("|:(BriselVRClientDlg):开启服务失败\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("NetLogMgrThread exit！dwThreadRtnCode:0\r\n"), std::string::npos) << log;
}

TEST(CloseRequest, ExitWindowTypeDecides) {
  EXPECT_EQ(DecideCloseAction(1), CloseAction::Ask);
  EXPECT_EQ(DecideCloseAction(2), CloseAction::HideToTray);
  EXPECT_EQ(DecideCloseAction(3), CloseAction::Quit);
  EXPECT_EQ(DecideCloseAction(0), CloseAction::Nothing);
  EXPECT_EQ(DecideCloseAction(4), CloseAction::Nothing);
  EXPECT_EQ(ActionForExitPromptResult(NOTIFY_RUN_HIDDEN), CloseAction::HideToTray);
  EXPECT_EQ(ActionForExitPromptResult(NOTIFY_QUIT), CloseAction::Quit);
  EXPECT_EQ(ActionForExitPromptResult(NOTIFY_CLOSED), CloseAction::Nothing);
  EXPECT_EQ(ActionForExitPromptResult(NOTIFY_NO_CHOICE), CloseAction::Nothing);
}

// The video list's probe and thumbnail threads call the Service: the pages end them while
// the Service (and the log thread) still exist, and only then does the Service go.
TEST_F(ClientCore, ShutdownEndsThePagesThreadsBeforeTheService) {
  test::FakeConverter converter(box.Folder(), "hang");  // the thumbnail grab never ends
  ASSERT_TRUE(LoadSettings(false));
  BriselVRClientCore core(ProgramSettings());
  core.Startup(false);
  ASSERT_NE(core.GetService(), nullptr);

  using NoWindows = test::SilentLibraryHost;
  NoWindows host;
  struct Pages : PagesShutdown {
    Pages(BriselVRClientCore& c, NoWindows* h)
        : core(c), library(&c.GetService()->Catalogue(), h, h) {}
    void ShutdownPages() override {
      serviceAlive = core.GetService() != nullptr;
      logged = WriteLog("pages shut down", "test");
      library.Shutdown();
    }
    BriselVRClientCore& core;
    VideoWndListCore library;
    bool serviceAlive = false, logged = false;
  } pages(core, &host);

  const std::string video = box.WriteFile("videos/a.mp4", "not really a video");
  ASSERT_EQ(pages.library.AddDropped({video}), 1u);
  ASSERT_TRUE(test::WaitFor([&] { return test::ProcessAlive(converter.Pid()); }))
      << "the grab runs";
  const pid_t grab = converter.Pid();

  core.Shutdown(&pages);
  EXPECT_TRUE(pages.serviceAlive);
  EXPECT_TRUE(pages.logged) << "the log thread still ran";
  EXPECT_EQ(core.GetService(), nullptr);
  EXPECT_FALSE(test::ProcessAlive(grab));
  core.Shutdown(&pages);  // once only
}

}  // namespace
}  // namespace brisel
