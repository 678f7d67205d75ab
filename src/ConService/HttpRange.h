#pragma once

#include <cstdint>
#include <string_view>

namespace brisel {

// What the media server does with a request's Range header for a file of a given size.
struct HttpRange {
  enum class Kind {
    Whole,          // no usable Range header: the whole file, 200
    Partial,        // bytes first..last (inclusive), 206
    Unsatisfiable,  // 416 with "Content-Range: bytes */size"
  };
  Kind kind = Kind::Whole;
  std::uint64_t first = 0;
  std::uint64_t last = 0;

  // One range of the "bytes" unit: "a-b" (an end past the file is cut to its last byte),
  // "a-" and the suffix "-n" (the last n bytes). A first byte at or past the end, a suffix of
  // 0 and any range of an empty file are unsatisfiable. A header that is not well formed, or
  // that asks for several ranges, is ignored (the whole file is sent, as HTTP allows).
  static HttpRange Decide(std::string_view header, std::uint64_t size);
};

}  // namespace brisel
