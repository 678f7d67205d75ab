#pragma once

#include <string>

namespace brisel {

// The four media values of a video, as the text MediaInfoLib returns (empty when it has
// none, e.g. Width of an audio-only file).
struct MediaValues {
  std::string duration;  // General "Duration", milliseconds
  std::string fileSize;  // General "FileSize", bytes
  std::string width;     // first Video stream "Width"
  std::string height;    // first Video stream "Height"
};

inline constexpr const char* kMediaInfoUnavailable = "Unable to load MediaInfo.dll";

// Reads the values through libmediainfo, loaded on first use through MediaInfoLib's own
// dynamic-loading interface. When the library cannot be loaded every value reads
// "Unable to load MediaInfo.dll" and the next query tries again. Thread-safe: several probes
// may query at once. Any path the file system holds works, whatever its bytes and the
// process's locale.
MediaValues QueryMediaInfo(const std::string& path);

// Makes the library count as absent (tests); false restores normal loading.
void SetMediaInfoUnloadableForTesting(bool unloadable);

}  // namespace brisel
