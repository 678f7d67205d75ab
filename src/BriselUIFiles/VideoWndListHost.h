#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Messages.h"
#include "platform/Notifications.h"

namespace brisel {

struct VIDEOINFO_ST;
class VideoWndCore;

// What the video library needs from the windows around it: the video list panel
// (CVideoWndList) implements it, forwarding to the share page and the main window; tests
// fake it. Every call comes on the UI thread, from inside a VideoWndListCore operation.
class VideoWndListHost {
 public:
  virtual ~VideoWndListHost() = default;

  // Sends a message to the share page and returns its answer:
  //   WM_CONVERT_REQUEST  record = ConvertRequest; answer 1
  //   WM_SELECTION_STATE  wParam 1 or 2, lParam 0 or 1; answer 1
  //   WM_CANCEL_TASK      text = display name, text2 = tile path; 1 when the task was dropped
  virtual std::intptr_t SendToPage(Message message) = 0;
  // Posts to the share page: WM_CONVERTED_DELETED (text = path), WM_SHOW_TOAST (wParam kind).
  virtual void PostToPage(Message message) = 0;
  // Whether the conversion list holds a task of this video: the share page asks the list's
  // FindTask (name and path equal, state not 4).
  virtual bool FindTask(const std::string& path, const std::string& name) = 0;
  // Runs the duplicate-name prompt (NOTIFY_DUPLICATE_NAME) modally for `shownName` and
  // returns its NotifyResult (NOTIFY_KEEP_BOTH, NOTIFY_SKIP, NOTIFY_CLOSED; anything else:
  // no choice).
  virtual int AskDuplicateName(const std::string& shownName) = 0;
  // The main window's balloon for a finished conversion, titled with the file's name.
  virtual void ShowConvertedBalloon(const std::string& title) = 0;

  // A tile was created and is about to be shown or probed: the panel makes its window and
  // installs the tile's repaint target and thumbnail loader here.
  virtual void OnTileCreated(const std::shared_ptr<VideoWndCore>& tile) = 0;
  virtual void RepaintTile(const VIDEOINFO_ST& entry) = 0;
  virtual void RepaintPanel() = 0;
  // The entry list changed: the panel drops the windows of tiles that left it and lays the
  // tiles out again.
  virtual void RedoLayout() = 0;
};

}  // namespace brisel
