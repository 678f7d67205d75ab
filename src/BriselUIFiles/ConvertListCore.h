#pragma once

// The conversion queue: the core of the conversion list window (CConvertList). It owns the
// tasks, decides which one runs (at most one; the first waiting task starts as soon as none
// runs), keeps them grouped (running, waiting, then interrupted and failed, then finished),
// reports every change of a task to the share page and rewrites "ConvertList.xml".
//
// Thread contract:
// - One owner thread (the UI thread, or the command-line loop) calls every member function;
//   the object has no lock of its own and none is needed.
// - Messages: the rows' transcoder threads and the queue itself post WM_CONVERT_STATUS
//   (codes 3, 4, 9) and WM_TASK_COMMAND to `self`; whoever drains `self` on the owner thread
//   hands each message to HandleMessage.
// - Notifications to the share page, posted to `page` as WM_CONVERT_STATUS with
//   text = a path: 0 completed and moved to the finished group (source path), 1 queued behind
//   the running task, 2 started, 4 removed (VideoPath: the output path of a finished task),
//   6 loaded from the queue file as interrupted, 9 failed. Code 3 (completed, text = source,
//   text2 = output) comes to the page from the task's transcoder directly.
// - Destroying the queue destroys every row, which stops and joins a running transcoder.

#include <list>
#include <memory>
#include <optional>
#include <string>

#include "BriselUIFiles/ConvertListHost.h"
#include "BriselUIFiles/ConvertListItemCore.h"
#include "platform/Messages.h"

namespace brisel {

inline constexpr const char* kConvertListTag = "BriselUIFiles\\ConvertList";
inline constexpr int kTaskRowHeight = 80;

// One task. Owned by the queue; owns its row.
struct LISTITEM_ST {
  std::string VideoName;        // display name, base of the output file name
  std::string VideoSize;        // bytes of the source
  std::string VideoScreenPath;  // thumbnail of the source
  std::string VideoTime;        // milliseconds
  std::string VideoWidth;
  std::string VideoHeight;
  std::string VideoPath;  // the source while pending; the output once completed
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

  // WM_CONVERT_STATUS → OnTaskStatus, WM_TASK_COMMAND → OnTaskCommand; false for others.
  bool HandleMessage(const Message& message);

  // Appends one task per entry of <program folder>/ConvertList.xml (AddLoadedTask); a missing
  // or broken file loads nothing.
  void LoadQueueFile();
  // Writes the finished tasks, in list order, to <program folder>/ConvertList.xml. False (and
  // logged) when the file could not be replaced; the old file and the list stay as they were.
  bool SaveQueueFile();

  // A new task from a conversion request. Started at once (head of the list, code 2) when no
  // task runs; otherwise waiting (code 1), placed before the first finished or cancelled
  // task. No layout is done. Returns the task's id.
  std::string AddTask(const std::string& videoName, const std::string& videoPath,
                      const std::string& videoSize, const std::string& videoScreenPath,
                      const std::string& videoTime, const std::string& videoWidth,
                      const std::string& videoHeight);
  // A task from the queue file, appended; a saved state of 1, 2 or 6 becomes interrupted
  // (code 6), state 3 is a finished task whose output is VideoPath. Never started.
  std::string AddLoadedTask(const std::string& videoName, const std::string& videoPath,
                            const std::string& videoSize, const std::string& videoScreenPath,
                            const std::string& videoTime, const std::string& videoWidth,
                            const std::string& videoHeight, int state);

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

  // WM_CONVERT_STATUS sent to the queue: 3 completed, 9 failed (`boxText`: a message box to
  // show, from a run that could not start), 4 remove. Each ends with a refresh (relayout and
  // save); an unknown task id only refreshes.
  void OnTaskStatus(int code, const std::string& taskId, const std::string& boxText = {});
  // WM_TASK_COMMAND: "上移至顶部" moves the task just after the running one (nothing without
  // a running task, or for the running task itself).
  void OnTaskCommand(const std::string& taskId, const std::string& command);
  // Starts the first waiting task where it stands when none runs.
  void StartNextIfIdle();

  const std::list<LISTITEM_ST>& TaskList() const { return m_TaskList; }
  const LISTITEM_ST* FindTaskById(const std::string& taskId) const;

 private:
  using Iterator = std::list<LISTITEM_ST>::iterator;
  LISTITEM_ST MakeRecord(const std::string& videoName, const std::string& videoPath,
                         const std::string& videoSize, const std::string& videoScreenPath,
                         const std::string& videoTime, const std::string& videoWidth,
                         const std::string& videoHeight);
  Iterator Find(const std::string& taskId);
  Iterator FirstInState(std::initializer_list<int> states);
  void Start(Iterator task);
  void PostToPage(int code, const std::string& path);
  void Refresh();

  const MessageTargetRef m_pSelf;
  const MessageTargetRef m_pPage;
  ConvertListHost* const m_pHost;
  std::list<LISTITEM_ST> m_TaskList;
  int m_nClientHeight = 0;
  int m_nContentHeight = 0;
};

}  // namespace brisel
