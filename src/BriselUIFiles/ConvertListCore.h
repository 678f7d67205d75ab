#pragma once

// The conversion queue: the core of the conversion list window (CConvertList). It owns the
// tasks, decides which one runs (at most one; the first waiting task starts as soon as none
// runs), keeps them grouped (running, waiting, then interrupted and failed, then finished),
// reports every change of a task to the share page and rewrites "ConvertList.xml".
//
// Thread contract:
// - One owner thread (the UI thread, or the command-line loop) calls every member function;
//   the object has no lock of its own and none is needed.
// - Messages: the rows' transcoder threads post how their runs ended (task statuses,
//   ConvertStatus.h) to `self`, and a row whose run cannot start posts its failure there
//   too; whoever drains `self` on the owner thread hands each message to HandleMessage.
// - The share page hears every change of a task through `page` (ConvertListPage), called on
//   the owner thread once the queue has made the change.
// - Destroying the queue destroys every row, which stops and joins a running transcoder.

#include <list>
#include <memory>
#include <optional>
#include <string>

#include "BriselUIFiles/ConvertListHost.h"
#include "BriselUIFiles/ConvertListItemCore.h"
#include "BriselUIFiles/ConvertListPage.h"
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
  // `page` and `host` may be null (nobody hears the changes; no message boxes, no relayout
  // callbacks); either must outlive the queue.
  ConvertListCore(MessageTargetRef self, ConvertListPage* page, ConvertListHost* host = nullptr);
  ~ConvertListCore();
  ConvertListCore(const ConvertListCore&) = delete;
  ConvertListCore& operator=(const ConvertListCore&) = delete;

  // A task status (WM_CONVERT_STATUS) → OnTaskStatus; false for any other message.
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

  // A new task from a conversion request. Started at once (head of the list, CONVERT_STARTED)
  // when no task runs; otherwise waiting (CONVERT_QUEUED), placed before the first finished
  // or cancelled task. No layout is done. Returns the task's id.
  std::string AddTask(const TaskTexts& texts);
  // A task from the queue file, appended; a saved state of 1, 2 or 6 becomes interrupted
  // (CONVERT_INTERRUPTED), state 3 is a finished task whose output is VideoPath. Never
  // started.
  std::string AddLoadedTask(const TaskTexts& texts, int state);

  // Positions 1..n in list order and the content height: n × 80 from six tasks on, else the
  // client height. Then the host places the rows.
  void Relayout();
  void SetClientHeight(int height) { m_nClientHeight = height; }
  int ContentHeight() const { return m_nContentHeight; }

  // The state of the first task with exactly this VideoPath and VideoName that is not
  // cancelled; nothing when there is none (a finished task carries its output path).
  std::optional<int> FindTask(const std::string& path, const std::string& name) const;
  // The first task with this name and path: a converting one is asked to stop (it leaves
  // the list once its transcoder has stopped), a waiting or interrupted one is removed at
  // once; 1 then, else 0.
  int CancelOrRemoveTask(const std::string& name, const std::string& path);
  // The row's "取消": a converting task is asked to stop (and leaves once stopped), a task in
  // any other state leaves the list at once. No confirmation; an unknown id changes nothing.
  void CancelTask(const std::string& taskId);
  // Removes the finished and cancelled tasks, then saves. Failed and interrupted ones stay.
  void ClearFinished();
  // Stops every converting task (interrupted until its transcoder has stopped), waiting at
  // most 2000 ms for each. With `exiting` the stopped tasks stay in the list; otherwise each
  // is removed when its transcoder reports the stop. Nothing waited for needs this thread.
  void StopAll(bool exiting);
  bool IsAnyConverting() const;

  // How a task's run ended (TranscodeEnd): TRANSCODE_COMPLETED (the task joins the finished
  // group and the page hears OnConverted), TRANSCODE_FAILED (`boxText`: a message box to
  // show, from a run that could not start), TRANSCODE_STOPPED (the task leaves). Each ends
  // with a refresh (relayout and save); an unknown task id only refreshes.
  void OnTaskStatus(int code, const std::string& taskId, const std::string& boxText = {});
  // The row's buttons: "上移至顶部" moves the task just after the running one (nothing without
  // a running task, or for the running task itself); "重新转码" runs an interrupted or failed
  // task again (RetryTask).
  void OnTaskCommand(const std::string& taskId, const std::string& command);
  // An interrupted or failed task runs again: started at the head when no task runs,
  // otherwise waiting at the end of the waiting tasks (CONVERT_QUEUED). False (nothing
  // changes) for a task in another state or one whose transcoder is still stopping.
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
  void TellPage(int status, const std::string& path);
  // A completed task whose completion the page has not heard yet: the page hears it, and the
  // task's VideoPath becomes its output.
  void ReportConverted(LISTITEM_ST& task);
  void Refresh();
  // Tells the host, then destroys the task and its row.
  Iterator Erase(Iterator task);
  // Erases the task, tells the page (CONVERT_REMOVED) and starts the next waiting task.
  void Remove(Iterator task);
  // Tells the page when IsAnyConverting has changed since it last heard.
  void NoteConverting();

  const MessageTargetRef m_pSelf;
  ConvertListPage* const m_pPage;
  ConvertListHost* const m_pHost;
  std::list<LISTITEM_ST> m_TaskList;
  int m_nClientHeight = 0;
  int m_nContentHeight = 0;
  bool m_bConvertingNoted = false;
};

}  // namespace brisel
