#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include "ConService/ShareList.h"
#include "ConService/ShareRecord.h"

namespace brisel {

class FileStatusChangeListener;

// Results of AddShareRecord.
inline constexpr int SHARE_ADD_OK = 0;
inline constexpr int SHARE_ADD_FULL = 1;      // the list already holds 35 records
inline constexpr int SHARE_ADD_REJECTED = 2;  // bad path, name or list type

// The LAN service: the share catalogue (two lists of shared videos, each mirrored by record
// files in <program folder>/file_root).
//
// Thread contract: every catalogue operation may be called from any thread; the service
// mutex guards both lists. The listener is called on the thread that serializes a list (the
// service's UDP thread) with the mutex held.
class Service {
 public:
  // The catalogue root is the program folder at construction; file_root/image is created.
  Service();
  // Rewrites the record file of every record (SaveAllShareRecords).
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Registers a video: `path` is ANSI text with "/" separators. Rejected (2): an empty path,
  // one without "/", an empty name or one longer than 60 bytes, a path longer than 255 bytes,
  // a list type other than 1 and 2. Full (1): the list holds 35 records. Added (0): the record
  // file is written and the key copied to `keyOut`. The same path may be added twice.
  int AddShareRecord(const std::string& path, std::uint8_t listType, std::string* keyOut = nullptr);

  // Reads the record file of `key` and appends the record to the list its type names. Keys
  // that are not 32 characters, missing files, files that are not well-formed records (longer
  // than 4096 bytes, strings beyond their fields or beyond the limits of an add, type other
  // than 1 and 2) and records for a full list are skipped.
  void LoadShareRecord(const std::string& key);
  // LoadShareRecord for every file of file_root, in name order.
  void LoadAllShareRecords();

  // Removes the first record of that list whose path is byte-for-byte `path`, with its record
  // file and thumbnail (both stay while another record still has the same key). False when
  // the list holds no such record.
  bool RemoveShareRecord(std::uint8_t listType, const std::string& path);

  // Enumerates a list, one record per call; false once past the last record or for a list
  // type other than 1 and 2, and the next call starts again at the head. The cursor is per
  // list and shared by all callers.
  bool NextShareRecord(std::uint8_t listType, ShareRecord* out);

  // The first record with this path in the list (0: in either list).
  bool FindShareRecord(std::uint8_t listType, const std::string& path,
                       ShareRecord* out = nullptr) const;
  std::uint32_t ShareRecordCount(std::uint8_t listType) const;

  // Writes the record file of every record of list 1, then list 2, with fresh presence flags.
  void SaveAllShareRecords();

  // The serialized list (u32 count and the list entries) as a list reply carries it; the
  // listener hears of every record whose presence flags changed, and `*changed` tells whether
  // any did. Empty for a list type other than 1 and 2.
  std::string SerializeList(std::uint8_t listType, bool* changed = nullptr);

  // The listener of presence changes; may be null. Set it before the service threads run or
  // while they run: the swap is taken under the service mutex.
  void SetFileStatusChangeListener(FileStatusChangeListener* listener);

  // Presence flags are tested again when a list is serialized, but not more often than this
  // (100 ms by default), so a burst of list requests does not become a burst of file tests.
  void SetPresenceRetestInterval(std::chrono::milliseconds interval);

  const std::string& CatalogueRoot() const { return m_strRoot; }
  std::string RecordFilePath(const std::string& key) const;
  std::string ThumbnailPath(const std::string& key) const;
  std::string ImageFolder() const { return m_strRoot + "/file_root/image"; }

 protected:
  ShareList* ListOf(std::uint8_t listType);
  const ShareList* ListOf(std::uint8_t listType) const;
  // Serializes with the mutex held.
  const std::string& SerializeLocked(ShareList& list, bool* changed);
  // Writes the record file (nothing for a record without name, path or 32-character key),
  // re-testing both flags first; an identical file is left alone.
  void WriteRecordFile(ShareRecord& record) const;

  mutable std::mutex m_mutex;  // the service mutex
  ShareList m_list1;
  ShareList m_list2;
  FileStatusChangeListener* m_pListener = nullptr;
  std::chrono::milliseconds m_presenceInterval{100};

 private:
  std::string m_strRoot;
};

}  // namespace brisel
