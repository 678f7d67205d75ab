#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <map>

#include "BriselUIFiles/ConvertTask.h"
#include "BriselUIFiles/QueueFile.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "support/FakeConverter.h"
#include "support/LavfiClip.h"
#include "support/ProcessHelpers.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

using namespace std::chrono_literals;

// `briselvr convert` as a user runs it, on a sandbox program folder.
class ConvertCommandTest : public ::testing::Test {
 protected:
  ProcessResult Convert(const std::vector<std::string>& files) {
    std::vector<std::string> args = {"convert"};
    args.insert(args.end(), files.begin(), files.end());
    return test::RunBriselvr(sandbox.Folder(), args, 120000);
  }
  std::string Clip(const std::string& name, const test::ClipSpec& spec = {}) {
    CreateDirectories(sandbox.Path("clips"));
    std::string path = sandbox.Path("clips/" + name);
    EXPECT_TRUE(test::MakeLavfiClip(path, spec));
    return path;
  }

  test::Sandbox sandbox;
};

TEST_F(ConvertCommandTest, ConvertsARealClipIntoTheDefaultFolder) {
  const std::string clip = Clip("clip.avi", {640, 360, 3});
  ProcessResult r = Convert({clip});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  const std::string output = sandbox.Path("appData/converted/clip.mp4");
  EXPECT_NE(r.output.find("[1/1] clip.avi (3D-1080P, 640x360, "), std::string::npos) << r.output;
  EXPECT_NE(r.output.find(": 100 %\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("TASK_DONE\t" + output + "\n"), std::string::npos) << r.output;

  auto media = test::ProbeMedia(output);
  ASSERT_TRUE(media);
  EXPECT_EQ(media->videoCodec, "h264");
  EXPECT_EQ(media->width, 640);
  EXPECT_EQ(media->height, 360);
  EXPECT_EQ(media->audioCodec, "aac");
  // The bitrate the task chose, as its progress line shows it, is what the encoder aimed at.
  std::size_t at = r.output.find("640x360, ");
  ASSERT_NE(at, std::string::npos);
  const double chosenK = std::stod(r.output.substr(at + 9));
  EXPECT_NEAR(media->videoBitRate / 1000.0, chosenK, chosenK * 0.25);

  auto saved = ReadQueueFile(sandbox.Path("ConvertList.xml"));
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->size(), 1u);
  EXPECT_EQ((*saved)[0].VideoName, "clip.avi");
  EXPECT_EQ((*saved)[0].VideoPath, output);
  EXPECT_EQ((*saved)[0].VideoTime, "3000");
  EXPECT_EQ((*saved)[0].VideoWidth, "640");
  EXPECT_EQ((*saved)[0].VideoConvertType, 3);
  EXPECT_EQ(sandbox.ReadFile("ConvertList.xml").rfind("<ConvertList><Item0 VideoName=", 0), 0u);
}

// File names are bytes: a clip whose name is no UTF-8 text is measured and converted like any.
TEST_F(ConvertCommandTest, AClipWhoseNameIsNotUtf8IsConverted) {
  const std::string clip = Clip("cl\xff\xfeip.avi", {160, 120, 1});
  ProcessResult r = Convert({clip});
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_NE(r.output.find("(3D-1080P, 160x120, "), std::string::npos) << r.output;
  const std::string output = sandbox.Path("appData/converted/cl\xff\xfeip.mp4");
  EXPECT_NE(r.output.find("TASK_DONE\t" + output + "\n"), std::string::npos) << r.output;
  auto media = test::ProbeMedia(output);
  ASSERT_TRUE(media);
  EXPECT_EQ(media->videoCodec, "h264");
  EXPECT_EQ(media->width, 160);
}

TEST_F(ConvertCommandTest, AFailingConverterFailsTheTask) {
  test::FakeConverter converter(sandbox.Folder(), "fail-after-progress");
  sandbox.WriteFile("ConvertList.xml",
                    "<ConvertList><Item0 VideoName=\"old.avi\" VideoPath=\"/out/old.mp4\" "
                    "VideoConvertType=\"3\"/></ConvertList>");
  ProcessResult r = Convert({Clip("a.avi", {160, 120, 1})});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("TASK_FAILED\t" + sandbox.Path("appData/converted/a.mp4")),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find("a.avi: the converter exited with status 1"), std::string::npos)
      << r.output;
  // The earlier finished task is kept, and the failed one is stored with its source.
  auto saved = ReadQueueFile(sandbox.Path("ConvertList.xml"));
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->size(), 2u);
  EXPECT_EQ((*saved)[0].VideoName, "a.avi");
  EXPECT_EQ((*saved)[0].VideoPath, sandbox.Path("clips/a.avi"));
  EXPECT_EQ((*saved)[0].VideoConvertType, TASK_FAILED);
  EXPECT_EQ((*saved)[1].VideoName, "old.avi");
}

TEST_F(ConvertCommandTest, InterruptStopsTheRunningTaskAndDropsTheWaitingOnes) {
  test::FakeConverter converter(sandbox.Folder(), "progress-then-hang");
  const std::string a = Clip("a.avi", {160, 120, 1}), b = Clip("b.avi", {160, 120, 1});
  ChildProcess cli;
  ASSERT_TRUE(cli.Start(
      {test::BuiltProgram("briselvr"), "--program-folder", sandbox.Folder(), "convert", a, b}));
  std::string output;
  auto deadline = std::chrono::steady_clock::now() + 20s;
  while (output.find("a.avi") == std::string::npos && std::chrono::steady_clock::now() < deadline)
    cli.Read(&output, 100);
  ASSERT_NE(output.find("[1/2] a.avi"), std::string::npos) << output;
  // The task shows its progress line as soon as it starts, which may be before the converter
  // has written its pid.
  pid_t converterPid = -1;
  ASSERT_TRUE(test::WaitFor([&] { return test::ProcessAlive(converterPid = converter.Pid()); }));

  cli.Kill(SIGINT);
  while (cli.Read(&output, 1000) != ChildProcess::ReadResult::End) {
  }
  ASSERT_TRUE(cli.Wait(10000));
  EXPECT_EQ(cli.ExitCode(), 1) << output;
  EXPECT_NE(output.find("TASK_CANCELLED\t" + sandbox.Path("appData/converted/a.mp4")),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("TASK_WAITING\t\n"), std::string::npos) << output;
  EXPECT_FALSE(test::ProcessAlive(converterPid));
  EXPECT_FALSE(PathExists(sandbox.Path("appData/converted/a.mp4")));
  EXPECT_FALSE(PathExists(sandbox.Path("appData/converted/b.mp4")));
}

// kill -9 leaves the command no chance to end its converter: the kernel ends it at once. The
// killed run's partial output does not keep the video from being converted again.
TEST_F(ConvertCommandTest, AKilledRunLeavesNoConverterAndDoesNotBlockTheNext) {
  const std::string clip = Clip("clip.avi", {320, 240, 40});
  ChildProcess cli;
  ASSERT_TRUE(cli.Start(
      {test::BuiltProgram("briselvr"), "--program-folder", sandbox.Folder(), "convert", clip}));
  // Once the converter reports progress, it has written part of its output.
  std::string output;
  auto deadline = std::chrono::steady_clock::now() + 60s;
  while (output.find("): 0 %") == std::string::npos ||
         output.find(" %", output.find("): 0 %") + 6) == std::string::npos) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << output;
    ASSERT_NE(cli.Read(&output, 100), ChildProcess::ReadResult::End) << output;
  }
  const std::vector<pid_t> converters = test::ChildProcessesOf(cli.Pid(), {clip});
  ASSERT_EQ(converters.size(), 1u);
  cli.Kill(SIGKILL);
  ASSERT_TRUE(cli.Wait(5000));
  EXPECT_TRUE(test::WaitFor([&] { return !test::ProcessAlive(converters[0]); }, 2s));

  ProcessResult again = Convert({clip});
  ASSERT_EQ(again.exitCode, 0) << again.output;
  const std::string converted = sandbox.Path("appData/converted/clip.mp4");
  EXPECT_NE(again.output.find("TASK_DONE\t" + converted + "\n"), std::string::npos) << again.output;
  auto media = test::ProbeMedia(converted);
  ASSERT_TRUE(media);
  EXPECT_NEAR(media->duration, 40, 1);
  EXPECT_EQ(ListDirectory(sandbox.Path("appData/converted")), std::vector<std::string>{"clip.mp4"});
}

TEST_F(ConvertCommandTest, BadArguments) {
  EXPECT_EQ(Convert({}).exitCode, 2);
  EXPECT_EQ(Convert({"--fast"}).exitCode, 2);
  ProcessResult missing = Convert({sandbox.Path("missing.avi")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("missing.avi: no such file"), std::string::npos);
}

// The queue of a killed program comes back: the running and the waiting task interrupted, the
// failed one failed. Given again, the interrupted ones run again: the killed run's beginnings
// do not stop the first, and a file of the second's output name that the user made meanwhile
// fails that task and is left as it was.
TEST_F(ConvertCommandTest, AKilledRunsQueueComesBackAndItsTasksRunAgain) {
  CreateDirectories(sandbox.Path("clips"));
  const std::string bad = sandbox.Path("clips/bad.avi");
  sandbox.WriteFile("clips/bad.avi", "not a video");
  const std::string slow = Clip("slow.avi", {320, 240, 40});
  const std::string other = Clip("other.avi", {160, 120, 1});
  ChildProcess cli;
  ASSERT_TRUE(cli.Start({test::BuiltProgram("briselvr"), "--program-folder", sandbox.Folder(),
                         "convert", bad, slow, other}));
  // Killed once the converter has reported progress, so it has written part of its output.
  std::string output;
  auto deadline = std::chrono::steady_clock::now() + 60s;
  const std::string started = "slow.avi (3D-1080P, 320x240, ";
  while (output.find(started) == std::string::npos ||
         output.find(" %", output.find(" %", output.find(started)) + 2) == std::string::npos) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << output;
    ASSERT_NE(cli.Read(&output, 100), ChildProcess::ReadResult::End) << output;
  }
  cli.Kill(SIGKILL);
  ASSERT_TRUE(cli.Wait(5000));

  auto saved = ReadQueueFile(sandbox.Path("ConvertList.xml"));
  ASSERT_TRUE(saved);
  std::map<std::string, int> states;
  for (const QueueFileEntry& e : *saved) states[e.VideoPath] = e.VideoConvertType;
  const std::map<std::string, int> expected = {
      {bad, TASK_FAILED}, {slow, TASK_CONVERTING}, {other, TASK_WAITING}};
  EXPECT_EQ(states, expected);

  const std::string converted = sandbox.Path("appData/converted/");
  sandbox.WriteFile("appData/converted/other.mp4", "mine");
  ProcessResult again = Convert({slow, other});
  EXPECT_EQ(again.exitCode, 1) << again.output;
  EXPECT_NE(again.output.find("TASK_DONE\t" + converted + "slow.mp4\n"), std::string::npos)
      << again.output;
  EXPECT_NE(again.output.find("TASK_FAILED\t" + converted + "other.mp4\n"), std::string::npos)
      << again.output;
  auto media = test::ProbeMedia(converted + "slow.mp4");
  ASSERT_TRUE(media);
  EXPECT_NEAR(media->duration, 40, 1);
  EXPECT_EQ(sandbox.ReadFile("appData/converted/other.mp4"), "mine");
  std::vector<std::string> left = ListDirectory(sandbox.Path("appData/converted"));
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"other.mp4", "slow.mp4"}));
}

}  // namespace
}  // namespace brisel
