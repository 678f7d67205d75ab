#pragma once

// The video library: the logic of the video list panel (CVideoWndList). It keeps the video
// entries, one tile each (VideoWndCore), and the relations of finished conversions, decides
// which videos may enter and leave, applies the conversion queue's reports, turns checked
// videos into conversion requests, and probes the entries one after another on its ProbeAll
// thread.
//
// Thread contract:
// - Every operation is called on the UI thread (the owner's thread); host calls come back on
//   it, from inside the operation.
// - The ProbeAll thread only reads the entry list (under the list lock) and starts and waits
//   for tile probes; it never changes the list. List changes take the lock.
// - Shutdown (also run by the destructor) stops ProbeAll and every tile's threads and joins
//   them. The catalogue must outlive the object or its Shutdown.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "BriselUIFiles/VideoRelationFile.h"
#include "BriselUIFiles/VideoWndCore.h"
#include "BriselUIFiles/VideoWndListHost.h"
#include "BriselUIFiles/VideoWndListPage.h"
#include "ConService/ShareRecord.h"

namespace brisel {

class ShareCatalogue;

// Where the layout placed a tile in the panel.
struct TileRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// One video entry of the library.
struct VIDEOINFO_ST {
  std::string m_strPath;        // full path (entries from the catalogue, converted files)
  std::string m_strShareKey;    // entries from the catalogue
  std::string m_strName;        // display name, copied from the tile at submission
  std::string m_strOutputName;  // the alternative output name chosen by MakeUniqueName
  std::shared_ptr<VideoWndCore> m_pTile;
  TileRect m_rcTile;
};

// Limits of additions.
inline constexpr std::size_t kMaxLibraryEntries = 70;
// Ordinary videos (all but converted files): no more than list 1 of the share catalogue holds,
// so each one is offered to phones and comes back at the next start.
inline constexpr std::size_t kMaxOrdinaryEntries = kMaxShareRecords;
inline constexpr std::size_t kDialogBufferPerEntry = 260;  // characters
inline constexpr std::size_t kMaxPickedPathLength = 60;    // characters (UTF-16 units)
inline constexpr std::size_t kMaxBalloonTitleLength = 63;

// Modes of SelectionCommand.
inline constexpr int kSelectionReport = 0;
inline constexpr int kSelectionAllChecked = 1;
inline constexpr int kSelectionCheckAll = 3;

class VideoWndListCore {
 public:
  // `catalogue` (may be null), `host` (the panel) and `page` (the share page's core) must
  // outlive the object.
  VideoWndListCore(ShareCatalogue* catalogue, VideoWndListHost* host, VideoWndListPage* page);
  ~VideoWndListCore();
  VideoWndListCore(const VideoWndListCore&) = delete;
  VideoWndListCore& operator=(const VideoWndListCore&) = delete;

  // Reads VideoRelation.xml into the relation list (empty when it is missing or broken).
  void LoadRelations();
  // Writes the relation list; a failure is logged and the list stays as it is.
  void SaveRelations();

  // Builds the entries of both catalogue lists (list 2 without the names list 1 has), each
  // registered, with its thumbnail set, in state 0 or 3; then starts ProbeAll.
  void LoadFromCatalogue();

  // Starts the ProbeAll thread unless it runs: it probes, in list order, every entry whose
  // probe has not started, one at a time.
  void StartProbeAll();
  bool ProbeAllRunning() const;

  // Whether the file dialog must stay closed, after saying why: a library of 70 entries
  // (toast 6) or one full of ordinary videos (toast 13).
  bool RefuseDialog();
  // The file dialog's chosen paths. Refused as a whole: a library of 70 entries (toast 6)
  // and a selection that would not fit the dialog's buffer (nothing said). Each path: longer
  // than 60 characters or 511 bytes → toast 5; already a tile path → toast 2; the 71st entry
  // → toast 6, an ordinary video beyond OrdinaryFull → toast 13, and the rest is dropped.
  // Returns how many entries were added.
  std::size_t AddFromDialog(const std::vector<std::string>& picked);
  // Whether the selection fits the (70 − entries) × 260-character name buffer of the file
  // dialog ("folder\0name\0name\0\0", or "path\0" for one file).
  static bool SelectionFitsDialogBuffer(const std::vector<std::string>& picked,
                                        std::size_t entries);

  // Dropped files. A library of 70 or more entries ignores the whole drop. Each file: not one
  // of the video extensions → toast 4; longer than 511 bytes → toast 5; already a tile path
  // → toast 2; beyond OrdinaryFull → toast 13 and the rest is dropped; otherwise added and
  // probed at once. Returns how many entries were added.
  std::size_t AddDropped(const std::vector<std::string>& dropped);
  // The text after the last "." is exactly one of mp4 MP4 mkv MKV flv FLV rmvb RMVB wmv WMV
  // avi AVI mpeg MPEG 3gp 3GP.
  static bool HasVideoExtension(std::string_view path);

  // Sends a conversion request for every checked video that can be converted; true when at
  // least one was sent.
  bool SubmitChecked();
  // "name(n).ext" for the first n in 1…999 whose converted file is not in the output folder;
  // the name without its extension when all are.
  std::string MakeUniqueName(const std::string& name) const;

  // Removes the checked videos (as their states allow).
  void RemoveChecked();

  // A change of the task of the video at `path` (ConvertStatus): CONVERT_REMOVED and
  // CONVERT_FAILED make the video idle; _QUEUED, _STARTED and _INTERRUPTED give it that
  // state; other codes change nothing.
  void OnConversionStatus(int code, const std::string& path);
  // A finished conversion: the video at `sourcePath` is idle again, and the converted file
  // `outputPath` joins the library (in place of the entry of its name, if any) with its
  // relation stored and the tray balloon shown.
  void OnConverted(const std::string& sourcePath, const std::string& outputPath);

  // Whether a stored relation has `path` as its source.
  bool IsRelationSource(const std::string& path) const;

  // 0: report the selection to the page (ReportSelection), 1 if any tile is checked; 1: 1 if
  // every tile is checked (also when there is none); 3: check every tile; other: uncheck
  // every tile.
  int SelectionCommand(int mode);

  // Stops ProbeAll and the threads of every tile and waits for them. Afterwards only the
  // destructor may be called.
  void Shutdown();

  // Entries that are not converted files (also those still being probed or found missing).
  std::size_t OrdinaryEntryCount() const;
  // Whether another ordinary video would find no place in list 1 of the catalogue: the
  // library holds 35 of them, or the list is full already (it keeps the record of a video
  // whose converted file took its entry's place).
  bool OrdinaryFull() const;

  const std::list<VIDEOINFO_ST>& Entries() const { return m_entries; }
  std::size_t EntryCount() const { return m_entries.size(); }
  const std::vector<VIDEO_RELATION_ST>& Relations() const { return m_relations; }
  // The entry of a tile, or null.
  VIDEOINFO_ST* FindEntry(const VideoWndCore* tile);
  void SetTileRect(const VideoWndCore* tile, const TileRect& rect);

 private:
  using EntryIt = std::list<VIDEOINFO_ST>::iterator;

  std::shared_ptr<VideoWndCore> NewTile(const std::string& path, int state);
  void Append(VIDEOINFO_ST entry);
  void Erase(EntryIt it);
  EntryIt FindIt(const VideoWndCore* tile);
  bool IsTilePath(const std::string& path) const;
  std::vector<std::shared_ptr<VideoWndCore>> Tiles() const;
  void Toast(int kind);
  void UncheckAndRepaint(VideoWndCore& tile);
  // The first tile with exactly this path takes `state` and is repainted.
  void SetTileState(const std::string& path, int state);
  void ProbeAllThread();

  ShareCatalogue* const m_pCatalogue;
  VideoWndListHost* const m_pHost;
  VideoWndListPage* const m_pPage;

  // The list lock: changes of m_entries (UI thread) against ProbeAll's reads, and the
  // ProbeAll state.
  mutable std::mutex m_listMutex;
  std::list<VIDEOINFO_ST> m_entries;
  bool m_bProbeAllRunning = false;
  std::atomic<bool> m_bStopping{false};
  std::thread m_hProbeAll;

  std::vector<VIDEO_RELATION_ST> m_relations;  // UI thread only
};

}  // namespace brisel
