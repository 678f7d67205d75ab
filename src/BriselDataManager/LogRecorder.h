#pragma once

// The log recorder: a plain-text diary, one GBK file per day in <program folder>/ZADLog.
// Any thread hands a line to WriteLog, which only queues it; the thread "NetLogMgrThread"
// appends it ("%Y-%m-%d %H:%M:%S|:(tag):message", CR LF).

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Messages.h"

namespace brisel {

inline constexpr const char* kLogRecorderTag = "BriselDataManager\\LogRecorder";

// Named log files of requests 2 and 3.
enum LogKind : int {
  LOG_KIND_NONE = 0,      // discarded
  LOG_KIND_SESSION = 1,   // "%Y%m%d_S.log"
  LOG_KIND_MAIN_NET = 2,  // "MainNet.log"
};

// Request 3: the lines of a named log file whose stamps lie within [from, to] (seconds since
// 1970, local time). The sender keeps the record; the log thread fills `lines` and then posts
// WM_LOG_QUERY (wParam 0, lParam 0) to `replyTo`.
struct LogQuery {
  MessageTargetRef replyTo;
  int kind = LOG_KIND_NONE;
  std::int64_t fromTime = 0;
  std::int64_t toTime = 0;
  std::shared_ptr<std::vector<std::string>> lines;  // null: nothing is read, the reply still comes
};

// Queues "(tag):message" for the daily file. Callable from any thread; never blocks on the
// disk. Lines queued before StartLogThread are written once it runs; lines after
// StopLogThread are lost. True when the line was queued.
bool WriteLog(std::string_view message, std::string_view sourceTag);

// Request 2: queues `entry` for the named file of `kind` (kinds without a file discard it).
bool WriteNamedLog(std::string_view entry, int kind);

// Request 3.
bool PostLogQuery(std::shared_ptr<LogQuery> query);

// Starts NetLogMgrThread, then writes its first line synchronously:
// "(BriselDataManager\LogRecorder):初始化线程：NetLogMgrThread .（success）" ("fail" when the
// thread could not be created). Returns whether the thread runs.
bool StartLogThread();

// Ends the thread after it has written every line queued before this call; the thread's
// last line is "NetLogMgrThread exit！dwThreadRtnCode:0". Waits for it without a limit.
void StopLogThread();

// Appends one line for the daily file on the calling thread.
void WriteLogNow(std::string_view entry);

// Deletes the *.log files of the log folder created before `limit` (seconds since 1970);
// 0 deletes nothing. False when the log folder does not exist.
bool PurgeOldLogs(std::int64_t limit);

// <program folder>/ZADLog
std::string LogFolder();

// The clock of the timestamps and daily file names (tests); an empty function restores time().
void SetLogClockForTesting(std::function<std::time_t()> clock);

}  // namespace brisel
