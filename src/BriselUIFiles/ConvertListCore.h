#pragma once

// The conversion queue: the core of the conversion list window (CConvertList). It owns the
// tasks, decides which one runs (at most one; the first waiting task starts as soon as none
// runs), keeps them grouped (running, waiting, then interrupted and failed, then finished),
// reports every change of a task to the share page and rewrites "ConvertList.xml".
//
// Thread contract:
// - One owner thread (the UI thread, or the command-line loop) calls every member function;
//   the object has no lock of its own and none is needed.
// - Messages: the rows' transcoder threads and the queue itself post task statuses
//   (CONVERT_COMPLETED, _REMOVED, _FAILED) and WM_TASK_COMMAND to `self`; whoever drains `self` on
//   the owner thread hands each message to HandleMessage.
// - Notifications to the share page, posted to `page` as video statuses (ConvertStatus.h):
//   CONVERT_FINISHED, _QUEUED, _STARTED, _REMOVED, _INTERRUPTED and _FAILED, each with the
//   task's path. CONVERT_COMPLETED (source and output) comes to the page from the task's
//   transcoder directly.
//   WM_CONVERT_ALLDONE (wParam 1 when no task converts any more, 0 when one does) is posted
//   to `page` whenever that changes, so the page and the left menu animate while a task
//   converts.
// - Destroying the queue destroys every row, which stops and joins a running transcoder.

#include <list>
#include <memory>
#include <optional>
#include <string>

#include "BriselUIFiles/ConvertListHost.h"
#include "BriselUIFiles/ConvertListItemCore.h"
#include "BriselUIFiles/TaskTexts.h"
#include "platform/Messages.h"

namespace brisel {

inline constexpr int kTaskRowHeight = 80;

// One task: its seven texts (VideoPath is the source while pending, the output once
// completed). Owned by the queue; owns its row.
struct LISTITEM_ST : TaskTexts {
  std::string TaskId;
  std::unique_ptr<ConvertListItemCore> Row;
};

class ConvertListCore {
 public:
  // `host` may be null (no message boxes, no relayout callbacks) and must outlive the queue.
  ConvertListCore(MessageTargetRef self, MessageTargetRef page, ConvertListHost* host = nullptr);
  ~ConvertListCore();
  ConvertListCore(const ConvertListCore&) = delete;
  ConvertListCore& operator=(const ConvertListCore&) = delete;

  // A task status (WM_CONVERT_STATUS) → OnTaskStatus, WM_TASK_COMMAND → OnTaskCommand; false for
  // others.
  bool HandleMessage(const Message& message);

  // Appends one task per entry of <program folder>/ConvertList.xml (AddLoadedTask); a missing
  // or broken file loads nothing.
  void LoadQueueFile();
  // Writes every task that is not cancelled, in list order and with its state, to
  // <program folder>/ConvertList.xml: finished tasks with their output path, the others with
  // their source, so that waiting, running, interrupted and failed tasks survive a restart
  // (and come back interrupted or failed). False (and logged) when the file could not be
  // replaced; the old file and the list stay as they were.
  bool SaveQueueFile();

  // A new task from a conversion request. Started at once (head of the list, code 2) when no
  // task runs; otherwise waiting (code 1), placed before the first finished or cancelled
  // task. No layout is done. Returns the task's id.
  std::string AddTask(const TaskTexts& texts);
  // A task from the queue file, appended; a saved state of 1, 2 or 6 becomes interrupted
  // (code 6), state 3 is a finished task whose output is VideoPath. Never started.
  std::string AddLoadedTask(const TaskTexts& texts, int state);

  // Positions 1..n in list order and the content height: n × 80 from six tasks on, else the
  // client height. Then the host places the rows.
  void Relayout();
  void SetClientHeight(int height) { m_nClientHeight = height; }
  int ContentHeight() const { return m_nContentHeight; }

  // The state of the first task with exactly this VideoPath and VideoName that is not
  // cancelled; nothing when there is none (a finished task carries its output path).
  std::optional<int> FindTask(const std::string& path, const std::string& name) const;
  // The first task with this name and path: a converting one is asked to stop, a waiting or
  // interrupted one is removed (through code 4 to the queue itself); 1 then, else 0.
  int CancelOrRemoveTask(const std::string& name, const std::string& path);
  // Removes the finished and cancelled tasks, then saves. Failed and interrupted ones stay.
  void ClearFinished();
  // Stops every converting task (interrupted until its transcoder has stopped), waiting at
  // most 2000 ms for each. With `exiting` the stopped tasks stay in the list; otherwise each
  // is removed when its transcoder reports the stop. Nothing waited for needs this thread.
  void StopAll(bool exiting);
  bool IsAnyConverting() const;

  // A task status sent to the queue: CONVERT_COMPLETED, CONVERT_FAILED (`boxText`: a message
  // box to show, from a run that could not start), CONVERT_REMOVED (remove the task). Each ends
  // with a refresh (relayout and save); an unknown task id only refreshes.
  void OnTaskStatus(int code, const std::string& taskId, const std::string& boxText = {});
  // WM_TASK_COMMAND: "上移至顶部" moves the task just after the running one (nothing without
  // a running task, or for the running task itself); "重新转码" runs an interrupted or failed
  // task again (RetryTask).
  void OnTaskCommand(const std::string& taskId, const std::string& command);
  // An interrupted or failed task runs again: started at the head when no task runs,
  // otherwise waiting at the end of the waiting tasks (CONVERT_QUEUED). False (nothing changes) for
  // a task in another state or one whose transcoder is still stopping.
  bool RetryTask(const std::string& taskId);
  // Starts the first waiting task where it stands when none runs.
  void StartNextIfIdle();

  const std::list<LISTITEM_ST>& TaskList() const { return m_TaskList; }
  const LISTITEM_ST* FindTaskById(const std::string& taskId) const;

 private:
  using Iterator = std::list<LISTITEM_ST>::iterator;
  LISTITEM_ST MakeRecord(const TaskTexts& texts);
  Iterator Find(const std::string& taskId);
  Iterator FirstInState(std::initializer_list<int> states);
  void Start(Iterator task);
  void PostToPage(int code, const std::string& path);
  void Refresh();
  // Tells the host, then destroys the task and its row.
  Iterator Erase(Iterator task);
  // Posts WM_CONVERT_ALLDONE when IsAnyConverting has changed since the last post.
  void NoteConverting();

  const MessageTargetRef m_pSelf;
  const MessageTargetRef m_pPage;
  ConvertListHost* const m_pHost;
  std::list<LISTITEM_ST> m_TaskList;
  int m_nClientHeight = 0;
  int m_nContentHeight = 0;
  bool m_bConvertingNoted = false;
};

}  // namespace brisel
