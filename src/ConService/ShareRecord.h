#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brisel {

// ShareListType: which list of the catalogue a record belongs to.
inline constexpr std::uint8_t SHARE_LIST_ORDINARY = 1;   // the user's videos
inline constexpr std::uint8_t SHARE_LIST_CONVERTED = 2;  // videos the converter produced

inline constexpr std::size_t kMaxShareRecords = 35;     // per list
inline constexpr std::size_t kMaxShareNameBytes = 60;   // name = path after the last "/"
inline constexpr std::size_t kMaxSharePathBytes = 255;  // what the presence test can see
inline constexpr std::size_t kShareKeyLength = 32;
inline constexpr std::size_t kMaxRecordFileBytes = 4096;
// Field sizes of the record (terminator included); record files with longer strings are not
// ours.
inline constexpr std::size_t kRecordNameField = 512;
inline constexpr std::size_t kRecordKeyField = 64;
inline constexpr std::size_t kRecordPathField = 1024;
// A list entry is 38 bytes plus the name.
inline constexpr std::size_t kListEntryOverhead = 38;

// One shared video. Its record file "<root>/file_root/<key>" holds the same data, so the
// catalogue survives restarts and the media server can find the video by its key.
//
// Record file: "qmtk", type, has video, has image, u16 n, name, u16 32, key, u16 p, path
// (45 + n + p bytes). List entry: has video, has image, u16 n, name, u16 32, key.
struct ShareRecord {
  std::uint8_t type = 0;      // SHARE_LIST_ORDINARY or SHARE_LIST_CONVERTED
  std::uint8_t hasVideo = 0;  // the video existed at the last test
  std::uint8_t hasImage = 0;  // the thumbnail existed at the last test
  std::string name;           // last component of the path
  std::string key;            // share key
  std::string path;           // ANSI path with "/" separators, as the caller gave it
  std::string listEntry;      // bytes for a list reply, rebuilt by RefreshWireForm

  // The share key of a path: MD5 of its bytes as 32 lowercase hexadecimal characters.
  static std::string MakeKey(std::string_view path);

  // The record file's bytes.
  std::string RecordFileBytes() const;

  // Reads type, flags and the three strings of a record file. The magic is not checked (the
  // media server does that). False, with `out` untouched, when the file is longer than 4096
  // bytes, is cut short, or a string does not fit its field.
  static bool ParseRecordFile(std::string_view bytes, ShareRecord* out);

  // The record a file of file_root holds when it stands for a video (the media server then
  // sends that video): only when the file starts with the magic, is well formed and names a
  // path.
  static bool ParseVideoRecord(std::string_view bytes, ShareRecord* out);

  // Re-tests both presence flags (thumbnail: `imageFolder` + "/" + key + ".jpg") and rebuilds
  // the list entry. True when a flag changed. Does nothing (false) for a record without name
  // or with a key that is not 32 characters.
  bool RefreshWireForm(const std::string& imageFolder);

  // Re-tests both flags; true when one changed.
  bool RetestPresence(const std::string& imageFolder);

  // Builds the list entry from the stored flags.
  void BuildListEntry();

  std::size_t ListEntrySize() const { return name.size() + kListEntryOverhead; }
  bool IsWellFormed() const { return !name.empty() && key.size() == kShareKeyLength; }
};

}  // namespace brisel
