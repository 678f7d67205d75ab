#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "platform/MediaInfoQuery.h"

namespace brisel {

// What a server tells players about a video file besides its URL.
struct MediaFacts {
  bool exists = false;           // the file could be stat()ed
  std::uint64_t size = 0;        // bytes, from stat
  std::int64_t durationMs = -1;  // -1: unknown
  int width = 0;                 // 0: unknown (audio-only files, unreadable files)
  int height = 0;
};

// The media values of shared videos, probed once per file version through MediaInfoLib: an
// entry holds while the file keeps its size and modification time, so answering a player
// costs a stat per file rather than a probe. A file whose values are not known is probed on
// the calling thread, outside every lock, so one slow file delays only those who asked for
// it; callers asking for the same file at once share one probe.
//
// Thread contract: every operation may be called from any thread.
class MediaValuesCache {
 public:
  using Prober = std::function<MediaValues(const std::string& path)>;

  // Entries kept at most; beyond that the oldest file versions are forgotten (a library holds
  // at most 70 videos, so this only matters for files that come and go).
  static constexpr std::size_t kMaxEntries = 512;

  // Probes through MediaInfoLib unless told otherwise (tests count probes).
  explicit MediaValuesCache(Prober prober = QueryMediaInfo);

  // The file as a server describes it; `exists` is false (and nothing is probed) when it is no
  // regular file.
  MediaFacts Get(const std::string& path);

  // The values as MediaInfoLib writes them, for the library's own tiles; all empty when the
  // file cannot be found. Values that say the library could not be loaded are handed on but
  // not kept.
  MediaValues Lookup(const std::string& path);

  // How many probes ran (tests and diagnostics).
  std::uint64_t ProbeCount() const;

  // Turns MediaInfoLib's texts into numbers; unparsable or missing values stay unknown.
  static MediaFacts FromMediaValues(const MediaValues& values);

 private:
  struct Version {
    std::int64_t size = -1;
    std::int64_t mtimeNs = 0;
    bool operator==(const Version&) const = default;
  };
  struct Entry {
    Version version;
    MediaValues values;
    std::uint64_t age = 0;  // when it was stored, in probes
  };
  static bool CurrentVersion(const std::string& path, Version* out);
  // The values of the file's current version; false when it is no regular file.
  bool Values(const std::string& path, MediaValues* values, std::uint64_t* size);
  void ForgetOldestLocked();

  Prober m_prober;
  mutable std::mutex m_mutex;
  std::condition_variable m_probed;
  std::map<std::string, Entry> m_entries;
  std::set<std::string> m_probing;  // paths being probed right now
  std::uint64_t m_nProbes = 0;
};

}  // namespace brisel
