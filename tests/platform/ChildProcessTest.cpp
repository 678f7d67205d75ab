#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "platform/ChildProcess.h"
#include "support/FakeConverter.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

TEST(ChildProcess, OnePipeCarriesStdoutAndStderrAndStdinIsEmpty) {
  ProcessResult r = RunProcess({"sh", "-c", "echo out; echo err >&2; cat; echo done"}, 10000);
  ASSERT_TRUE(r.started);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, "out\nerr\ndone\n") << "cat must see /dev/null, not the terminal";
}

TEST(ChildProcess, ExitStatusAndSignalAreReported) {
  EXPECT_EQ(RunProcess({"sh", "-c", "exit 3"}).exitCode, 3);
  ChildProcess child;
  ASSERT_TRUE(child.Start({"sleep", "30"}));
  child.Kill(SIGKILL);
  ASSERT_TRUE(child.Wait(5000));
  EXPECT_TRUE(child.Signaled());
  EXPECT_EQ(child.ExitCode(), -1);
}

TEST(ChildProcess, MissingProgramFailsToStart) {
  ChildProcess child;
  std::string error;
  EXPECT_FALSE(child.Start({"/nonexistent/converter"}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(RunProcess({"no-such-program-here"}).started);
}

TEST(ChildProcess, KillEndsOnlyThatChild) {
  ChildProcess a, b;
  ASSERT_TRUE(a.Start({"sleep", "30"}));
  ASSERT_TRUE(b.Start({"sleep", "30"}));
  a.Kill(SIGTERM);
  EXPECT_TRUE(a.Wait(5000));
  EXPECT_TRUE(b.Running());
  // A reaped child is never signalled again (its pid may belong to someone else by now).
  a.Kill(SIGKILL);
  EXPECT_EQ(kill(b.Pid(), 0), 0);
}

TEST(ChildProcess, ReadTimesOutWhileTheChildIsSilent) {
  ChildProcess child;
  ASSERT_TRUE(child.Start({"sh", "-c", "sleep 0.3; printf late"}));
  std::string out;
  EXPECT_EQ(child.Read(&out, 50), ChildProcess::ReadResult::Timeout);
  ChildProcess::ReadResult r;
  while ((r = child.Read(&out, 2000)) == ChildProcess::ReadResult::Data) {
  }
  EXPECT_EQ(r, ChildProcess::ReadResult::End);
  EXPECT_EQ(out, "late");
  EXPECT_TRUE(child.Wait(5000));
  EXPECT_EQ(child.ExitCode(), 0);
}

TEST(ChildProcess, DestroyingTheOwnerEndsARunningChild) {
  pid_t pid;
  {
    ChildProcess child;
    ASSERT_TRUE(child.Start({"sleep", "30"}));
    pid = child.Pid();
  }
  EXPECT_NE(kill(pid, 0), 0) << "no child outlives its owner";
}

// A child never outlives the program, however it ends: kill -9 leaves the program no chance
// to end its children itself, so the kernel must.
TEST(ChildProcess, AChildDiesWithAProgramThatIsKilled) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t program = fork();
  ASSERT_GE(program, 0);
  if (program == 0) {
    ChildProcess child;
    if (!child.Start({"sleep", "60"})) _exit(1);
    const pid_t pid = child.Pid();
    if (write(report[1], &pid, sizeof pid) != sizeof pid) _exit(1);
    pause();
    _exit(0);
  }
  close(report[1]);
  pid_t child = -1;
  ASSERT_EQ(read(report[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
  close(report[0]);
  ASSERT_TRUE(test::ProcessAlive(child));
  kill(program, SIGKILL);
  waitpid(program, nullptr, 0);
  EXPECT_TRUE(test::WaitFor([&] { return !test::ProcessAlive(child); }, std::chrono::seconds(2)));
}

TEST(ChildProcess, RunProcessEnforcesItsTimeout) {
  auto start = std::chrono::steady_clock::now();
  ProcessResult r = RunProcess({"sleep", "30"}, 200);
  EXPECT_TRUE(r.timedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ChildProcess, ChildIsInItsOwnProcessGroupWithDefaultSignals) {
  signal(SIGINT, SIG_IGN);
  // Prints "<pid> <process group>", then sends itself SIGINT, which must not be ignored.
  ProcessResult r = RunProcess(
      {"sh", "-c", "echo $$ $(cut -d' ' -f5 /proc/$$/stat); kill -INT $$; echo survived"});
  signal(SIGINT, SIG_DFL);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, -1) << r.output;
  EXPECT_EQ(r.output.find("survived"), std::string::npos);
  std::istringstream fields(r.output);
  long pid = 0, group = 0;
  fields >> pid >> group;
  EXPECT_EQ(pid, group) << "the child leads its own process group";
  EXPECT_NE(group, static_cast<long>(getpgrp()));
}

}  // namespace
}  // namespace brisel
