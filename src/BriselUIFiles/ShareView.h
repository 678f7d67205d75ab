#pragma once

namespace brisel {

// The share page's three views, as the left menu picks them.
enum ShareView : int {
  SHARE_VIEW_VIDEOS = 0,
  SHARE_VIEW_CONVERT_LIST = 1,
  SHARE_VIEW_SETTINGS = 2,
};

}  // namespace brisel
