#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>

#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/ConvertListCore.h"
#include "BriselUIFiles/ConvertStatus.h"
#include "app/BriselVRClientCore.h"
#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "platform/FileSystem.h"
#include "platform/Md5.h"
#include "platform/MediaInfoQuery.h"
#include "platform/MessageQueue.h"
#include "platform/ProgramFolder.h"
#include "platform/SignalWatcher.h"
#include "settings/AppSettings.h"

namespace brisel::cli {
namespace {

using namespace std::chrono_literals;

// Message boxes have no place on a terminal: each failed task's reason is printed instead.
class SilentHost : public ConvertListHost {
 public:
  void ShowMessageBox(const std::string&) override {}
};

struct Job {
  std::string file;    // as given
  std::string taskId;  // empty when the file was not queued
  std::string name;
  int state = TASK_NEW;
  std::string outputPath;
  std::string reason;
  bool finished = false;
  int shownProgress = -1;
};

class ConvertRun {
 public:
  ConvertRun() : m_queue(m_self, nullptr, &m_host), m_tty(isatty(STDOUT_FILENO) == 1) {}

  int Run(const std::vector<std::string>& files) {
    m_queue.LoadQueueFile();
    bool allQueued = true;
    for (const std::string& file : files) allQueued &= Queue(file);
    // As the share page does after a batch of requests.
    m_queue.Relayout();
    m_queue.SaveQueueFile();

    while (!AllFinished()) {
      if (SignalWatcher::TakeSignal() != 0 && !m_bInterrupted) Interrupt();
      if (auto m = m_self->Wait(100ms)) Dispatch(*m);
      ShowProgress();
    }
    if (m_bLineOpen) std::printf("\n");
    m_queue.SaveQueueFile();  // as the share page does at shutdown

    bool allDone = allQueued && !m_bInterrupted;
    for (const Job& job : m_jobs) {
      std::printf("%s\t%s\n", TaskStateName(job.state).c_str(), job.outputPath.c_str());
      allDone &= job.state == TASK_DONE;
    }
    std::fflush(stdout);
    return allDone ? kExitOk : kExitFailure;
  }

 private:
  bool Queue(const std::string& file) {
    std::error_code ec;
    std::string path = std::filesystem::absolute(file, ec).lexically_normal().string();
    if (ec || !IsRegularFile(path)) {
      std::fprintf(stderr, "briselvr: %s: no such file\n", file.c_str());
      return false;
    }
    if (auto state = m_queue.FindTask(path, BaseName(path))) {
      // A task that an earlier run left interrupted or failed runs again.
      if (*state == TASK_INTERRUPTED || *state == TASK_FAILED) return Retry(file, path);
      std::fprintf(stderr, "briselvr: %s: already queued\n", file.c_str());
      return true;
    }
    MediaValues v = QueryMediaInfo(path);
    if (v.duration == kMediaInfoUnavailable)
      std::fprintf(stderr, "briselvr: libmediainfo could not be loaded\n");
    // The thumbnail the share catalogue keeps for this video (present once it was added).
    std::string thumbnail = GetDataFolder() + "/file_root/image/" + Md5Hex(path) + ".jpg";
    Job job;
    job.file = file;
    job.name = BaseName(path);
    job.taskId = m_queue.AddTask(
        TaskTexts{job.name, path, v.fileSize, thumbnail, v.duration, v.width, v.height});
    m_jobs.push_back(job);
    Snapshot();
    return true;
  }

  bool Retry(const std::string& file, const std::string& path) {
    for (const LISTITEM_ST& t : m_queue.TaskList()) {
      if (t.VideoPath != path || t.VideoName != BaseName(path)) continue;
      Job job;
      job.file = file;
      job.name = t.VideoName;
      job.taskId = t.TaskId;
      if (!m_queue.RetryTask(job.taskId)) break;
      m_jobs.push_back(job);
      Snapshot();
      return true;
    }
    std::fprintf(stderr, "briselvr: %s: cannot be run again\n", file.c_str());
    return false;
  }

  // The state of each job's task as the queue holds it; a task that has left the queue keeps
  // what was last seen.
  void Snapshot() {
    for (Job& job : m_jobs) {
      const LISTITEM_ST* t = m_queue.FindTaskById(job.taskId);
      if (!t) {
        job.finished = true;
        continue;
      }
      job.state = t->Row->State();
      job.outputPath = t->Row->OutputPath();
      if (job.state == TASK_FAILED) job.reason = t->Row->FailureReason();
    }
  }

  void Dispatch(const Message& m) {
    Snapshot();  // before a removal takes the task away
    m_queue.HandleMessage(m);
    std::optional<TaskStatus> status = ReadTaskStatus(m);
    if (!status || (status->code != TRANSCODE_COMPLETED && status->code != TRANSCODE_FAILED))
      return;
    for (Job& job : m_jobs) {
      if (job.taskId != status->taskId) continue;
      Snapshot();
      job.finished = true;
      if (job.state == TASK_DONE && job.shownProgress >= 0 && job.shownProgress < 100) {
        // The last report usually falls short of the end.
        PrintProgress(job, 100);
      }
      if (job.state == TASK_FAILED) {
        EndLine();
        std::fprintf(stderr, "briselvr: %s: %s\n", job.name.c_str(), job.reason.c_str());
      }
    }
  }

  bool AllFinished() {
    Snapshot();
    for (const Job& job : m_jobs)
      if (!job.finished) return false;
    return true;
  }

  // Ctrl+C: the waiting tasks leave the queue, the running one is stopped as its cancel
  // button would stop it.
  void Interrupt() {
    m_bInterrupted = true;
    EndLine();
    std::fprintf(stderr, "briselvr: interrupted, stopping the conversion\n");
    for (const Job& job : m_jobs) {
      const LISTITEM_ST* t = m_queue.FindTaskById(job.taskId);
      if (t && t->Row->State() == TASK_WAITING)
        m_queue.CancelOrRemoveTask(t->VideoName, t->VideoPath);
    }
    for (const Job& job : m_jobs) {
      const LISTITEM_ST* t = m_queue.FindTaskById(job.taskId);
      if (t && t->Row->State() == TASK_CONVERTING) m_queue.CancelTask(t->TaskId);
    }
  }

  void ShowProgress() {
    for (Job& job : m_jobs) {
      const LISTITEM_ST* t = m_queue.FindTaskById(job.taskId);
      if (!t || t->Row->State() != TASK_CONVERTING) continue;
      int progress = t->Row->Progress();
      if (progress == job.shownProgress) continue;
      if (job.shownProgress < 0 && m_bLineOpen) EndLine();  // another task's line
      job.shownProgress = progress;
      PrintProgress(job, progress);
    }
  }

  void PrintProgress(Job& job, int progress) {
    const LISTITEM_ST* t = m_queue.FindTaskById(job.taskId);
    if (!t) return;
    const OutputProfile& p = t->Row->Profile();
    std::size_t index = static_cast<std::size_t>(&job - m_jobs.data()) + 1;
    std::printf("%s[%zu/%zu] %s (%s, %ux%u, %uK): %d %%%s", m_tty ? "\r\033[K" : "", index,
                m_jobs.size(), job.name.c_str(), t->Row->ModeLabel().c_str(), p.Width, p.Height,
                p.BitrateK, progress, m_tty ? "" : "\n");
    m_bLineOpen = m_tty;
    std::fflush(stdout);
  }

  void EndLine() {
    if (!m_bLineOpen) return;
    std::printf("\n");
    std::fflush(stdout);
    m_bLineOpen = false;
  }

  std::shared_ptr<MessageQueue> m_self = std::make_shared<MessageQueue>();
  SilentHost m_host;
  ConvertListCore m_queue;
  std::vector<Job> m_jobs;
  const bool m_tty;
  bool m_bLineOpen = false;
  bool m_bInterrupted = false;
};

}  // namespace

int RunConvertCommand(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  bool options = true;
  for (const std::string& a : args) {
    if (options && a == "--") {
      options = false;
    } else if (options && a.size() > 1 && a[0] == '-') {
      return UsageError("unknown option " + a + " for convert");
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) return UsageError("convert needs at least one video file");

  SignalWatcher::Install();
  BriselVRClientCore core(ProgramSettings());
  if (!core.PrepareFolders(false))
    std::fprintf(stderr, "briselvr: 配置文件异常 (%s could not be read or created)\n",
                 ConfigPath().c_str());
  StartLogThread();
  int result;
  {
    ConvertRun run;
    result = run.Run(files);
  }
  StopLogThread();
  return result;
}

}  // namespace brisel::cli
