// Range headers come from any client on the LAN.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "ConService/HttpRange.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  std::uint64_t fileSize;
  std::memcpy(&fileSize, data, 8);
  fileSize %= (1ull << 40);
  std::string_view header(reinterpret_cast<const char*>(data + 8), size - 8);
  brisel::HttpRange range = brisel::HttpRange::Decide(header, fileSize);
  if (range.kind == brisel::HttpRange::Kind::Partial &&
      (range.first > range.last || range.last >= fileSize))
    __builtin_trap();
  return 0;
}
