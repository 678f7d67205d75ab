#pragma once

#include <string>

#include "BriselUIFiles/ConvertRequest.h"

namespace brisel {

// What a ticked selection allows, as the video list reports it to the share page
// (WM_SELECTION_STATE's wParam/lParam pairs 1/1, 1/0 and 2/0).
enum SelectionState : int {
  SELECTION_CONVERTIBLE,      // at least one ticked video can be converted
  SELECTION_NOT_CONVERTIBLE,  // videos are ticked, none of them can be converted
  SELECTION_NONE,             // nothing is ticked
};

// What the video library needs from the share page: the page's core (RightVideoCore)
// implements it and routes each call to the conversion list, the page's windows or the main
// window; tests fake it. Every call comes on the UI thread, from inside a VideoWndListCore
// operation, or from the panel and its tiles (RefreshSelection).
class VideoWndListPage {
 public:
  virtual ~VideoWndListPage() = default;

  // A ticked video submitted for conversion (WM_CONVERT_REQUEST): the page adds a task to
  // the conversion list. Answers 1.
  virtual int RequestConversion(const ConvertRequest& request) = 0;
  // The selection as the video list found it (WM_SELECTION_STATE); a walk over the tiles
  // may report several times, the last report counts.
  virtual void ReportSelection(SelectionState state) = 0;
  // A queued or converting video leaves the library (WM_CANCEL_TASK): the conversion list
  // stops or removes the task named `name` of the video at `path`. 1 when it did.
  virtual int CancelTask(const std::string& name, const std::string& path) = 0;
  // A converted video left the library (WM_CONVERTED_DELETED).
  virtual void ConvertedDeleted(const std::string& path) = 0;
  // An addition was refused (WM_SHOW_TOAST): the toast of that ToastKind.
  virtual void ShowToast(int kind) = 0;
  // Whether the conversion list holds a task of this video (name and path equal, state not
  // TASK_CANCELLED).
  virtual bool FindTask(const std::string& path, const std::string& name) = 0;
  // A conversion finished: the main window's tray balloon, titled with the converted file's
  // name (at most 63 characters).
  virtual void ShowConvertedBalloon(const std::string& title) = 0;
  // The ticks or the videos changed through the panel itself (a tile's click, the panel's
  // own "添加", a drop): the page refreshes what the selection allows.
  virtual void RefreshSelection() = 0;
};

}  // namespace brisel
