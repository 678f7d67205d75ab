#pragma once

#include <string>

#include "BriselUIFiles/ConvertStatus.h"

namespace brisel {

// What the conversion queue tells the share page: the page's core (RightVideoCore)
// implements it and hands each change to the video library; tests record it. Every call
// comes on the queue's owner thread (the UI thread), from inside a ConvertListCore
// operation, after the queue has made the change it reports.
class ConvertListPage {
 public:
  virtual ~ConvertListPage() = default;

  // A task of the video at `path` changed (ConvertStatus): queued, started, removed,
  // loaded as interrupted, failed.
  virtual void OnTaskStateChanged(int status, const std::string& path) = 0;
  // A task completed and joined the finished group: `outputPath` is the converted file made
  // from `sourcePath`, whose video is idle again. Once per completed task.
  virtual void OnConverted(const std::string& sourcePath, const std::string& outputPath) = 0;
  // Whether some task converts changed: true when one started while none ran, false when
  // the last one ended.
  virtual void OnConvertingChanged(bool converting) = 0;
};

}  // namespace brisel
