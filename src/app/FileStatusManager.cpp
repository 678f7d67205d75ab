#include "app/FileStatusManager.h"

namespace brisel {

void FileStatusManager::OnFileStatusChanged(std::uint8_t type, std::uint8_t hasVideo, std::uint8_t,
                                            const std::string&, const std::string&,
                                            const std::string& path) {
  std::uint32_t id;
  if (type == 1) {
    id = WM_SHARE_FILE_STATUS_1;
  } else if (type == 2) {
    id = WM_SHARE_FILE_STATUS_2;
  } else {
    return;
  }
  PostTo(m_mainWindow, Message(id, hasVideo, 0, path));
}

}  // namespace brisel
