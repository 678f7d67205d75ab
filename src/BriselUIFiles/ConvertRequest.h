#pragma once

#include <string>

namespace brisel {

// A checked video submitted for conversion: the record of WM_CONVERT_REQUEST (sent by the
// video list to the share page, which adds a conversion task from it). The texts are the
// tile's, as the media probe left them.
struct ConvertRequest {
  std::string m_strSourcePath;     // the video (tile path)
  std::string m_strThumbnailPath;  // its thumbnail JPEG (empty when it has none)
  std::string m_strOutputName;     // output file name, no folder
  std::string m_strFileSize;       // bytes
  std::string m_strDuration;       // milliseconds
  std::string m_strWidth;
  std::string m_strHeight;

  bool operator==(const ConvertRequest&) const = default;
};

}  // namespace brisel
