#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ConService/MediaValuesCache.h"
#include "ConService/ParserHandler.h"
#include "ConService/ShareList.h"
#include "ConService/ShareRecord.h"

namespace brisel {

class DlnaServer;
class FileStatusChangeListener;
class LanServer;

// Bits of the service flags word.
inline constexpr std::uint32_t SERVICE_UDP_RUNNING = 1u << 0;
inline constexpr std::uint32_t SERVICE_HTTP_RUNNING = 1u << 1;
inline constexpr std::uint32_t SERVICE_UDP_STOP = 1u << 2;
inline constexpr std::uint32_t SERVICE_HTTP_STOP = 1u << 3;

// Results of AddShareRecord.
inline constexpr int SHARE_ADD_OK = 0;
inline constexpr int SHARE_ADD_FULL = 1;        // the list already holds 35 records
inline constexpr int SHARE_ADD_REJECTED = 2;    // bad path, name or list type
inline constexpr int SHARE_ADD_UNWRITABLE = 3;  // the record file could not be written

// A copy of both lists, for readers that must not hold the service mutex while they work.
struct ShareCatalogueSnapshot {
  std::uint64_t revisions[2] = {0, 0};  // ShareList::Revision of list 1 and list 2
  std::vector<ShareRecord> lists[2];
};

// The LAN service: the share catalogue (two lists of shared videos, each mirrored by record
// files in <program folder>/file_root) and the threads that offer it to phones on one IPv4
// address: "UDP线程" (discovery datagram and the list protocol on TCP 11718) and "HTTP线程"
// (the media server on 11717).
//
// Thread contract: every catalogue operation may be called from any thread; the service
// mutex guards both lists and the list stamps. The listener is called on the UDP thread with
// the mutex held. SetServiceAddress, StartServiceThreads and StopServiceThreads may be called
// from any thread (they are serialised among themselves) but not from the service's own
// threads. HandlePacket and BuildListReply run on the UDP thread.
class Service : public ParserHandler {
 public:
  // The catalogue root is the program folder at construction; file_root/image is created.
  Service();
  // Stops the threads, then rewrites the record file of every record (SaveAllShareRecords).
  ~Service() override;
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

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

  // Both lists as they are now, copied under the service mutex.
  ShareCatalogueSnapshot SnapshotCatalogue() const;
  // ShareList::Revision of a list (0 for a list type other than 1 and 2).
  std::uint64_t CatalogueRevision(std::uint8_t listType) const;

  // The listener of presence changes; may be null. Set it before the service threads run or
  // while they run: the swap is taken under the service mutex.
  void SetFileStatusChangeListener(FileStatusChangeListener* listener);

  // Presence flags are tested again when a list is serialized, but not more often than this
  // (100 ms by default), so a burst of list requests does not become a burst of file tests.
  void SetPresenceRetestInterval(std::chrono::milliseconds interval);

  // --- Service threads ---

  // Moves the service to `address` (four numbers 0..255 joined by dots): 1 when the threads
  // were (re)started on it; 0 when the text is not such an address, when it names the address
  // in use (compared number by number, so "192.168.001.023" equals "192.168.1.23"), or when
  // the threads could not be started. Running threads are stopped first.
  std::uint8_t SetServiceAddress(const std::string& address);
  // Starts both threads on the current address: false when it is empty, when a flag bit is
  // set or when threads of an earlier start are still starting up. That the threads started
  // does not mean that their sockets opened: see WaitForServiceThreads.
  bool StartServiceThreads();
  // Whether the threads also run the DLNA media server (DlnaServer) on the address; off by
  // default. Takes effect at the next start (SetServiceAddress, StartServiceThreads).
  void SetDlnaServerEnabled(bool enabled);
  // Asks both loops (and the DLNA media server) to end and waits for them (each notices within a
  // second), then clears the stop bits. Returns at once when nothing runs.
  void StopServiceThreads();

  // What the threads of the last start made of their sockets.
  struct ThreadsState {
    bool settled = false;      // both threads have either opened their sockets or given up
    bool udpRunning = false;   // discovery and the list protocol are up
    bool httpRunning = false;  // the media server is up
    std::string udpError;      // why the UDP loop did not start
    std::string httpError;     // why the HTTP loop did not start
    bool dlnaEnabled = false;  // the last start included the DLNA media server
    bool dlnaRunning = false;
    std::string dlnaError;     // why the DLNA media server did not start
    std::string dlnaLocation;  // its device description's URL while it runs
  };
  // Waits until both threads (and the DLNA media server) of the last start have settled, at
  // most `timeout`.
  ThreadsState WaitForServiceThreads(std::chrono::milliseconds timeout);

  // The flags word: bits SERVICE_UDP_RUNNING, SERVICE_HTTP_RUNNING and the two stop requests.
  std::uint32_t Flags() const { return m_flags.load(); }
  // The address the threads run on (empty before the first SetServiceAddress).
  std::string ServiceAddress() const;
  // Phones connected to the list protocol right now; any thread may read it.
  int ConnectedClientCount() const { return m_nConnected.load(); }

  // --- List protocol ---

  // Answers one request received on `connection` (UDP thread).
  void HandlePacket(ClientSlot& connection, int length) override;
  // Builds the list reply for a list request into the reply buffer: its length, or 0 for a
  // list type other than 1 and 2. The connection's stamp is renewed as the stamp rule says.
  std::size_t BuildListReply(std::uint8_t listType, ClientSlot& connection,
                             std::uint32_t phoneStamp);
  const std::vector<std::uint8_t>& ReplyBuffer() const { return m_reply; }

  // The clock of list stamps, in milliseconds since 1970 (tests); empty restores the real one.
  void SetListStampClockForTesting(std::function<std::uint64_t()> clock);

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
  // re-testing both flags first; an identical file is left alone. False, with errno telling
  // why, when the file could not be written.
  bool WriteRecordFile(ShareRecord& record) const;

  mutable std::mutex m_mutex;  // the service mutex
  ShareList m_list1;
  ShareList m_list2;
  FileStatusChangeListener* m_pListener = nullptr;
  std::chrono::milliseconds m_presenceInterval{100};

 private:
  enum class Loop { Udp, Http };
  bool StartLocked();
  void StopLocked();
  void UdpLoop(std::string address);
  void HttpLoop(std::string address);
  void Settle(Loop loop, bool running, const std::string& error);
  void LoopEnded();
  // A fresh list stamp: the clock's milliseconds truncated to 32 bits, but never 0 and never
  // one handed out before, so two catalogue changes within a millisecond still renew.
  std::uint32_t NextListStampLocked();
  void SendAll(int socket, const std::uint8_t* data, std::size_t length);

  std::string m_strRoot;
  MediaValuesCache m_media;

  std::atomic<std::uint32_t> m_flags{0};
  std::atomic<int> m_nConnected{0};
  std::vector<std::uint8_t> m_reply;  // UDP thread; grown, never shrunk
  LanServer* m_pLanServer = nullptr;  // UDP thread; null while its loop does not run
  std::uint32_t m_nLastStamp = 0;     // under m_mutex
  std::function<std::uint64_t()> m_stampClock;

  mutable std::mutex m_controlMutex;  // address and thread handles
  std::string m_strAddress;
  std::thread m_udpThread;
  std::thread m_httpThread;
  std::unique_ptr<DlnaServer> m_pDlna;
  bool m_bDlnaEnabled = false;
  bool m_bDlnaStarted = false;  // by the last start
  std::atomic<int> m_nLiveLoops{0};
  int m_wakeFd = -1;  // eventfd that cuts the UDP loop's wait short on a stop request

  std::mutex m_stateMutex;
  std::condition_variable m_stateChanged;
  int m_nSettled = 0;
  int m_nStarted = 0;
  ThreadsState m_state;
};

}  // namespace brisel
