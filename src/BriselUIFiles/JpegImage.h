#pragma once

#include <string>

namespace brisel {

struct ImageSize {
  int width = 0;
  int height = 0;
};

// Decodes the JPEG file at `path` completely (libjpeg) and returns its size; 0 × 0 when the
// file is missing, is not a JPEG, or its data is cut short or corrupt. This is how the core
// tells whether a thumbnail "loads". Callable from any thread.
ImageSize DecodeJpegSize(const std::string& path);

}  // namespace brisel
