#pragma once

#include <string>

namespace brisel {

// What the conversion queue needs from the window that shows it (CConvertList), or from the
// command-line front end. Every call comes on the queue's owner thread.
class ConvertListHost {
 public:
  virtual ~ConvertListHost() = default;

  // A plain message box with an OK button: "转码异常！！！", "创建通道异常" or "创建cmd通道失败"
  // when a task could not be started. Called last in a handler, so a modal box that runs a
  // nested event loop finds the queue in a consistent state.
  virtual void ShowMessageBox(const std::string& text) = 0;

  // The rows have been placed again (tasks added, removed or moved; positions renewed): the
  // window places its row windows by their positions and repaints.
  virtual void OnRelayout() {}

  // The task is about to leave the queue (removed or cleared): its row core is destroyed
  // right after this call returns, so the window drops whatever shows that task now. Not
  // called when the queue itself is destroyed; its window drops its rows before that.
  virtual void OnTaskRemoving(const std::string& taskId) { (void)taskId; }
};

}  // namespace brisel
