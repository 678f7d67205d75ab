#pragma once

// The codes of a conversion task's changes, and WM_CONVERT_STATUS, the one message they
// travel in.
//
// WM_CONVERT_STATUS crosses one thread boundary only: a task's transcoder thread tells the
// conversion list how its run ended (text = task id, text2 = a message box to show). Between
// the list and the share page, both on the UI thread, the changes are typed calls
// (ConvertListPage) with the codes of ConvertStatus.
//
// Pure functions, callable from any thread.

#include <optional>
#include <string>

#include "platform/Messages.h"

namespace brisel {

// How a transcoder run ended, as it reports to its list (WM_CONVERT_STATUS's wParam).
enum TranscodeEnd : int {
  // The output file is complete and has its name.
  TRANSCODE_COMPLETED = 3,
  // The run was stopped on request (not for the program's exit) and its partial output
  // deleted: the task leaves the list.
  TRANSCODE_STOPPED = 4,
  // The run failed, or could not start (then with a message box text).
  TRANSCODE_FAILED = 9,
};

// What became of a task, as the conversion list tells the share page, for the video at a
// path (ConvertListPage::OnTaskStateChanged). A completed task is reported with its two
// paths instead (ConvertListPage::OnConverted).
enum ConvertStatus : int {
  // A new task waits behind the running one (path: its source).
  CONVERT_QUEUED = 1,
  // A task was started (path: its source).
  CONVERT_STARTED = 2,
  // A task left the list (path: its VideoPath, the output for a finished task).
  CONVERT_REMOVED = 4,
  // A task was loaded from the queue file as interrupted (path: its VideoPath).
  CONVERT_INTERRUPTED = 6,
  // A task failed (path: its source).
  CONVERT_FAILED = 9,
};

// WM_CONVERT_STATUS: a transcoder run's end (TranscodeEnd) for the task `taskId`.
struct TaskStatus {
  int code = 0;
  std::string taskId;
  std::string boxText;  // TRANSCODE_FAILED only: a message box to show (empty: none)
};
// text = task id, text2 = box text.
Message MakeTaskStatus(int code, std::string taskId, std::string boxText = {});
// Nothing unless the message is WM_CONVERT_STATUS.
std::optional<TaskStatus> ReadTaskStatus(const Message& message);

}  // namespace brisel
