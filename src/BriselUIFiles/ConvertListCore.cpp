#include "BriselUIFiles/ConvertListCore.h"

#include <algorithm>
#include <chrono>

#include "BriselUIFiles/ConvertStatus.h"
#include "BriselUIFiles/QueueFile.h"

namespace brisel {
namespace {

constexpr std::chrono::milliseconds kStopAllWait{2000};

bool In(int state, std::initializer_list<int> states) {
  return std::find(states.begin(), states.end(), state) != states.end();
}

}  // namespace

ConvertListCore::ConvertListCore(MessageTargetRef self, ConvertListPage* page,
                                 ConvertListHost* host)
    : m_pSelf(std::move(self)), m_pPage(page), m_pHost(host) {}

ConvertListCore::~ConvertListCore() = default;

bool ConvertListCore::HandleMessage(const Message& message) {
  if (std::optional<TaskStatus> status = ReadTaskStatus(message)) {
    OnTaskStatus(status->code, status->taskId, status->boxText);
    return true;
  }
  return false;
}

void ConvertListCore::LoadQueueFile() {
  auto entries = ReadQueueFile(QueueFilePath());
  if (!entries) return;
  for (const QueueFileEntry& e : *entries) AddLoadedTask(e, e.VideoConvertType);
}

bool ConvertListCore::SaveQueueFile() {
  std::vector<QueueFileEntry> entries;
  for (const LISTITEM_ST& t : m_TaskList) {
    const int state = t.Row->State();
    if (state == TASK_CANCELLED) continue;
    QueueFileEntry entry{static_cast<const TaskTexts&>(t), state};
    // A finished task is kept by its output; any other by the source it is to convert (a
    // completion not handled yet has no output path in VideoPath so far).
    if (state == TASK_DONE) entry.VideoPath = t.Row->OutputPath();
    entries.push_back(std::move(entry));
  }
  return WriteQueueFile(QueueFilePath(), entries);
}

LISTITEM_ST ConvertListCore::MakeRecord(const TaskTexts& texts) {
  LISTITEM_ST t{texts, NewTaskId(), nullptr};
  t.Row = std::make_unique<ConvertListItemCore>(t.TaskId, m_pSelf);
  t.Row->SetTaskInfo(texts);
  return t;
}

std::string ConvertListCore::AddTask(const TaskTexts& texts) {
  LISTITEM_ST t = MakeRecord(texts);
  std::string id = t.TaskId;
  if (IsAnyConverting()) {
    t.Row->SetState(TASK_WAITING);
    TellPage(CONVERT_QUEUED, t.VideoPath);
    m_TaskList.insert(FirstInState({TASK_DONE, TASK_CANCELLED}), std::move(t));
  } else {
    m_TaskList.push_front(std::move(t));
    Start(m_TaskList.begin());
  }
  NoteConverting();
  return id;
}

std::string ConvertListCore::AddLoadedTask(const TaskTexts& texts, int state) {
  LISTITEM_ST t = MakeRecord(texts);
  if (In(state, {TASK_WAITING, TASK_CONVERTING, TASK_INTERRUPTED})) {
    state = TASK_INTERRUPTED;
    TellPage(CONVERT_INTERRUPTED, t.VideoPath);
  }
  t.Row->SetState(state);
  if (state == TASK_DONE) t.Row->SetLoadedOutput(t.VideoPath);
  std::string id = t.TaskId;
  m_TaskList.push_back(std::move(t));
  return id;
}

void ConvertListCore::Relayout() {
  const int n = static_cast<int>(m_TaskList.size());
  m_nContentHeight = n >= 6 ? n * kTaskRowHeight : m_nClientHeight;
  int position = 1;
  for (LISTITEM_ST& t : m_TaskList) t.Row->SetPosition(position++);
  if (m_pHost) m_pHost->OnRelayout();
}

std::optional<int> ConvertListCore::FindTask(const std::string& path,
                                             const std::string& name) const {
  for (const LISTITEM_ST& t : m_TaskList) {
    int state = t.Row->State();
    if (t.VideoName == name && t.VideoPath == path && state != TASK_CANCELLED) return state;
  }
  return std::nullopt;
}

int ConvertListCore::CancelOrRemoveTask(const std::string& name, const std::string& path) {
  for (Iterator it = m_TaskList.begin(); it != m_TaskList.end(); ++it) {
    if (it->VideoName != name || it->VideoPath != path) continue;
    if (it->Row->State() == TASK_CONVERTING && it->Row->RequestStop()) return 1;
    if (In(it->Row->State(), {TASK_WAITING, TASK_INTERRUPTED})) {
      Remove(it);
      Refresh();
      return 1;
    }
    return 0;
  }
  return 0;
}

void ConvertListCore::CancelTask(const std::string& taskId) {
  Iterator task = Find(taskId);
  if (task == m_TaskList.end()) return;
  if (task->Row->TranscoderActive()) {
    // Still converting: stop first; the transcoder reports the stop, and the task leaves then.
    task->Row->RequestStop();
    return;
  }
  Remove(task);
  Refresh();
}

void ConvertListCore::ClearFinished() {
  for (Iterator it = m_TaskList.begin(); it != m_TaskList.end();) {
    if (In(it->Row->State(), {TASK_DONE, TASK_CANCELLED})) {
      it = Erase(it);
    } else {
      ++it;
    }
  }
  Relayout();
  SaveQueueFile();
}

void ConvertListCore::StopAll(bool exiting) {
  for (LISTITEM_ST& t : m_TaskList) {
    if (t.Row->State() != TASK_CONVERTING) continue;
    if (t.Row->Interrupt(exiting)) t.Row->WaitForTranscoder(kStopAllWait);
  }
  NoteConverting();
}

bool ConvertListCore::IsAnyConverting() const {
  return std::any_of(m_TaskList.begin(), m_TaskList.end(),
                     [](const LISTITEM_ST& t) { return t.Row->State() == TASK_CONVERTING; });
}

void ConvertListCore::OnTaskStatus(int code, const std::string& taskId,
                                   const std::string& boxText) {
  if (code == TRANSCODE_COMPLETED) {
    Iterator done = Find(taskId);
    if (done != m_TaskList.end() && done->Row->State() == TASK_DONE) {
      // Taken out first, so the searches below see the other tasks only.
      std::list<LISTITEM_ST> taken;
      taken.splice(taken.begin(), m_TaskList, done);
      if (!IsAnyConverting()) {
        Iterator next = FirstInState({TASK_WAITING});
        if (next != m_TaskList.end()) {
          m_TaskList.splice(m_TaskList.begin(), m_TaskList, next);
          Start(m_TaskList.begin());
        }
      }
      // 8 has no name; it can only come from a queue file, and sorts with the finished tasks.
      Iterator finished = FirstInState({TASK_DONE, 8});
      ReportConverted(taken.front());
      m_TaskList.splice(finished, taken, taken.begin());
    }
    Refresh();
  } else if (code == TRANSCODE_FAILED) {
    Iterator failed = Find(taskId);
    if (failed != m_TaskList.end()) {
      Iterator before = m_TaskList.end();
      for (Iterator it = m_TaskList.begin(); it != m_TaskList.end(); ++it) {
        if (it != failed && In(it->Row->State(), {TASK_INTERRUPTED, TASK_FAILED})) {
          before = it;
          break;
        }
      }
      if (before == m_TaskList.end()) before = FirstInState({TASK_DONE});
      if (before != failed) m_TaskList.splice(before, m_TaskList, failed);
      TellPage(CONVERT_FAILED, failed->VideoPath);
      StartNextIfIdle();
    }
    Refresh();
    if (failed != m_TaskList.end() && !boxText.empty() && m_pHost) m_pHost->ShowMessageBox(boxText);
  } else if (code == TRANSCODE_STOPPED) {
    Iterator stopped = Find(taskId);
    // A run reports its stop once it has decided it, so the task can leave now.
    if (stopped != m_TaskList.end() && !stopped->Row->TranscoderActive()) Remove(stopped);
    Refresh();
  }
}

void ConvertListCore::OnTaskCommand(const std::string& taskId, const std::string& command) {
  if (command == kRetryCommand) {
    RetryTask(taskId);
    return;
  }
  if (command != kMoveToTopCommand) return;
  Iterator task = Find(taskId);
  Iterator running = FirstInState({TASK_CONVERTING});
  if (task == m_TaskList.end() || running == m_TaskList.end() || task == running) return;
  m_TaskList.splice(std::next(running), m_TaskList, task);
  Refresh();
}

bool ConvertListCore::RetryTask(const std::string& taskId) {
  Iterator task = Find(taskId);
  if (task == m_TaskList.end() || !In(task->Row->State(), {TASK_INTERRUPTED, TASK_FAILED}) ||
      !task->Row->Rearm()) {
    return false;
  }
  if (IsAnyConverting()) {
    // Behind the running and the waiting tasks, so it keeps its turn among them.
    Iterator before = std::find_if(m_TaskList.begin(), m_TaskList.end(), [&](const LISTITEM_ST& t) {
      return &t != &*task && !In(t.Row->State(), {TASK_CONVERTING, TASK_WAITING});
    });
    if (before != task) m_TaskList.splice(before, m_TaskList, task);
    TellPage(CONVERT_QUEUED, task->VideoPath);
  } else {
    m_TaskList.splice(m_TaskList.begin(), m_TaskList, task);
    Start(m_TaskList.begin());
  }
  Refresh();
  return true;
}

void ConvertListCore::StartNextIfIdle() {
  if (IsAnyConverting()) return;
  Iterator next = FirstInState({TASK_WAITING});
  if (next != m_TaskList.end()) Start(next);
}

const LISTITEM_ST* ConvertListCore::FindTaskById(const std::string& taskId) const {
  for (const LISTITEM_ST& t : m_TaskList)
    if (t.TaskId == taskId) return &t;
  return nullptr;
}

ConvertListCore::Iterator ConvertListCore::Find(const std::string& taskId) {
  return std::find_if(m_TaskList.begin(), m_TaskList.end(),
                      [&](const LISTITEM_ST& t) { return t.TaskId == taskId; });
}

ConvertListCore::Iterator ConvertListCore::FirstInState(std::initializer_list<int> states) {
  return std::find_if(m_TaskList.begin(), m_TaskList.end(),
                      [&](const LISTITEM_ST& t) { return In(t.Row->State(), states); });
}

void ConvertListCore::Start(Iterator task) {
  // A run that cannot start fails the task at once and posts TRANSCODE_FAILED, so the queue
  // moves on once this operation is done.
  task->Row->StartConversion();
  TellPage(CONVERT_STARTED, task->VideoPath);
}

void ConvertListCore::TellPage(int status, const std::string& path) {
  if (m_pPage) m_pPage->OnTaskStateChanged(status, path);
}

void ConvertListCore::ReportConverted(LISTITEM_ST& task) {
  // Until the completion is handled a finished task's VideoPath is its source, never its
  // output (the run refuses an output path that exists).
  if (task.Row->State() != TASK_DONE || task.VideoPath == task.Row->OutputPath()) return;
  const std::string source = task.VideoPath;
  task.VideoPath = task.Row->OutputPath();
  if (m_pPage) m_pPage->OnConverted(source, task.VideoPath);
}

void ConvertListCore::Refresh() {
  Relayout();
  SaveQueueFile();
  NoteConverting();
}

ConvertListCore::Iterator ConvertListCore::Erase(Iterator task) {
  // A task that completed a moment ago may leave (cleared, cancelled) before its run's
  // report has been handled: its converted file still reaches the library.
  ReportConverted(*task);
  if (m_pHost) m_pHost->OnTaskRemoving(task->TaskId);
  return m_TaskList.erase(task);
}

void ConvertListCore::Remove(Iterator task) {
  // A finished task's video is its converted file, which has no task state to lose: its tile
  // stays a converted video.
  const bool finished = task->Row->State() == TASK_DONE;
  const std::string path = task->VideoPath;
  Erase(task);
  if (!finished) TellPage(CONVERT_REMOVED, path);
  StartNextIfIdle();
}

void ConvertListCore::NoteConverting() {
  const bool converting = IsAnyConverting();
  if (converting == m_bConvertingNoted) return;
  m_bConvertingNoted = converting;
  if (m_pPage) m_pPage->OnConvertingChanged(converting);
}

}  // namespace brisel
