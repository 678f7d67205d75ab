// The transcoder runner's overhead: one conversion through ConvertListItemCore (worker thread,
// pipe reading, progress parsing, outcome) against the same converter command run directly,
// on the same clip, alternating so both see the same machine load. Reported per repetition:
// direct and runner wall times and their ratio; the target is a median ratio of at most 1.02.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "BriselUIFiles/ConvertListItemCore.h"
#include "BriselUIFiles/Transcoder.h"
#include "platform/ChildProcess.h"
#include "platform/ConverterLocator.h"
#include "platform/FileSystem.h"
#include "platform/MediaInfoQuery.h"
#include "platform/ProgramFolder.h"

namespace brisel {
namespace {

using Clock = std::chrono::steady_clock;

struct Fixture {
  std::string folder, clip, output;
  MediaValues values;
  bool ok = false;

  Fixture() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/brisel-bench-XXXXXX";
    if (!mkdtemp(pattern.data())) return;
    folder = pattern;
    SetProgramFolderOverride(folder);
    CreateDirectories(folder + "/appData/converted");
    clip = folder + "/clip.avi";
    ProcessResult made = RunProcess({"ffmpeg", "-v", "error", "-f", "lavfi", "-i",
                                     "testsrc2=size=640x360:rate=25:duration=10", "-f", "lavfi",
                                     "-i", "sine=frequency=440:sample_rate=44100:duration=10",
                                     "-c:v", "mpeg4", "-q:v", "3", "-c:a", "pcm_s16le", clip});
    values = QueryMediaInfo(clip);
    output = folder + "/appData/converted/clip.mp4";
    ok = made.exitCode == 0;
  }
  ~Fixture() {
    SetProgramFolderOverride("");
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

void BM_RunnerAgainstDirectConverter(benchmark::State& state) {
  static Fixture fixture;
  if (!fixture.ok) {
    state.SkipWithError("could not make the test clip");
    return;
  }
  auto row = std::make_unique<ConvertListItemCore>("{BENCH}", MessageTargetRef());
  row->SetTaskInfo({"clip.avi", fixture.clip, fixture.values.fileSize, "", fixture.values.duration,
                    fixture.values.width, fixture.values.height});
  const std::string converter = ConverterExecutable();
  const std::vector<std::string> argv = TranscodeArguments(
      converter, AacEncoderFor(converter), fixture.clip, row->Profile(), fixture.output);
  double directTotal = 0, runnerTotal = 0;
  static int turn = 0;  // which of the two goes first alternates between repetitions
  for (auto _ : state) {
    double d = 0, r = 0;
    auto runDirect = [&] {
      RemoveFile(fixture.output);
      auto t0 = Clock::now();
      ProcessResult direct = RunProcess(argv);
      d = std::chrono::duration<double>(Clock::now() - t0).count();
      return direct.exitCode == 0;
    };
    auto runRunner = [&] {
      RemoveFile(fixture.output);
      row = std::make_unique<ConvertListItemCore>("{BENCH}", MessageTargetRef());
      row->SetTaskInfo({"clip.avi", fixture.clip, fixture.values.fileSize, "",
                        fixture.values.duration, fixture.values.width, fixture.values.height});
      auto t0 = Clock::now();
      row->StartConversion();
      row->WaitForTranscoder(std::chrono::minutes(10));
      r = std::chrono::duration<double>(Clock::now() - t0).count();
      return row->State() == TASK_DONE;
    };
    bool ok = (turn++ % 2 == 0) ? (runDirect() && runRunner()) : (runRunner() && runDirect());
    if (!ok) {
      state.SkipWithError("a conversion failed");
      return;
    }
    directTotal += d;
    runnerTotal += r;
    state.SetIterationTime(r);
  }
  state.counters["direct_s"] = directTotal / static_cast<double>(state.iterations());
  state.counters["runner_s"] = runnerTotal / static_cast<double>(state.iterations());
  state.counters["ratio"] = runnerTotal / directTotal;
}
BENCHMARK(BM_RunnerAgainstDirectConverter)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("max", [](const std::vector<double>& v) {
      return *std::max_element(v.begin(), v.end());
    });

}  // namespace
}  // namespace brisel

BENCHMARK_MAIN();
