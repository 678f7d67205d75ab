#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "ConService/CatalogueSnapshot.h"
#include "ConService/DlnaServer.h"
#include "ConService/HeadsetLibrary.h"
#include "ConService/ListProtocolHandler.h"
#include "ConService/MediaServer.h"
#include "ConService/MediaValuesCache.h"
#include "ConService/MediaValuesProber.h"
#include "ConService/ShareList.h"
#include "ConService/ShareRecord.h"

namespace brisel {

class FileStatusChangeListener;

// Results of AddShareRecord.
inline constexpr int SHARE_ADD_OK = 0;
inline constexpr int SHARE_ADD_FULL = 1;        // the list already holds 35 records
inline constexpr int SHARE_ADD_REJECTED = 2;    // bad path, name or list type
inline constexpr int SHARE_ADD_UNWRITABLE = 3;  // the record file could not be written

// The share catalogue: the videos the PC offers, in two lists (list 1 the user's videos, list
// 2 the converter's outputs), each record mirrored by its record file in
// <program folder>/file_root, named by its share key, and its thumbnail in file_root/image;
// and the media values of the shared videos. file_root is the media server's document root:
// a record file there stands for the video it names.
//
// It gives each server what that server declares it needs (the Mediator of each): the list
// protocol its serialized lists, the media server the file a request is answered with, the
// headset libraries and the DLNA server a snapshot of the sections, a key resolved to its
// video and the videos' media values; the prober the videos whose values it keeps ready.
// Another source of videos plugs in behind the same calls: its sections follow the two share
// lists in the snapshot, and its keys resolve under media paths of its own; phones and the
// list protocol see the share lists only.
//
// Thread contract: every operation may be called from any thread; the catalogue mutex guards
// both lists (it is held only while they are read or changed, never while a server builds an
// answer or a file is probed). The listener is called with that mutex held, on the thread that
// serializes a list (the UDP thread while the service runs).
class ShareCatalogue : public ListProtocolHandler::Mediator,
                       public MediaServer::Mediator,
                       public HeadsetLibrary::Mediator,
                       public DlnaServer::Mediator,
                       public MediaValuesProber::Mediator {
 public:
  // The catalogue root is the program's data folder at construction; file_root/image is
  // created.
  ShareCatalogue();
  // Rewrites the record file of every record (SaveAllShareRecords).
  ~ShareCatalogue() override;
  ShareCatalogue(const ShareCatalogue&) = delete;
  ShareCatalogue& operator=(const ShareCatalogue&) = delete;

  // Registers a video: `path` is ANSI text with "/" separators. Rejected (2): an empty path,
  // one without "/", an empty name or one longer than 60 bytes, a path longer than 255 bytes,
  // a list type other than 1 and 2. Full (1): the list holds 35 records. Unwritable (3): the
  // record file could not be written (a full disk, a folder that cannot be written), so the
  // record is not added either; `errorOut` tells why. Added (0): the record file is written and
  // the key copied to `keyOut`. The same path may be added twice.
  int AddShareRecord(const std::string& path, std::uint8_t listType, std::string* keyOut = nullptr,
                     std::string* errorOut = nullptr);

  // Reads the record file of `key` and appends the record to the list its type names. Keys
  // that are not 32 characters, missing files, files that are not well-formed records (longer
  // than 4096 bytes, strings beyond their fields or beyond the limits of an add, type other
  // than 1 and 2) and records for a full list are skipped.
  void LoadShareRecord(const std::string& key);
  // LoadShareRecord for every file of file_root, in name order, after removing the temporary
  // files a killed save left there.
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
  // The media values of shared videos, probed once per file version: the library's own
  // probes go through it, and the servers that describe videos to players read it.
  MediaValuesCache& MediaCache() { return m_media; }

  // Writes the record file of every record of list 1, then list 2, with fresh presence flags.
  void SaveAllShareRecords();

  // The serialized list (u32 count and the list entries) as a list reply carries it; the
  // listener hears of every record whose presence flags changed, and `*changed` tells whether
  // any did. Empty for a list type other than 1 and 2.
  std::string SerializeList(std::uint8_t listType, bool* changed = nullptr);

  // The listener of presence changes; may be null. Set it before the service threads run or
  // while they run: the swap is taken under the catalogue mutex.
  void SetFileStatusChangeListener(FileStatusChangeListener* listener);

  // Presence flags are tested again when a list is serialized, but not more often than this
  // (100 ms by default), so a burst of list requests does not become a burst of file tests.
  void SetPresenceRetestInterval(std::chrono::milliseconds interval);

  const std::string& CatalogueRoot() const { return m_strRoot; }
  // file_root: the record files, and image/ with the thumbnails.
  std::string DocumentRoot() const { return m_strRoot + "/file_root"; }
  std::string RecordFilePath(const std::string& key) const;
  std::string ThumbnailPath(const std::string& key) const;
  std::string ImageFolder() const { return m_strRoot + "/file_root/image"; }

  // --- What the servers need ---

  // ListProtocolHandler::Mediator.
  bool SerializeForReply(std::uint8_t listType, std::string* wire,
                         std::uint64_t* revision) override;

  // MediaServer::Mediator: the file of file_root that `uri` names, or for a record file the
  // video it names (opened by its path's own bytes, as the presence test reads it). A record
  // file that names no regular file is not found; folders, missing and unreadable files are
  // left to the server.
  MediaServer::ServedFile OpenServedFile(std::string_view uri) const override;

  // HeadsetLibrary, DlnaServer and MediaValuesProber: both lists, as sections "1" and "2".
  CatalogueSnapshot Snapshot() const override;
  CatalogueRevisions Revisions() const override;
  // The video that the media server streams under "/KEY": what the record file of `key` names,
  // by the very rule that answers the stream (OpenServedFile), so that a description and its
  // stream never disagree. Nothing for anything but 32 lowercase hexadecimal digits, a missing
  // or malformed record file, or a video that is no regular file.
  std::optional<CatalogueVideo> ResolveKey(std::string_view key) const override;
  // The media values of a video's file (MediaCache().Get).
  MediaFacts Facts(const CatalogueVideo& video) override;

 private:
  ShareList* ListOf(std::uint8_t listType);
  const ShareList* ListOf(std::uint8_t listType) const;
  // Serializes with the mutex held.
  const std::string& SerializeLocked(ShareList& list, bool* changed);
  // Writes the record file (nothing for a record without name, path or 32-character key),
  // re-testing both flags first; an identical file is left alone. False, with errno telling
  // why, when the file could not be written.
  bool WriteRecordFile(ShareRecord& record) const;
  // The video a record stands for, as servers describe it; `key` names it in URLs.
  CatalogueVideo VideoOf(const ShareRecord& record, std::string_view key) const;
  // OpenServedFile, and the record when the file stands for a video.
  MediaServer::ServedFile OpenDocument(std::string_view uri, ShareRecord* record) const;

  std::string m_strRoot;
  MediaValuesCache m_media;

  mutable std::mutex m_mutex;  // the catalogue mutex
  ShareList m_list1;
  ShareList m_list2;
  FileStatusChangeListener* m_pListener = nullptr;
  std::chrono::milliseconds m_presenceInterval{100};
};

}  // namespace brisel
