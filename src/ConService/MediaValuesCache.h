#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "BriselUIFiles/MediaInfoQuery.h"

namespace brisel {

// What a server tells players about a video file besides its URL.
struct MediaFacts {
  bool exists = false;           // the file could be stat()ed
  std::uint64_t size = 0;        // bytes, from stat
  std::int64_t durationMs = -1;  // -1: unknown
  int width = 0;                 // 0: unknown (audio-only files, unreadable files)
  int height = 0;
};

// Media values of video files, probed once through MediaInfoLib and kept by path, size and
// modification time, so answering a player costs a stat per file rather than a probe.
//
// Thread contract: any thread; probes run outside the cache's lock, so two callers may probe
// the same new file at once (both get the same answer; one is kept).
class MediaValuesCache {
 public:
  // Keeps at most this many files; past it the whole cache starts afresh (the catalogue holds
  // 70 videos, so this is only reached by files that come and go).
  static constexpr std::size_t kMaxEntries = 512;

  MediaFacts Get(const std::string& path);
  // Probes that happened (tests).
  std::uint64_t ProbeCount() const;

  // Turns MediaInfoLib's texts into numbers; unparsable or missing values stay unknown.
  static MediaFacts FromMediaValues(const MediaValues& values);

 private:
  struct Entry {
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    MediaFacts facts;
  };
  mutable std::mutex m_mutex;
  std::map<std::string, Entry> m_entries;
  std::uint64_t m_nProbes = 0;
};

}  // namespace brisel
