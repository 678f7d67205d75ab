#pragma once

#include <cstdint>
#include <string>

namespace brisel {

// Told when a list reply finds that a shared video or its thumbnail appeared or vanished.
//
// Thread contract: called on the thread that serializes a list (the service's UDP thread while
// it runs) with the catalogue mutex held, so an implementation must only hand the news on
// (post a message) and return at once; it must not call back into the ShareCatalogue.
class FileStatusChangeListener {
 public:
  virtual ~FileStatusChangeListener() = default;
  // Texts are ANSI (UTF-8 bytes); `type` is the record's ShareListType.
  virtual void OnFileStatusChanged(std::uint8_t type, std::uint8_t hasVideo, std::uint8_t hasImage,
                                   const std::string& name, const std::string& key,
                                   const std::string& path) = 0;
};

}  // namespace brisel
