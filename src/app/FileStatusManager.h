#pragma once

#include "ConService/FileStatusChangeListener.h"
#include "platform/Messages.h"

namespace brisel {

// The main window's listener of the share catalogue: a record whose video or thumbnail
// appeared or vanished becomes WM_SHARE_FILE_STATUS_1 (list 1) or WM_SHARE_FILE_STATUS_2
// (list 2) to the main window, wParam = has video, text = the record's path.
//
// Thread contract: called on the service's UDP thread with the catalogue mutex held; it only
// posts (never blocks), and a post to a window that is gone is dropped.
class FileStatusManager : public FileStatusChangeListener {
 public:
  explicit FileStatusManager(MessageTargetRef mainWindow) : m_mainWindow(std::move(mainWindow)) {}

  void OnFileStatusChanged(std::uint8_t type, std::uint8_t hasVideo, std::uint8_t hasImage,
                           const std::string& name, const std::string& key,
                           const std::string& path) override;

 private:
  MessageTargetRef m_mainWindow;
};

}  // namespace brisel
