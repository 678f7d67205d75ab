// Any converter output read as a progress chunk gives a consistent report and a percentage
// within 0..100, whatever the duration text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "BriselUIFiles/Transcoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  brisel::ProgressReport report = brisel::ParseProgressChunk(text);
  if (report.parsed && !report.found) std::abort();
  if (!report.parsed && report.elapsedSeconds != 0) std::abort();
  if (report.elapsedSeconds > 99 * 3600 + 59 * 60 + 59) std::abort();
  int percent = brisel::ProgressPercent(report.elapsedSeconds, text);
  if (percent < 0 || percent > 100) std::abort();
  return 0;
}
