#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "platform/Autorun.h"
#include "platform/FileSystem.h"
#include "platform/KeepAwake.h"
#include "platform/SingleInstance.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

TEST(SingleInstance, SecondLockFailsUntilTheFirstIsReleased) {
  test::Sandbox box;  // XDG_RUNTIME_DIR inside the sandbox
  auto first = std::make_unique<SingleInstanceLock>();
  ASSERT_TRUE(first->Acquired());
  EXPECT_EQ(first->LockPath(), box.Path(".xdg/runtime/BriselVRClient.exe.lock"));
  EXPECT_FALSE(SingleInstanceLock().Acquired());
  first.reset();
  EXPECT_TRUE(SingleInstanceLock().Acquired());
}

TEST(Autorun, EntryInXdgAutostartNamesTheExecutable) {
  test::Sandbox box;
  ASSERT_TRUE(WriteAutostartEntry("/opt/Brisel VR/BriselVRClient"));
  std::string entry = box.ReadFile(".xdg/config/autostart/BriselVRClient.desktop");
  EXPECT_NE(entry.find("[Desktop Entry]\n"), std::string::npos);
  EXPECT_NE(entry.find("\nExec=\"/opt/Brisel VR/BriselVRClient\"\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
}

class KeepAwakeTest : public ::testing::Test {
 protected:
  void TearDown() override {
    KeepAwake::Apply(false);
    KeepAwake::SetInhibitCommandForTesting({});
  }
};

TEST_F(KeepAwakeTest, HoldsTheInhibitorUntilReleased) {
  test::Sandbox box;
  std::string marker = box.Path("held");
  // A stand-in inhibitor: records that it runs, then runs the held command like the real one.
  KeepAwake::SetInhibitCommandForTesting(
      {"sh", "-c", "touch '" + marker + "'; exec \"$@\"", "fake-inhibit"});
  EXPECT_EQ(KeepAwake::Apply(true), KeepAwake::Result::Held);
  EXPECT_TRUE(test::WaitFor([&] { return PathExists(marker); }));
  EXPECT_TRUE(KeepAwake::IsHeld());
  EXPECT_EQ(KeepAwake::Apply(true), KeepAwake::Result::Held) << "idempotent";
  EXPECT_EQ(KeepAwake::Apply(false), KeepAwake::Result::Released);
  EXPECT_FALSE(KeepAwake::IsHeld());
}

TEST_F(KeepAwakeTest, AnInhibitorThatFailsAtOnceIsUnavailable) {
  KeepAwake::SetInhibitCommandForTesting({"sh", "-c", "exit 1", "failing-inhibit"});
  EXPECT_EQ(KeepAwake::Apply(true), KeepAwake::Result::Unavailable);
  EXPECT_FALSE(KeepAwake::IsHeld());
}

}  // namespace
}  // namespace brisel
