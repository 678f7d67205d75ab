#pragma once

#include <memory>
#include <string>

namespace brisel {

struct VIDEOINFO_ST;
class VideoWndCore;

// What the video library needs from the panel that shows it (CVideoWndList); tests fake it.
// What it needs from the share page (and, through the page, from the main window) is
// VideoWndListPage. Every call comes on the UI thread, from inside a VideoWndListCore
// operation.
class VideoWndListHost {
 public:
  virtual ~VideoWndListHost() = default;

  // Runs the duplicate-name prompt (NOTIFY_DUPLICATE_NAME) modally for `shownName` and
  // returns its NotifyResult (NOTIFY_KEEP_BOTH, NOTIFY_SKIP, NOTIFY_CLOSED; anything else:
  // no choice).
  virtual int AskDuplicateName(const std::string& shownName) = 0;

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
