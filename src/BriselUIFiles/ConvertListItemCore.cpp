#include "BriselUIFiles/ConvertListItemCore.h"

#include <signal.h>

#include <cstring>
#include <system_error>

#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/ConversionOutput.h"
#include "BriselUIFiles/ConvertStatus.h"
#include "BriselUIFiles/Transcoder.h"
#include "platform/ChildProcess.h"
#include "platform/ConverterLocator.h"
#include "platform/FileSystem.h"
#include "settings/AppSettings.h"

namespace brisel {
namespace {

// The converter is asked for its output at most this long before the stop flag is checked.
constexpr int kReadWaitMs = 100;
constexpr std::size_t kChunkBytes = 4095;
constexpr std::size_t kTailBytes = 4096;

// The last non-empty line of the converter's output (lines end in "\n" or, for progress,
// "\r").
std::string LastLine(const std::string& tail) {
  std::size_t end = tail.find_last_not_of("\r\n \t");
  if (end == std::string::npos) return {};
  std::size_t start = tail.find_last_of("\r\n", end);
  start = start == std::string::npos ? 0 : start + 1;
  return tail.substr(start, end + 1 - start);
}

}  // namespace

ConvertListItemCore::ConvertListItemCore(std::string taskId, MessageTargetRef list)
    : m_strTaskId(std::move(taskId)), m_pList(std::move(list)) {}

ConvertListItemCore::~ConvertListItemCore() {
  if (!m_hThread.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bExitStop = true;
  }
  m_bStopRequested = true;
  m_hThread.join();
}

void ConvertListItemCore::SetTaskInfo(const TaskTexts& texts) {
  m_strName = texts.VideoName;
  m_strSizeText = FormatSizeText(texts.VideoSize);
  m_strScreenPath = texts.VideoScreenPath;
  m_strTime = texts.VideoTime;
  m_strWidth = texts.VideoWidth;
  m_strHeight = texts.VideoHeight;
  m_strSourcePath = texts.VideoPath;
  int ratio = theSettings ? theSettings->m_nConvertRatio : 0;
  ProfileChoice choice = ChooseOutputProfile(texts.VideoSize, texts.VideoTime, texts.VideoWidth,
                                             texts.VideoHeight, ratio);
  m_Profile = choice.profile;
  m_strModeLabel = choice.modeLabel;
}

bool ConvertListItemCore::StartConversion() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStarted) return false;
    m_bStarted = true;
  }
  m_bProgressVisible = true;
  m_nProgress = 0;
  auto fail = [&](const char* boxText, const std::string& reason) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_strFailureReason = reason;
      m_nState = TASK_FAILED;
      MarkDoneLocked();
    }
    WriteLog(std::string("转码失败：") + m_strName + ": " + reason, kConvertListItemTag);
    // Posted although the list is on this thread: the list starts a task in the middle of
    // its own work (an addition, a completion, a removal), which ends before the failure
    // moves the task and starts the next one; and a run that fails on its thread takes the
    // same path.
    PostTo(m_pList, MakeTaskStatus(TRANSCODE_FAILED, m_strTaskId, boxText));
    return false;
  };
  // Named even when the run cannot start, so every failed task says where it was going.
  m_strOutputPath =
      OutputPathFor(theSettings ? theSettings->m_strConvertPath : std::string(), m_strName);
  if (!m_Profile.Usable()) {
    return fail(kUnusableProfileText, std::string(kUnusableProfileText) + " (output profile " +
                                          std::to_string(m_Profile.Width) + "x" +
                                          std::to_string(m_Profile.Height) + " at " +
                                          std::to_string(m_Profile.BitrateK) + "K)");
  }
  RunSpec spec{ConverterExecutable(), m_strSourcePath, m_strOutputPath, m_strTime, m_Profile};
  m_nState = TASK_CONVERTING;
  try {
    m_hThread = std::thread(&ConvertListItemCore::TranscodeThread, this, std::move(spec));
  } catch (const std::system_error& e) {
    return fail(kSpawnFailedText, std::string(kSpawnFailedText) + " (" + e.what() + ")");
  }
  return true;
}

void ConvertListItemCore::TranscodeThread(RunSpec spec) {
  // Runs that were killed together with their program left working files nobody else
  // deletes.
  ConversionOutput::RemoveAbandoned();
  // A file at the output path is never ours to replace or delete.
  if (PathExists(spec.output)) {
    FinishRun(spec, false, "the output file already exists: " + spec.output, "", nullptr);
    return;
  }
  // The output folder may be missing: a chosen folder may have been removed since start-up.
  const std::string folder = DirName(spec.output);
  if (!folder.empty() && !IsDirectory(folder)) CreateDirectories(folder);
  std::string error;
  std::unique_ptr<ConversionOutput> output = ConversionOutput::Claim(spec.output, &error);
  if (!output) {
    FinishRun(spec, false, error, "", nullptr);
    return;
  }
  const std::string encoder = AacEncoderFor(spec.converter);
  const std::vector<std::string> argv =
      TranscodeArguments(spec.converter, encoder, spec.source, spec.profile, output->WorkingPath());
  WriteLog("转码开始：" + CommandLineText(argv), kConvertListItemTag);

  ChildProcess child;
  if (!child.Start(argv, &error)) {
    const char* box = error.rfind("pipe", 0) == 0 ? kPipeFailedText : kSpawnFailedText;
    FinishRun(spec, false, std::string(box) + " (" + error + ")", box, output.get());
    return;
  }

  bool progressSeen = false;
  std::string tail;
  for (;;) {
    if (m_bStopRequested) {
      child.Kill(SIGKILL);
      child.Wait(-1);
      OnTranscodeCancelled(spec, output.get());
      return;
    }
    std::string chunk;
    ChildProcess::ReadResult r = child.Read(&chunk, kReadWaitMs, kChunkBytes);
    if (r == ChildProcess::ReadResult::End) break;
    if (r == ChildProcess::ReadResult::Timeout) continue;
    tail += chunk;
    if (tail.size() > kTailBytes) tail.erase(0, tail.size() - kTailBytes);
    ProgressReport report = ParseProgressChunk(chunk);
    if (!report.found) continue;
    progressSeen = true;
    if (report.parsed) m_nProgress = ProgressPercent(report.elapsedSeconds, spec.durationMs);
  }
  // The output is closed; the converter is ending (a stop is still honoured meanwhile).
  while (!child.Wait(kReadWaitMs)) {
    if (m_bStopRequested) {
      child.Kill(SIGKILL);
      child.Wait(-1);
      OnTranscodeCancelled(spec, output.get());
      return;
    }
  }

  const int exitCode = child.ExitCode();
  bool completed = progressSeen && exitCode == 0;
  std::string reason;
  if (!completed) {
    if (child.Signaled()) {
      reason = "the converter was ended by a signal";
    } else if (exitCode != 0) {
      reason = "the converter exited with status " + std::to_string(exitCode);
    } else {
      reason = "the converter reported no progress";
    }
    std::string last = LastLine(tail);
    if (!last.empty()) reason += ": " + last;
  }
  FinishRun(spec, completed, reason, "", output.get());
}

void ConvertListItemCore::FinishRun(const RunSpec& spec, bool completed, std::string reason,
                                    const char* boxText, ConversionOutput* output) {
  bool stopFirst;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    stopFirst = m_bStopRequested;
    if (!stopFirst) {
      // The converted file takes its name only now, so nobody ever sees half of it there.
      if (completed && output && !output->Commit(&reason)) completed = false;
      if (!completed && output) output->Discard();
      if (completed) {
        m_bProgressVisible = false;
        m_nState = TASK_DONE;
      } else {
        m_strFailureReason = reason;
        m_nState = TASK_FAILED;
      }
      MarkDoneLocked();
    }
  }
  if (stopFirst) {
    OnTranscodeCancelled(spec, output);
  } else if (completed) {
    WriteLog("转码完成：" + spec.output, kConvertListItemTag);
    PostTo(m_pList, MakeTaskStatus(TRANSCODE_COMPLETED, m_strTaskId));
  } else {
    WriteLog("转码失败：" + spec.source + ": " + reason, kConvertListItemTag);
    PostTo(m_pList, MakeTaskStatus(TRANSCODE_FAILED, m_strTaskId, boxText));
  }
}

void ConvertListItemCore::OnTranscodeCancelled(const RunSpec& spec, ConversionOutput* output) {
  m_nProgress = 0;
  if (output) output->Discard();  // the partial output of this run
  bool exitStop;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    exitStop = m_bExitStop;
    // Stopped because the program ends, not because the user cancelled: the task waits to be
    // run again after the restart.
    m_nState = exitStop ? TASK_INTERRUPTED : TASK_CANCELLED;
    if (!exitStop) m_bStopRequested = false;
    MarkDoneLocked();
  }
  WriteLog("转码已停止：" + spec.source, kConvertListItemTag);
  if (!exitStop) PostTo(m_pList, MakeTaskStatus(TRANSCODE_STOPPED, m_strTaskId));
}

void ConvertListItemCore::MarkDoneLocked() {
  m_bDone = true;
  m_doneChanged.notify_all();
}

bool ConvertListItemCore::RequestStop() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (!m_bStarted || m_bDone) return false;
  m_bStopRequested = true;
  return true;
}

bool ConvertListItemCore::Interrupt(bool exiting) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_nState != TASK_CONVERTING || !m_bStarted || m_bDone) return false;
  if (exiting) m_bExitStop = true;
  m_bStopRequested = true;
  m_nState = TASK_INTERRUPTED;
  return true;
}

bool ConvertListItemCore::WaitForTranscoder(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_doneChanged.wait_for(lock, timeout, [&] { return !m_bStarted || m_bDone; });
}

bool ConvertListItemCore::TranscoderActive() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_bStarted && !m_bDone;
}

bool ConvertListItemCore::ShowsRetryButton() const {
  int state = m_nState;
  return state == TASK_INTERRUPTED || state == TASK_FAILED;
}

bool ConvertListItemCore::Rearm() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStarted && !m_bDone) return false;
  }
  // The outcome is decided; the thread at most finishes its posts.
  if (m_hThread.joinable()) m_hThread.join();
  std::lock_guard<std::mutex> lock(m_mutex);
  m_bStarted = false;
  m_bDone = false;
  m_bExitStop = false;
  m_bStopRequested = false;
  m_strFailureReason.clear();
  m_nProgress = 0;
  m_bProgressVisible = true;
  m_nState = TASK_WAITING;
  return true;
}

bool ConvertListItemCore::ShowsPinButton() const {
  int state = m_nState;
  return state != TASK_CONVERTING && state != TASK_DONE;
}

bool ConvertListItemCore::SetState(int state) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_bStarted) return false;
  m_nState = state;
  return true;
}

void ConvertListItemCore::SetLoadedOutput(const std::string& outputPath) {
  m_strOutputPath = outputPath;
  m_bProgressVisible = false;
}

std::string ConvertListItemCore::FailureReason() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strFailureReason;
}

}  // namespace brisel
