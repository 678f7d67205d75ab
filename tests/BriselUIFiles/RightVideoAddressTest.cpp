#include <gtest/gtest.h>

#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/RightVideoCore.h"
#include "ConService/Service.h"
#include "platform/MessageQueue.h"
#include "settings/ProgramValues.h"
#include "support/DailyLog.h"
#include "support/MessageLoop.h"
#include "support/PhoneClient.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

using namespace std::chrono_literals;

class StatusWindow : public RightVideoHost {
 public:
  void ControlsChanged() override {}
  void StatusChanged() override { ++statusChanges; }
  void ShowToast(int) override {}
  void AddFromDialog() override {}
  int statusChanges = 0;
};

// The page's service on loopback (the only network these tests see) and the page's message
// loop.
class SharePageLan : public ::testing::Test {
 protected:
  SharePageLan() {
    StartLogThread();
    EXPECT_EQ(service.SetServiceAddress("127.0.0.1"), 1);
    EXPECT_TRUE(service.WaitForServiceThreads(10s).udpRunning);
    SetServiceIp("127.0.0.1");
    page.SetFirstCountDelay(50ms);
    loop.Route(messages, [this](const Message& m) { page.HandleMessage(m); });
  }
  ~SharePageLan() override {
    page.Shutdown();
    StopLogThread();
  }
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 15s) {
    return loop.RunUntil(done, timeout);
  }
  // The log so far (the log thread is stopped and started again to flush it).
  std::string Log() {
    StopLogThread();
    std::string log = test::ReadTodaysLog(box);
    StartLogThread();
    return log;
  }

  test::Sandbox box;
  Service service;
  std::shared_ptr<MessageQueue> messages = std::make_shared<MessageQueue>();
  test::MessageLoop loop;
  StatusWindow window;
  RightVideoCore page{&service, &window, nullptr, messages};
};

TEST_F(SharePageLan, TwoPhonesThenOneCountsOne) {
  page.Start();
  test::PhoneClient first, second;
  ASSERT_TRUE(first.Connect("127.0.0.1"));
  ASSERT_TRUE(second.Connect("127.0.0.1"));
  ASSERT_TRUE(PumpUntil([&] { return page.DeviceCount() == 2; }));
  EXPECT_TRUE(page.Connected());
  const int repaints = window.statusChanges;
  first.Close();
  ASSERT_TRUE(PumpUntil([&] { return page.DeviceCount() == 1; }));
  EXPECT_GT(window.statusChanges, repaints) << "the header is repainted with the new count";
  second.Close();
  ASSERT_TRUE(PumpUntil([&] { return page.DeviceCount() == 0; }));
  EXPECT_FALSE(page.Connected());

  page.RaiseClosingFlags();
  EXPECT_FALSE(page.MonitorRunning());
  page.StartDeviceCountMonitor();
  EXPECT_FALSE(page.MonitorRunning()) << "a closing page starts no monitor";
}

TEST_F(SharePageLan, SwitchingMovesTheServiceAndLogsEachStep) {
  page.Start();
  page.HandleMessage(Message(WM_IP_CHOSEN, 1, 0, "127.0.0.2"));
  EXPECT_EQ(ServiceIp(), "127.0.0.2") << "the header shows the choice at once";
  EXPECT_TRUE(page.SwitchRunning());
  page.HandleMessage(Message(WM_IP_CHOSEN, 1, 0, "127.0.0.3"));  // ignored while switching
  ASSERT_TRUE(PumpUntil([&] { return !page.SwitchRunning(); }));
  EXPECT_EQ(service.ServiceAddress(), "127.0.0.2");
  EXPECT_TRUE(page.MonitorRunning());
  EXPECT_TRUE(service.WaitForServiceThreads(10s).udpRunning);
  test::PhoneClient phone;
  EXPECT_TRUE(phone.Connect("127.0.0.2"));
  ASSERT_TRUE(PumpUntil([&] { return page.DeviceCount() == 1; })) << "counting again";
  phone.Close();

  // The address in use: the switch fails, the service keeps running and is still counted.
  page.SwitchServiceAddress("127.0.0.2");
  ASSERT_TRUE(PumpUntil([&] { return !page.SwitchRunning(); }));
  EXPECT_EQ(service.ServiceAddress(), "127.0.0.2");
  EXPECT_NE(service.Flags() & SERVICE_UDP_RUNNING, 0u);
  EXPECT_TRUE(page.MonitorRunning());

  const std::string log = Log();
  const char* expected[] = {"(BriselUIFiles\\RightVideoDlg):切换服务，IP:127.0.0.2",
                            "(BriselUIFiles\\RightVideoDlg):切换服务成功，IP:127.0.0.2",
                            "(BriselUIFiles\\RightVideoDlg):重启服务，IP:127.0.0.2",
                            "(BriselUIFiles\\RightVideoDlg):切换服务，IP:127.0.0.2",
                            "(BriselUIFiles\\RightVideoDlg):切换服务失败，IP:127.0.0.2"};
  std::size_t at = 0;
  for (const char* line : expected) {
    at = log.find(line, at);
    ASSERT_NE(at, std::string::npos) << line << "\n" << log;
    ++at;
  }
  EXPECT_EQ(log.find("127.0.0.3"), std::string::npos);
}

TEST_F(SharePageLan, ShutdownWaitsForARunningSwitch) {
  page.SwitchServiceAddress("127.0.0.2");
  page.Shutdown();
  EXPECT_FALSE(page.SwitchRunning());
  EXPECT_EQ(service.ServiceAddress(), "127.0.0.2");
  page.SwitchServiceAddress("127.0.0.3");  // after the closing flags: ignored
  EXPECT_FALSE(page.SwitchRunning());
}

}  // namespace
}  // namespace brisel
