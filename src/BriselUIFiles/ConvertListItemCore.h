#pragma once

// One conversion task's row data and its transcoder run: the core of the task row window
// (CConvertListItemDlg), which paints what this object holds and forwards its buttons here.
//
// Thread contract:
// - The owner thread (the UI thread, or the command-line loop) calls every member function.
// - StartConversion starts one transcoder thread for the task (once; only Rearm, after that
//   thread has decided the outcome, lets a failed or interrupted task run again). That
//   thread writes only the state, the progress, the progress-bar visibility and the failure
//   reason, which the owner reads through the accessors below (atomics and a lock), and it
//   reaches nothing but its conversion list, by posting how the run ended (a task status,
//   ConvertStatus.h): TRANSCODE_COMPLETED, TRANSCODE_FAILED, or TRANSCODE_STOPPED after a
//   stop request that was not for the program's exit.
// - The destructor stops a transcoder that still runs (without posting) and joins it.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "BriselUIFiles/ConvertTask.h"
#include "BriselUIFiles/TaskTexts.h"
#include "platform/Messages.h"

namespace brisel {

class ConversionOutput;

inline constexpr const char* kConvertListItemTag = "BriselUIFiles\\ConvertListItemDlg";

// Message-box texts of runs that could not start.
inline constexpr const char* kUnusableProfileText = "转码异常！！！";
inline constexpr const char* kPipeFailedText = "创建通道异常";
inline constexpr const char* kSpawnFailedText = "创建cmd通道失败";

// The commands of the row's pin and retry buttons (ConvertListCore::OnTaskCommand).
inline constexpr const char* kMoveToTopCommand = "上移至顶部";
inline constexpr const char* kRetryCommand = "重新转码";

class ConvertListItemCore {
 public:
  // `list` receives the run's end; its sender is the transcoder thread (or StartConversion,
  // for a run that cannot start).
  ConvertListItemCore(std::string taskId, MessageTargetRef list);
  ~ConvertListItemCore();
  ConvertListItemCore(const ConvertListItemCore&) = delete;
  ConvertListItemCore& operator=(const ConvertListItemCore&) = delete;

  // Fills the row from the task's seven texts and chooses its output profile (under the
  // current picture-mode setting).
  void SetTaskInfo(const TaskTexts& texts);

  // Sets the output path from the current ConvertPath setting, sets the state to
  // TASK_CONVERTING and starts the transcoder thread. When the profile has a zero field (or
  // no thread can be made) the task becomes TASK_FAILED at once and TRANSCODE_FAILED with the
  // message box text is posted to the list, so the queue moves on. False when nothing was
  // started.
  bool StartConversion();

  // Asks a running transcoder to stop: it ends only its own converter process, deletes the
  // partial output (the run's working file; a file at the output path is never touched), sets
  // TASK_CANCELLED and posts TRANSCODE_STOPPED to the list. False when no transcoder runs.
  bool RequestStop();

  // StopAll's step for a task in TASK_CONVERTING: requests the stop and sets
  // TASK_INTERRUPTED. With `exiting` the task stays interrupted (kept in the list and in the
  // queue file, to be run again after the restart) and no TRANSCODE_STOPPED is posted; otherwise
  // it becomes TASK_CANCELLED and is removed once the transcoder has stopped. False when the
  // task was not converting.
  bool Interrupt(bool exiting);

  // Waits up to `timeout` for the transcoder to finish its work; true when none runs.
  bool WaitForTranscoder(std::chrono::milliseconds timeout);
  // True from StartConversion until the transcoder has decided the task's outcome.
  bool TranscoderActive() const;

  // The retry button "重新转码" is shown for interrupted and failed tasks.
  bool ShowsRetryButton() const;

  // Makes an interrupted or failed task ready to run once more: its finished transcoder
  // thread is joined, the run's data cleared, and the task is TASK_WAITING. False (nothing
  // changes) while a transcoder still runs for it.
  bool Rearm();
  // The pin button is shown on hover unless the task is converting or finished.
  bool ShowsPinButton() const;

  // Owner-side changes for a row whose transcoder has not been started (queued, loaded);
  // ignored (false) once it has.
  bool SetState(int state);
  // A task loaded as finished: its output path, and no progress bar.
  void SetLoadedOutput(const std::string& outputPath);
  // Position in the list counted from 1, kept by the list's Relayout.
  void SetPosition(int position) { m_nPosition = position; }

  const std::string& TaskId() const { return m_strTaskId; }
  const std::string& Name() const { return m_strName; }
  const std::string& SizeText() const { return m_strSizeText; }
  const std::string& ScreenPath() const { return m_strScreenPath; }
  const std::string& TimeText() const { return m_strTime; }
  const std::string& WidthText() const { return m_strWidth; }
  const std::string& HeightText() const { return m_strHeight; }
  const std::string& SourcePath() const { return m_strSourcePath; }
  const std::string& OutputPath() const { return m_strOutputPath; }
  const OutputProfile& Profile() const { return m_Profile; }
  const std::string& ModeLabel() const { return m_strModeLabel; }
  int Position() const { return m_nPosition; }

  int State() const { return m_nState.load(); }
  int Progress() const { return m_nProgress.load(); }  // 0..100
  bool ProgressVisible() const { return m_bProgressVisible.load(); }
  // Why the task failed (empty unless TASK_FAILED), for logs and the command line.
  std::string FailureReason() const;

 private:
  struct RunSpec {
    std::string converter, source, output, durationMs;
    OutputProfile profile;
  };
  void TranscodeThread(RunSpec spec);
  // The run's end: the converted file named (or the working file discarded), state 3 or 9 and
  // its notifications, unless a stop came first. `output` is null when none was claimed.
  void FinishRun(const RunSpec& spec, bool completed, std::string reason, const char* boxText,
                 ConversionOutput* output);
  void OnTranscodeCancelled(const RunSpec& spec, ConversionOutput* output);
  void MarkDoneLocked();

  const std::string m_strTaskId;
  const MessageTargetRef m_pList;

  // Set on the owner thread before the transcoder starts; read-only afterwards.
  std::string m_strName, m_strSizeText, m_strScreenPath, m_strTime, m_strWidth, m_strHeight;
  std::string m_strSourcePath, m_strOutputPath;
  OutputProfile m_Profile;
  std::string m_strModeLabel;
  int m_nPosition = 0;

  std::thread m_hThread;
  std::atomic<int> m_nState{TASK_NEW};
  std::atomic<int> m_nProgress{0};
  std::atomic<bool> m_bProgressVisible{true};
  std::atomic<bool> m_bStopRequested{false};

  // Guards the outcome: a stop request and the transcoder's own end never cross.
  mutable std::mutex m_mutex;
  std::condition_variable m_doneChanged;
  bool m_bStarted = false;
  bool m_bDone = false;
  bool m_bExitStop = false;
  std::string m_strFailureReason;
};

}  // namespace brisel
