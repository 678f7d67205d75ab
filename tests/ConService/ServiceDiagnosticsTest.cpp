#include "ConService/ServiceDiagnostics.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace brisel {
namespace {

using namespace std::chrono_literals;

// Diagnostics into a pipe of this test, switched back to standard output and off at the end.
class ServiceDiagnosticsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(pipe2(m_pipe, O_CLOEXEC), 0);
    SetServiceDiagnosticsOutputForTesting(m_pipe[1]);
  }
  void TearDown() override {
    SetServiceDiagnosticsEnabled(false);
    FlushServiceDiagnostics(5s);
    SetServiceDiagnosticsOutputForTesting(STDOUT_FILENO);
    close(m_pipe[0]);
    close(m_pipe[1]);
  }
  // What the pipe holds now.
  std::string Drain() {
    std::string out;
    char buffer[65536];
    fcntl(m_pipe[0], F_SETFL, O_NONBLOCK);
    for (ssize_t n; (n = read(m_pipe[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
    return out;
  }

  int m_pipe[2] = {-1, -1};
};

TEST_F(ServiceDiagnosticsTest, NothingIsWrittenUnlessSwitchedOn) {
  ServiceDiagnostic("the client is connect!: %s socket %d\n", "1.2.3.4:5", 7);
  const std::uint8_t request[11] = {'q', 'm', 't', 'k', 1};
  ServiceHexDump("请求数据", request, sizeof request);
  ASSERT_TRUE(FlushServiceDiagnostics(5s));
  EXPECT_EQ(Drain(), "");

  SetServiceDiagnosticsEnabled(true);
  ServiceDiagnostic("the client is connect!: %s socket %d\n", "1.2.3.4:5", 7);
  ServiceHexDump("请求数据", request, sizeof request);
  ASSERT_TRUE(FlushServiceDiagnostics(5s));
  EXPECT_EQ(Drain(),
            "the client is connect!: 1.2.3.4:5 socket 7\n"
            "请求数据 (11 bytes): 71 6d 74 6b 01 00 00 00 00 00 00\n");
}

// Nobody reads the pipe: writing goes on at full speed, what does not fit is dropped, and the
// reader learns how much once it reads again.
TEST_F(ServiceDiagnosticsTest, AFullOutputDropsLinesInsteadOfBlocking) {
  SetServiceDiagnosticsEnabled(true);
  const std::uint64_t droppedBefore = DroppedServiceDiagnostics();
  const std::uint8_t request[64] = {};
  const int kLines = 20000;  // about 3 MB of dumps
  for (int i = 0; i < kLines; ++i) ServiceHexDump("请求数据", request, sizeof request);
  const std::uint64_t dropped = DroppedServiceDiagnostics() - droppedBefore;
  EXPECT_GT(dropped, 0u);

  std::string out;
  auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!FlushServiceDiagnostics(10ms) && std::chrono::steady_clock::now() < deadline)
    out += Drain();
  out += Drain();
  ServiceDiagnostic("after\n");  // the note comes before the next line at the latest
  ASSERT_TRUE(FlushServiceDiagnostics(5s));
  out += Drain();
  // What was kept: at most a full pipe and a full queue, and a note of what was not.
  EXPECT_LT(out.size(), 1024 * 1024u);
  EXPECT_NE(out.find(" diagnostic lines dropped)\n"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 6), "after\n");
}

}  // namespace
}  // namespace brisel
