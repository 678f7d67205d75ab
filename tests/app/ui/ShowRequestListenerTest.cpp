#include "app/ui/ShowRequestListener.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSignalSpy>

#include <cstring>

#include "app/ui/BriselVRClientDlg.h"
#include "platform/FileSystem.h"
#include "platform/SingleInstance.h"
#include "settings/AppSettings.h"
#include "support/Sandbox.h"
#include "support/ui/UiEvents.h"

namespace brisel {
namespace {

// Sends `bytes` to the socket at `path` and closes, as a stranger might.
void SendRaw(const std::string& path, const std::string& bytes) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  close(fd);
}

TEST(SecondCopy, BringsTheRunningCopysWindowBack) {
  test::Sandbox box;  // its own XDG_RUNTIME_DIR: lock and socket live there
  ASSERT_TRUE(LoadSettings(false));
  SingleInstanceLock running;
  ASSERT_TRUE(running.Acquired());
  const std::string path = running.ShowRequestPath();
  const std::string lock = running.LockPath();
  EXPECT_EQ(path, lock.substr(0, lock.rfind('/')) + "/BriselVRClient.exe.sock") << "beside it";
  // Nobody listens yet (or any more, after a crash): the second copy just ends.
  EXPECT_FALSE(SingleInstanceLock::AskRunningCopyToShow(path));
  ASSERT_TRUE(WriteFileAtomically(path, "left behind"));

  CBriselVRClientDlg dlg(ProgramSettings());
  ShowRequestListener listener;
  ASSERT_TRUE(listener.Listen(QString::fromStdString(path)));
  QObject::connect(&listener, &ShowRequestListener::ShowRequested, &dlg,
                   &CBriselVRClientDlg::BringToFront);
  QSignalSpy requests(&listener, &ShowRequestListener::ShowRequested);

  for (bool minimised : {false, true}) {
    if (minimised)
      dlg.showMinimized();
    else
      dlg.hide();
    SingleInstanceLock second;
    EXPECT_FALSE(second.Acquired());
    EXPECT_TRUE(SingleInstanceLock::AskRunningCopyToShow(second.ShowRequestPath()));
    EXPECT_TRUE(test::RunEventsUntil([&] { return dlg.isVisible() && !dlg.isMinimized(); }))
        << minimised;
  }
  EXPECT_EQ(requests.count(), 2);

  // Anything else on the socket is ignored, and the listener goes on listening.
  SendRaw(path, "hello, anything there?");
  SendRaw(path, "sh");
  EXPECT_TRUE(SingleInstanceLock::AskRunningCopyToShow(path));
  EXPECT_TRUE(test::RunEventsUntil([&] { return requests.count() == 3; }));
  test::DeliverPosted();
  EXPECT_EQ(requests.count(), 3);
}

}  // namespace
}  // namespace brisel
