#include "BriselUIFiles/ConvertListItemCore.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>

#include "BriselUIFiles/ConvertStatus.h"
#include "platform/ChildProcess.h"
#include "platform/ConverterLocator.h"
#include "platform/FileSystem.h"
#include "platform/MediaInfoQuery.h"
#include "settings/AppSettings.h"
#include "support/FakeConverter.h"
#include "support/LavfiClip.h"
#include "support/RecordingTarget.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

using namespace std::chrono_literals;

class ConvertListItemCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadSettings(false));
    theSettings->m_strConvertPath = sandbox.Path("out");
    ASSERT_TRUE(CreateDirectories(sandbox.Path("out")));
  }
  void TearDown() override { SetConverterOverrideForTesting(""); }

  // A row for a source file that the fake converter treats as lasting `timeMs`.
  std::unique_ptr<ConvertListItemCore> FakeRow(const std::string& name,
                                               const std::string& timeMs = "4000") {
    auto row = std::make_unique<ConvertListItemCore>("{ID-" + name + "}", list);
    row->SetTaskInfo(
        {name, sandbox.WriteFile("src/" + name, "source"), "10000000", "", timeMs, "1280", "720"});
    return row;
  }

  std::vector<Message> ListStatus() const { return list->Messages(WM_CONVERT_STATUS); }

  test::Sandbox sandbox;
  std::shared_ptr<test::RecordingTarget> list = test::RecordingTarget::Create();
};

TEST_F(ConvertListItemCoreTest, ConvertsARealClipWithTheRealConverter) {
  const std::string source = sandbox.Path("clips/clip.avi");
  ASSERT_TRUE(CreateDirectories(sandbox.Path("clips")));
  ASSERT_TRUE(test::MakeLavfiClip(source, {320, 240, 2}));
  MediaValues v = QueryMediaInfo(source);

  ConvertListItemCore row("{TASK}", list);
  row.SetTaskInfo({"clip.avi", source, v.fileSize, "", v.duration, v.width, v.height});
  ASSERT_EQ(row.Profile().Width, 320u);
  ASSERT_TRUE(row.StartConversion());
  EXPECT_EQ(row.State(), TASK_CONVERTING);
  EXPECT_EQ(row.OutputPath(), sandbox.Path("out/clip.mp4"));
  ASSERT_TRUE(row.WaitForTranscoder(60s));
  EXPECT_EQ(row.State(), TASK_DONE) << row.FailureReason();
  EXPECT_FALSE(row.ProgressVisible());

  ASSERT_TRUE(list->WaitForCount(1, 5s, WM_CONVERT_STATUS));
  std::optional<TaskStatus> toList = ReadTaskStatus(ListStatus()[0]);
  ASSERT_TRUE(toList);
  EXPECT_EQ(toList->code, TRANSCODE_COMPLETED);
  EXPECT_EQ(toList->taskId, "{TASK}");

  auto media = test::ProbeMedia(row.OutputPath());
  ASSERT_TRUE(media);
  EXPECT_EQ(media->videoCodec, "h264");
  EXPECT_EQ(media->width, 320);
  EXPECT_EQ(media->height, 240);
  EXPECT_EQ(media->frameRate, "24000/1001");
  EXPECT_EQ(media->audioCodec, "aac");
  EXPECT_EQ(media->audioSampleRate, 44100);
  EXPECT_EQ(media->audioChannels, 2);
  EXPECT_NEAR(media->duration, 2.0, 0.2);
}

TEST_F(ConvertListItemCoreTest, RealConverterNeverOverwritesAnExistingOutput) {
  const std::string source = sandbox.Path("clips/clip.avi");
  ASSERT_TRUE(CreateDirectories(sandbox.Path("clips")));
  ASSERT_TRUE(test::MakeLavfiClip(source, {160, 120, 1}));
  sandbox.WriteFile("out/clip.mp4", "keep me");
  MediaValues v = QueryMediaInfo(source);
  ConvertListItemCore row("{TASK}", list);
  row.SetTaskInfo({"clip.avi", source, v.fileSize, "", v.duration, v.width, v.height});
  ASSERT_TRUE(row.StartConversion());
  ASSERT_TRUE(row.WaitForTranscoder(30s));
  EXPECT_EQ(row.State(), TASK_FAILED);
  EXPECT_EQ(sandbox.ReadFile("out/clip.mp4"), "keep me");
}

// The outcome needs progress seen and a clean exit; a failed run's partial output goes. The
// run tells its list once.
TEST_F(ConvertListItemCoreTest, OutcomeOfEachConverterBehaviour) {
  const struct {
    const char* mode;
    int state;
    bool outputKept;
    const char* reason;
  } cases[] = {
      {"ok", TASK_DONE, true, ""},
      {"progress-na", TASK_DONE, true, ""},
      {"silent-exit", TASK_FAILED, false, "reported no progress"},
      {"exit-at-once", TASK_FAILED, false, "status 1: Conversion failed!"},
      {"fail-after-progress", TASK_FAILED, false, "status 1: Error writing trailer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    list->Clear();
    test::FakeConverter converter(sandbox.Folder(), c.mode);
    auto row = FakeRow(std::string(c.mode) + ".avi");
    ASSERT_TRUE(row->StartConversion());
    ASSERT_TRUE(row->WaitForTranscoder(10s));
    EXPECT_EQ(row->State(), c.state);
    EXPECT_EQ(PathExists(row->OutputPath()), c.outputKept);
    EXPECT_NE(row->FailureReason().find(c.reason), std::string::npos) << row->FailureReason();
    const std::string id = row->TaskId();
    // The row marks itself done before it posts: destroying it joins the run, so every post
    // it makes has been made.
    row.reset();
    ASSERT_EQ(ListStatus().size(), 1u);
    EXPECT_EQ(ListStatus()[0].wParam, c.state == TASK_DONE ? 3 : 9);
    EXPECT_EQ(ListStatus()[0].text, id);
    EXPECT_EQ(ListStatus()[0].text2, "");
  }
}

TEST_F(ConvertListItemCoreTest, RunsTheConverterWithTheTasksCommandLine) {
  test::FakeConverter converter(sandbox.Folder(), "ok", true);
  auto row = FakeRow("a b.avi");
  ASSERT_TRUE(row->StartConversion());
  ASSERT_TRUE(row->WaitForTranscoder(10s));
  const std::vector<std::string> expected = {"-i",      row->SourcePath(),
                                             "-acodec", "libfdk_aac",
                                             "-ar",     "44100",
                                             "-b:a",    "128K",
                                             "-ac",     "2",
                                             "-vcodec", "libx264",
                                             "-r",      "24000/1001",
                                             "-s",      "1280x720",
                                             "-b:v",    "4000K"};
  std::vector<std::string> args = converter.Args();
  ASSERT_EQ(args.size(), expected.size() + 1);
  // The converter writes a working file beside the output, which takes the output's name
  // once the run has completed.
  const std::string working = args.back();
  args.pop_back();
  EXPECT_EQ(args, expected);
  EXPECT_EQ(DirName(working), sandbox.Path("out"));
  EXPECT_EQ(BaseName(working).rfind(".brisel-part-", 0), 0u) << working;
  EXPECT_EQ(working.substr(working.size() - 4), ".mp4");
  EXPECT_EQ(row->State(), TASK_DONE);
  EXPECT_FALSE(PathExists(working));
  EXPECT_EQ(sandbox.ReadFile("out/a b.mp4"), "complete");
}

TEST_F(ConvertListItemCoreTest, CreatesAMissingOutputFolder) {
  test::FakeConverter converter(sandbox.Folder(), "ok");
  theSettings->m_strConvertPath = sandbox.Path("not/there/yet/");
  auto row = FakeRow("clip.avi");
  ASSERT_TRUE(row->StartConversion());
  ASSERT_TRUE(row->WaitForTranscoder(10s));
  EXPECT_EQ(row->State(), TASK_DONE) << row->FailureReason();
  EXPECT_EQ(row->OutputPath(), sandbox.Path("not/there/yet/clip.mp4"));
  EXPECT_TRUE(IsRegularFile(row->OutputPath()));
}

TEST_F(ConvertListItemCoreTest, ShowsProgressWhileRunning) {
  test::FakeConverter converter(sandbox.Folder(), "hold");
  auto row = FakeRow("clip.avi", "4000");  // the fake reports 2 s of 4
  ASSERT_TRUE(row->StartConversion());
  EXPECT_TRUE(test::WaitFor([&] { return row->Progress() == 50; }));
  EXPECT_EQ(row->State(), TASK_CONVERTING);
  EXPECT_TRUE(row->ProgressVisible());
  ASSERT_TRUE(converter.Release(row->SourcePath(), 0));
  ASSERT_TRUE(row->WaitForTranscoder(10s));
  EXPECT_EQ(row->State(), TASK_DONE);
}

TEST_F(ConvertListItemCoreTest, StartFailuresFailTheTaskAndSayWhy) {
  const struct {
    const char* what;
    const char* size;
    const char* converter;
    const char* box;
  } cases[] = {
      {"zero profile field", "0", "", kUnusableProfileText},
      {"no converter", "10000000", "/nonexistent/ffmpeg/ffmpeg", kSpawnFailedText},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    list->Clear();
    SetConverterOverrideForTesting(c.converter);
    ConvertListItemCore row("{T}", list);
    row.SetTaskInfo({"x.avi", sandbox.Path("x.avi"), c.size, "", "60000", "1280", "720"});
    row.StartConversion();
    ASSERT_TRUE(row.WaitForTranscoder(10s));
    EXPECT_EQ(row.State(), TASK_FAILED);
    EXPECT_FALSE(row.TranscoderActive());
    ASSERT_TRUE(list->WaitForCount(1, 5s, WM_CONVERT_STATUS));
    EXPECT_EQ(ListStatus()[0].wParam, 9);
    EXPECT_EQ(ListStatus()[0].text, "{T}");
    EXPECT_EQ(ListStatus()[0].text2, c.box);
  }
}

// A stop ends this task's converter only, deletes the partial output and asks the list to
// remove the task; a converter that never writes is stopped too.
TEST_F(ConvertListItemCoreTest, StopEndsOnlyItsOwnConverter) {
  // Another program's process that happens to be called ffmpeg.
  ASSERT_TRUE(CreateDirectories(sandbox.Path("other")));
  std::filesystem::copy_file("/bin/sleep", sandbox.Path("other/ffmpeg"));
  ChildProcess bystander;
  ASSERT_TRUE(bystander.Start({sandbox.Path("other/ffmpeg"), "600"}));

  for (const char* mode : {"hang", "progress-then-hang"}) {
    SCOPED_TRACE(mode);
    list->Clear();
    test::FakeConverter converter(sandbox.Folder(), mode);
    auto row = FakeRow(std::string(mode) + ".avi");
    ASSERT_TRUE(row->StartConversion());
    // The partial output the converter has written so far.
    const std::string partial = converter.OutputOfRun(row->SourcePath());
    ASSERT_FALSE(partial.empty());
    ASSERT_TRUE(test::WaitFor([&] { return PathExists(partial); }));
    pid_t pid = converter.Pid();
    ASSERT_TRUE(test::ProcessAlive(pid));
    ASSERT_TRUE(row->RequestStop());
    ASSERT_TRUE(row->WaitForTranscoder(5s));
    EXPECT_EQ(row->State(), TASK_CANCELLED);
    EXPECT_EQ(row->Progress(), 0);
    EXPECT_FALSE(PathExists(partial));
    EXPECT_FALSE(PathExists(row->OutputPath()));
    EXPECT_FALSE(test::ProcessAlive(pid));
    ASSERT_TRUE(list->WaitForCount(1, 5s, WM_CONVERT_STATUS));
    EXPECT_EQ(ListStatus()[0].wParam, 4);
    EXPECT_EQ(ListStatus()[0].text, row->TaskId());
  }
  EXPECT_TRUE(bystander.Running());
  bystander.Kill(SIGKILL);
}

// A file at the output path is never the program's to replace or delete: the task fails
// without starting the converter.
TEST_F(ConvertListItemCoreTest, AFileAtTheOutputPathIsNeverTouched) {
  test::FakeConverter converter(sandbox.Folder(), "ok");
  auto row = FakeRow("clip.avi");
  sandbox.WriteFile("out/clip.mp4", "earlier file");
  ASSERT_TRUE(row->StartConversion());
  ASSERT_TRUE(row->WaitForTranscoder(5s));
  EXPECT_EQ(row->State(), TASK_FAILED);
  EXPECT_NE(row->FailureReason().find("already exists"), std::string::npos);
  EXPECT_EQ(converter.Pid(), -1);
  EXPECT_EQ(sandbox.ReadFile("out/clip.mp4"), "earlier file");
  EXPECT_EQ(ListDirectory(sandbox.Path("out")), std::vector<std::string>{"clip.mp4"});
}

TEST_F(ConvertListItemCoreTest, InterruptForExitKeepsTheTaskAndPostsNothing) {
  for (bool exiting : {true, false}) {
    SCOPED_TRACE(exiting ? "exiting" : "not exiting");
    list->Clear();
    test::FakeConverter converter(sandbox.Folder(), "progress-then-hang");
    auto row = FakeRow(exiting ? "exit.avi" : "stay.avi");
    ASSERT_TRUE(row->StartConversion());
    ASSERT_TRUE(test::WaitFor([&] { return row->Progress() > 0; }));
    ASSERT_TRUE(row->Interrupt(exiting));
    EXPECT_EQ(row->State(), TASK_INTERRUPTED);
    ASSERT_TRUE(row->WaitForTranscoder(2000ms));
    // A task stopped because the program ends waits to be run again after the restart.
    EXPECT_EQ(row->State(), exiting ? TASK_INTERRUPTED : TASK_CANCELLED);
    EXPECT_EQ(row->ShowsRetryButton(), exiting);
    EXPECT_FALSE(PathExists(row->OutputPath()));
    row.reset();  // joins the transcoder: whatever it posts has been posted
    EXPECT_EQ(ListStatus().size(), exiting ? 0u : 1u);
  }
}

TEST_F(ConvertListItemCoreTest, DestroyingARunningRowStopsItsConverter) {
  test::FakeConverter converter(sandbox.Folder(), "hang");
  auto row = FakeRow("clip.avi");
  ASSERT_TRUE(row->StartConversion());
  ASSERT_TRUE(test::WaitFor([&] { return test::ProcessAlive(converter.Pid()); }));
  pid_t pid = converter.Pid();
  row.reset();
  EXPECT_FALSE(test::ProcessAlive(pid));
  EXPECT_EQ(ListStatus().size(), 0u);
}

// Which buttons a row shows follows its state; once its transcoder runs, the state is the
// run's alone.
TEST_F(ConvertListItemCoreTest, ButtonsFollowTheState) {
  test::FakeConverter converter(sandbox.Folder(), "hang");
  auto running = FakeRow("r.avi");
  ASSERT_TRUE(running->StartConversion());
  EXPECT_FALSE(running->ShowsPinButton());
  EXPECT_FALSE(running->ShowsRetryButton());
  EXPECT_FALSE(running->SetState(TASK_WAITING));  // the transcoder owns the state now
  EXPECT_EQ(running->State(), TASK_CONVERTING);

  for (int state :
       {TASK_NEW, TASK_WAITING, TASK_DONE, TASK_FAILED, TASK_INTERRUPTED, TASK_CANCELLED}) {
    auto row = FakeRow("s.avi");
    ASSERT_TRUE(row->SetState(state));
    EXPECT_EQ(row->ShowsPinButton(), state != TASK_DONE) << state;
    EXPECT_EQ(row->ShowsRetryButton(), state == TASK_FAILED || state == TASK_INTERRUPTED) << state;
  }
}

// A run can be repeated only once it has ended; the second run starts from a clean slate.
TEST_F(ConvertListItemCoreTest, RearmOnlyOnceTheRunHasEnded) {
  test::FakeConverter converter(sandbox.Folder(), "hold");
  auto row = FakeRow("clip.avi");
  ASSERT_TRUE(row->StartConversion());
  ASSERT_TRUE(test::WaitFor([&] { return row->Progress() == 50; }));
  EXPECT_FALSE(row->Rearm());
  EXPECT_EQ(row->State(), TASK_CONVERTING);
  const std::string release = converter.Args().back() + ".release";
  ASSERT_TRUE(WriteFileAtomically(release, "1"));
  ASSERT_TRUE(row->WaitForTranscoder(10s));
  ASSERT_EQ(row->State(), TASK_FAILED);
  RemoveFile(release);                   // it would release the next run at once
  EXPECT_FALSE(row->StartConversion());  // not without Rearm

  ASSERT_TRUE(row->Rearm());
  EXPECT_EQ(row->State(), TASK_WAITING);
  EXPECT_EQ(row->Progress(), 0);
  EXPECT_TRUE(row->ProgressVisible());
  EXPECT_EQ(row->FailureReason(), "");
  ASSERT_TRUE(row->StartConversion());
  ASSERT_TRUE(test::WaitFor([&] { return row->Progress() == 50; }));
  ASSERT_TRUE(WriteFileAtomically(converter.Args().back() + ".release", "0"));
  ASSERT_TRUE(row->WaitForTranscoder(10s));
  EXPECT_EQ(row->State(), TASK_DONE);
  EXPECT_EQ(sandbox.ReadFile("out/clip.mp4"), "complete");
}

}  // namespace
}  // namespace brisel
