#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>

#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "support/PrivateNetwork.h"
#include "support/ProcessHelpers.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

// The real program, copied into a sandbox folder so that folder is its program folder, with
// the offscreen platform.
class Program : public ::testing::Test {
 protected:
  void SetUp() override {
    // The program broadcasts on the subnet of the first interface it finds.
    if (!test::OnlyLoopbackNetwork()) GTEST_SKIP() << "needs a private network namespace";
    exe_ = box_.Path("BriselVRClient");
    std::filesystem::copy_file(test::BuiltProgram("BriselVRClient"), exe_);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  std::string TodaysLog() {
    std::time_t t = std::time(nullptr);
    char name[32];
    std::strftime(name, sizeof name, "ZADLog/%Y-%m-%d.log", std::localtime(&t));
    return GbkToUtf8(box_.ReadFile(name));
  }
  test::Sandbox box_;
  std::string exe_;
};

TEST_F(Program, StartsOnceWritesItsFilesAndEndsCleanlyOnSigterm) {
  ChildProcess first;
  ASSERT_TRUE(first.Start({exe_}));
  ASSERT_TRUE(test::WaitFor([&] { return TodaysLog().find("开启服务") != std::string::npos; }))
      << TodaysLog();
  EXPECT_TRUE(PathExists(box_.Path("config.ini")));
  EXPECT_TRUE(IsDirectory(box_.Path("file_root/image")));
  EXPECT_TRUE(IsDirectory(box_.Path("appData/converted")));
  EXPECT_NE(TodaysLog().find(
                "|:(BriselDataManager\\LogRecorder):初始化线程：NetLogMgrThread .（success）"),
            std::string::npos);

  // A second copy ends at once, silently, and leaves the first one running.
  auto start = std::chrono::steady_clock::now();
  ProcessResult second = RunProcess({exe_}, 10000);
  EXPECT_EQ(second.exitCode, 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_TRUE(first.Running());

  first.Kill(SIGTERM);
  ASSERT_TRUE(first.Wait(10000));
  EXPECT_EQ(first.ExitCode(), 0);
  EXPECT_NE(TodaysLog().find("NetLogMgrThread exit！dwThreadRtnCode:0\r\n"), std::string::npos);
}

}  // namespace
}  // namespace brisel
