#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "BriselDataManager/LogRecorder.h"
#include "ConService/Service.h"
#include "app/BriselVRClientCore.h"
#include "platform/FileSystem.h"
#include "platform/NetworkAdapters.h"
#include "platform/TextCodec.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"
#include "support/PhoneClient.h"
#include "support/RecordingTarget.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

class LanStartupTest : public ::testing::Test {
 protected:
  void TearDown() override { SetAdapterSourceForTesting({}); }

  void Adapters(std::vector<std::string> addresses) {
    SetAdapterSourceForTesting([addresses] {
      AdapterInfo adapter;
      adapter.name = "test0";
      adapter.hardwareAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
      adapter.ipv4 = addresses;
      return std::vector<AdapterInfo>{adapter};
    });
  }
  std::string TodaysLog() {
    char day[32];
    std::time_t now = std::time(nullptr);
    std::strftime(day, sizeof day, "%Y-%m-%d", std::localtime(&now));
    return GbkToUtf8(sandbox.ReadFile(std::string("ZADLog/") + day + ".log"));
  }

  test::Sandbox sandbox;
};

TEST_F(LanStartupTest, StartupRunsTheServiceWithTheCatalogueAndShutdownRewritesIt) {
  const std::string video = sandbox.WriteFile("videos/a.mp4", "video");
  std::string key;
  {
    ShareCatalogue earlier;
    earlier.AddShareRecord(video, 1, &key);
  }
  Adapters({"127.0.0.1"});
  auto window = test::RecordingTarget::Create();
  {
    BriselVRClientCore core(ProgramSettings());
    core.SetMainWindowTarget(window);
    core.Startup(false);
    EXPECT_EQ(ServiceIp(), "127.0.0.1");
    EXPECT_EQ(LocalMac(), "00:1A:2B:3C:4D:5E");
    ASSERT_NE(core.GetService(), nullptr);
    Service::ThreadsState state = core.GetService()->WaitForServiceThreads(std::chrono::seconds(5));
    ASSERT_TRUE(state.udpRunning && state.httpRunning) << state.udpError << state.httpError;

    test::PhoneClient phone;
    ASSERT_TRUE(phone.Connect("127.0.0.1"));
    test::PhoneListReply reply = phone.RequestList(1, 0);
    ASSERT_EQ(reply.entries.size(), 1u);
    EXPECT_EQ(reply.entries[0].key, key);
    EXPECT_TRUE(test::WaitFor([&] { return core.GetService()->ConnectedClientCount() == 1; }));

    // A vanished video reaches the main window as WM_SHARE_FILE_STATUS_1.
    RemoveFile(video);
    core.GetService()->Catalogue().SetPresenceRetestInterval(std::chrono::milliseconds(0));
    reply = phone.RequestList(1, reply.stamp);
    EXPECT_EQ(reply.entries.at(0).hasVideo, 0);
    ASSERT_TRUE(window->WaitForCount(1, std::chrono::seconds(5), WM_SHARE_FILE_STATUS_1));
    EXPECT_EQ(window->Messages(WM_SHARE_FILE_STATUS_1)[0].text, video);
    EXPECT_EQ(window->Messages(WM_SHARE_FILE_STATUS_1)[0].wParam, 0);
    core.Shutdown();
    EXPECT_EQ(core.GetService(), nullptr);
    EXPECT_TRUE(phone.WaitForClose());
  }
  test::PhoneClient late;
  EXPECT_FALSE(late.Connect("127.0.0.1"));
  EXPECT_EQ(sandbox.ReadFile("file_root/" + key)[5], 0);  // rewritten with has video 0
  EXPECT_NE(TodaysLog().find("(BriselVRClientDlg):开启服务成功"), std::string::npos);
}

TEST_F(LanStartupTest, NoAddressLeavesTheServiceStoppedAndLogsTheFailure) {
  Adapters({"0.0.0.0"});
  BriselVRClientCore core(ProgramSettings());
  core.Startup(false);
  EXPECT_EQ(ServiceIp(), "");
  ASSERT_NE(core.GetService(), nullptr);  // the catalogue is there for the pages
  EXPECT_EQ(core.GetService()->Flags(), 0u);
  core.Shutdown();
  EXPECT_NE(TodaysLog().find("(BriselVRClientDlg):开启服务失败"), std::string::npos);
}

}  // namespace
}  // namespace brisel
