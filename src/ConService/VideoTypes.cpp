#include "ConService/VideoTypes.h"

#include <strings.h>

#include <cstring>

namespace brisel {

const char* VideoMimeType(std::string_view path) {
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos)
    return nullptr;
  std::string_view extension = path.substr(dot);
  for (const VideoType& type : kVideoTypes) {
    if (extension.size() == std::strlen(type.extension) &&
        strncasecmp(extension.data(), type.extension, extension.size()) == 0)
      return type.mime;
  }
  return nullptr;
}

}  // namespace brisel
