// Record files come from disk, where anyone may have put anything.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ConService/ShareRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  brisel::ShareRecord record;
  if (brisel::ShareRecord::ParseRecordFile(bytes, &record)) {
    if (record.name.size() >= brisel::kRecordNameField ||
        record.key.size() >= brisel::kRecordKeyField ||
        record.path.size() >= brisel::kRecordPathField)
      __builtin_trap();
    // What was read writes back to the same bytes (up to what followed the path).
    if (std::string_view(record.RecordFileBytes()).substr(4) !=
        bytes.substr(4, record.RecordFileBytes().size() - 4))
      __builtin_trap();
    record.BuildListEntry();
    if (record.IsWellFormed() && record.listEntry.size() != record.ListEntrySize())
      __builtin_trap();
  }
  brisel::ShareRecord video;
  if (brisel::ShareRecord::ParseVideoRecord(bytes, &video) && video.path.empty()) __builtin_trap();
  return 0;
}
