#include "BriselDataManager/LogRecorder.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/MessageQueue.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"

namespace brisel {
namespace {

// Lines that wait for the thread are bounded, so a process that never starts the thread
// (some command-line commands) does not grow without limit.
constexpr std::size_t kQueueCapacity = 100000;

struct Recorder {
  std::mutex lifecycle;  // start and stop
  std::mutex append;     // one writer of log files at a time
  MessageQueue queue{kQueueCapacity};
  std::thread thread;
  std::atomic<bool> accepting{true};  // false once stopped: later lines are lost
  std::mutex clockMutex;
  std::function<std::time_t()> clock;
};

Recorder& TheRecorder() {
  static Recorder* recorder = new Recorder;  // never destroyed: usable until the process ends
  return *recorder;
}

std::time_t Now() {
  Recorder& r = TheRecorder();
  std::lock_guard<std::mutex> lock(r.clockMutex);
  return r.clock ? r.clock() : std::time(nullptr);
}

std::string FormatLocal(std::time_t t, const char* format) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buffer[64];
  std::size_t n = std::strftime(buffer, sizeof buffer, format, &tm);
  return std::string(buffer, n);
}

std::string NamedFile(int kind, std::time_t now) {
  switch (kind) {
    case LOG_KIND_SESSION:
      return FormatLocal(now, "%Y%m%d_S") + ".log";
    case LOG_KIND_MAIN_NET:
      return "MainNet.log";
    default:
      return {};
  }
}

// Appends "timestamp|:entry" in GBK with CR LF line ends. Called with `append` held.
void AppendLineLocked(const std::string& fileName, std::string_view entry, std::time_t now) {
  std::string folder = LogFolder();
  if (!IsDirectory(folder)) CreateDirectories(folder);
  std::string text = FormatLocal(now, "%Y-%m-%d %H:%M:%S") + "|:";
  text.append(entry);
  text += '\n';
  // Log lines end in CR LF, the line end the existing log files already have.
  std::string crlf;
  crlf.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  std::string bytes = Utf8ToGbk(crlf);
  int fd = open((folder + "/" + fileName).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;  // the line is dropped
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n <= 0) break;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  close(fd);
}

void AppendDaily(std::string_view entry) {
  Recorder& r = TheRecorder();
  std::lock_guard<std::mutex> lock(r.append);
  std::time_t now = Now();
  AppendLineLocked(FormatLocal(now, "%Y-%m-%d") + ".log", entry, now);
}

void AppendNamed(std::string_view entry, int kind) {
  Recorder& r = TheRecorder();
  std::lock_guard<std::mutex> lock(r.append);
  std::time_t now = Now();
  std::string name = NamedFile(kind, now);
  if (!name.empty()) AppendLineLocked(name, entry, now);
}

void RunQuery(const LogQuery& query) {
  if (!query.lines) return;
  std::string from = FormatLocal(static_cast<std::time_t>(query.fromTime), "%Y-%m-%d %H:%M:%S");
  std::string to = FormatLocal(static_cast<std::time_t>(query.toTime), "%Y-%m-%d %H:%M:%S");
  std::string name = NamedFile(query.kind, Now());
  if (name.empty() || !IsDirectory(LogFolder())) return;
  std::optional<std::string> raw;
  {
    std::lock_guard<std::mutex> lock(TheRecorder().append);
    raw = ReadWholeFile(LogFolder() + "/" + name);
  }
  if (!raw) return;
  std::string text = GbkToUtf8(*raw);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r' && end < text.size()) line.pop_back();
    start = next;
    auto sep = line.find("|:");
    std::string stamp = sep == std::string::npos ? std::string() : line.substr(0, sep);
    // Stamps are ASCII digits and separators, so byte order is time order.
    if (stamp >= from && stamp <= to) query.lines->push_back(line);
  }
}

std::string TaggedEntry(std::string_view tag, std::string_view message) {
  std::string entry = "(";
  entry.append(tag);
  entry += "):";
  entry.append(message);
  return entry;
}

void ThreadBody() {
  pthread_setname_np(pthread_self(), "NetLogMgrThread");
  Recorder& r = TheRecorder();
  for (;;) {
    Message m = r.queue.Wait();
    if (m.id == WM_LOG_STOP) break;
    switch (m.id) {
      case WM_LOG_DAILY:
        AppendDaily(m.text);
        break;
      case WM_LOG_NAMED:
        AppendNamed(m.text, static_cast<int>(m.lParam));
        break;
      case WM_LOG_QUERY:
        if (auto* query = std::any_cast<std::shared_ptr<LogQuery>>(&m.record); query && *query) {
          RunQuery(**query);
          PostTo((*query)->replyTo, Message(WM_LOG_QUERY, 0, 0));
        }
        break;
      default:
        break;
    }
  }
  AppendDaily(TaggedEntry(kLogRecorderTag, "NetLogMgrThread exit！dwThreadRtnCode:0"));
}

bool Enqueue(Message m) {
  Recorder& r = TheRecorder();
  if (!r.accepting.load()) return false;
  r.queue.Post(std::move(m));
  return true;
}

}  // namespace

std::string LogFolder() { return GetDataFolder() + "/ZADLog"; }

bool WriteLog(std::string_view message, std::string_view sourceTag) {
  return Enqueue(Message(WM_LOG_DAILY, 0, 0, TaggedEntry(sourceTag, message)));
}

bool WriteNamedLog(std::string_view entry, int kind) {
  return Enqueue(Message(WM_LOG_NAMED, 0, kind, std::string(entry)));
}

bool PostLogQuery(std::shared_ptr<LogQuery> query) {
  Message m(WM_LOG_QUERY);
  m.record = std::move(query);
  return Enqueue(std::move(m));
}

bool StartLogThread() {
  Recorder& r = TheRecorder();
  std::lock_guard<std::mutex> life(r.lifecycle);
  if (r.thread.joinable()) return true;
  r.accepting = true;
  bool created = true;
  {
    // Holding the writer lock makes the synchronous line the first one of this run, ahead of
    // lines that were queued before the thread existed.
    std::lock_guard<std::mutex> lock(r.append);
    try {
      r.thread = std::thread(ThreadBody);
    } catch (const std::system_error&) {
      created = false;
    }
    std::time_t now = Now();
    AppendLineLocked(FormatLocal(now, "%Y-%m-%d") + ".log",
                     TaggedEntry(kLogRecorderTag, std::string("初始化线程：NetLogMgrThread .（") +
                                                      (created ? "success" : "fail") + "）"),
                     now);
  }
  if (!created) r.accepting = false;
  return created;
}

void StopLogThread() {
  Recorder& r = TheRecorder();
  std::lock_guard<std::mutex> life(r.lifecycle);
  if (!r.thread.joinable()) return;
  r.accepting = false;
  // The stop request goes behind every line already queued, so none of them is lost.
  r.queue.Post(Message(WM_LOG_STOP));
  r.thread.join();
  while (r.queue.TryTake()) {
  }
}

void WriteLogNow(std::string_view entry) { AppendDaily(entry); }

bool PurgeOldLogs(std::int64_t limit) {
  std::string folder = LogFolder();
  if (!IsDirectory(folder)) return false;
  if (limit == 0) return true;
  for (const std::string& name : ListDirectory(folder)) {
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".log") != 0) continue;
    std::string path = folder + "/" + name;
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &sx) != 0) continue;
    // Creation (birth) time where the file system records it; otherwise the modification
    // time, the nearest the system offers.
    std::int64_t created = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    if (created < limit) RemoveFile(path);
  }
  return true;
}

void SetLogClockForTesting(std::function<std::time_t()> clock) {
  Recorder& r = TheRecorder();
  std::lock_guard<std::mutex> lock(r.clockMutex);
  r.clock = std::move(clock);
}

}  // namespace brisel
