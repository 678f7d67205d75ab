#pragma once

// WM_CONVERT_STATUS: the status codes of a conversion and the three layouts the message
// travels in, each with one function that makes it and one that reads it. Senders and
// receivers use these pairs only, so a path can never be read from the wrong field.
//
//   layout          sender -> receiver                      codes          payload
//   task status     transcoder, rows, the list -> the list   3, 4, 9        task id (+ box text)
//   video status    the list -> the share page               0 1 2 4 6 9    the video's path
//   converted file  transcoder -> the share page             3              source and output
//
// Pure functions, callable from any thread.

#include <optional>
#include <string>

#include "platform/Messages.h"

namespace brisel {

enum ConvertStatus : int {
  // List -> page: a task completed and joined the finished group (path: its source, whose
  // video is idle again).
  CONVERT_FINISHED = 0,
  // List -> page: a new task waits behind the running one (path: its source).
  CONVERT_QUEUED = 1,
  // List -> page: a task was started (path: its source).
  CONVERT_STARTED = 2,
  // Transcoder -> list (task id) and -> page (source and output): the output file is complete.
  CONVERT_COMPLETED = 3,
  // To the list: remove this task (task id). List -> page: a task was removed (path: its
  // VideoPath, the output for a finished task).
  CONVERT_REMOVED = 4,
  // List -> page: a task was loaded from the queue file as interrupted (path: its VideoPath).
  CONVERT_INTERRUPTED = 6,
  // Transcoder -> list (task id, and a message box text when the run could not start);
  // list -> page (path: its source).
  CONVERT_FAILED = 9,
};

// To the conversion list.
struct TaskStatus {
  int code = 0;
  std::string taskId;
  std::string boxText;  // CONVERT_FAILED only: a message box to show (empty: none)
};
// text = task id, text2 = box text.
Message MakeTaskStatus(int code, std::string taskId, std::string boxText = {});
// Nothing unless the message is WM_CONVERT_STATUS.
std::optional<TaskStatus> ReadTaskStatus(const Message& message);

// From the conversion list to the share page: every code but CONVERT_COMPLETED.
struct VideoStatus {
  int code = 0;
  std::string path;
};
// text = the path.
Message MakeVideoStatus(int code, std::string path);
// Nothing unless the message is WM_CONVERT_STATUS with a code other than CONVERT_COMPLETED.
std::optional<VideoStatus> ReadVideoStatus(const Message& message);

// From the transcoder to the share page: CONVERT_COMPLETED with the two paths.
struct ConvertedStatus {
  std::string sourcePath;  // the video the file was made from
  std::string outputPath;  // the converted file
};
// text = source path, text2 = output path.
Message MakeConvertedStatus(std::string sourcePath, std::string outputPath);
// Nothing unless the message is WM_CONVERT_STATUS with CONVERT_COMPLETED.
std::optional<ConvertedStatus> ReadConvertedStatus(const Message& message);

}  // namespace brisel
