#include "BriselUIFiles/VideoWndListCore.h"

#include <algorithm>
#include <set>

#include "BriselUIFiles/ConvertRequest.h"
#include "BriselUIFiles/ConvertStatus.h"
#include "BriselUIFiles/Transcoder.h"
#include "ConService/ShareCatalogue.h"
#include "platform/FileSystem.h"
#include "platform/Notifications.h"
#include "platform/TextCodec.h"
#include "settings/AppSettings.h"

namespace brisel {
namespace {

constexpr auto kProbeWaitStep = std::chrono::milliseconds(100);

std::string NameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The output folder setting as the transcoder reads it when a task starts.
std::string CurrentOutputFolder() { return theSettings ? theSettings->m_strConvertPath : ""; }

// Whether the transcoder's output for a task of this name is already in the output folder.
bool ConvertedFileExists(const std::string& name) {
  return PathExists(OutputPathFor(CurrentOutputFolder(), name));
}

}  // namespace

VideoWndListCore::VideoWndListCore(ShareCatalogue* catalogue, VideoWndListHost* host,
                                   VideoWndListPage* page)
    : m_pCatalogue(catalogue), m_pHost(host), m_pPage(page) {}

VideoWndListCore::~VideoWndListCore() { Shutdown(); }

// ---------------------------------------------------------------------------------------------
// Relations

void VideoWndListCore::LoadRelations() { m_relations = ReadRelationFile(RelationFilePath()); }

void VideoWndListCore::SaveRelations() { WriteRelationFile(RelationFilePath(), m_relations); }

bool VideoWndListCore::IsRelationSource(const std::string& path) const {
  return std::any_of(m_relations.begin(), m_relations.end(),
                     [&](const VIDEO_RELATION_ST& r) { return r.m_strSrcPath == path; });
}

// ---------------------------------------------------------------------------------------------
// Entries

std::shared_ptr<VideoWndCore> VideoWndListCore::NewTile(const std::string& path, int state) {
  auto tile = std::make_shared<VideoWndCore>(m_pCatalogue, path, state);
  m_pHost->OnTileCreated(tile);
  return tile;
}

void VideoWndListCore::Append(VIDEOINFO_ST entry) {
  std::lock_guard<std::mutex> lock(m_listMutex);
  m_entries.push_back(std::move(entry));
}

void VideoWndListCore::Erase(EntryIt it) {
  // Nothing of the tile runs any more once it leaves the list; ProbeAll, which may still hold
  // it, sees it stopped.
  it->m_pTile->Shutdown();
  std::lock_guard<std::mutex> lock(m_listMutex);
  m_entries.erase(it);
}

VideoWndListCore::EntryIt VideoWndListCore::FindIt(const VideoWndCore* tile) {
  return std::find_if(m_entries.begin(), m_entries.end(),
                      [&](const VIDEOINFO_ST& e) { return e.m_pTile.get() == tile; });
}

VIDEOINFO_ST* VideoWndListCore::FindEntry(const VideoWndCore* tile) {
  auto it = FindIt(tile);
  return it == m_entries.end() ? nullptr : &*it;
}

void VideoWndListCore::SetTileRect(const VideoWndCore* tile, const TileRect& rect) {
  if (VIDEOINFO_ST* e = FindEntry(tile)) e->m_rcTile = rect;
}

bool VideoWndListCore::IsTilePath(const std::string& path) const {
  return std::any_of(m_entries.begin(), m_entries.end(),
                     [&](const VIDEOINFO_ST& e) { return e.m_pTile->Path() == path; });
}

// The tiles in list order. Operations that call the host walk this copy and find each entry
// again afterwards: a modal prompt runs the event loop, in which a finished conversion may
// replace an entry.
std::vector<std::shared_ptr<VideoWndCore>> VideoWndListCore::Tiles() const {
  std::vector<std::shared_ptr<VideoWndCore>> tiles;
  for (const VIDEOINFO_ST& e : m_entries) tiles.push_back(e.m_pTile);
  return tiles;
}

std::size_t VideoWndListCore::OrdinaryEntryCount() const {
  return std::count_if(m_entries.begin(), m_entries.end(), [](const VIDEOINFO_ST& e) {
    // MarkMissing saves the previous state before it sets 8.
    const int state = e.m_pTile->State();
    const int kind = state == VIDEO_MISSING ? e.m_pTile->PreviousState() : state;
    return kind != VIDEO_CONVERTED;
  });
}

bool VideoWndListCore::OrdinaryFull() const {
  return OrdinaryEntryCount() >= kMaxOrdinaryEntries ||
         (m_pCatalogue && m_pCatalogue->ShareRecordCount(SHARE_LIST_ORDINARY) >= kMaxShareRecords);
}

void VideoWndListCore::Toast(int kind) { m_pPage->ShowToast(kind); }

void VideoWndListCore::UncheckAndRepaint(VideoWndCore& tile) {
  tile.SetChecked(false);
  if (VIDEOINFO_ST* e = FindEntry(&tile)) m_pHost->RepaintTile(*e);
}

// ---------------------------------------------------------------------------------------------
// Filling the library

void VideoWndListCore::LoadFromCatalogue() {
  if (!m_pCatalogue) return;
  std::set<std::string> ordinaryNames;
  for (std::uint8_t list : {SHARE_LIST_ORDINARY, SHARE_LIST_CONVERTED}) {
    ShareRecord record;
    while (m_pCatalogue->NextShareRecord(list, &record)) {
      if (list == SHARE_LIST_ORDINARY) {
        ordinaryNames.insert(record.name);
      } else if (ordinaryNames.count(record.name)) {
        continue;
      }
      VIDEOINFO_ST entry;
      entry.m_strPath = record.path;
      entry.m_strShareKey = record.key;
      entry.m_strName = record.name;
      entry.m_pTile =
          NewTile(record.path, list == SHARE_LIST_ORDINARY ? VIDEO_IDLE : VIDEO_CONVERTED);
      // The video info first: a thumbnail that does not load is made again from it.
      entry.m_pTile->SetVideoInfo(record.path, record.key, record.name, true);
      entry.m_pTile->SetThumbnail(m_pCatalogue->ThumbnailPath(record.key));
      Append(std::move(entry));
    }
  }
  StartProbeAll();
}

bool VideoWndListCore::SelectionFitsDialogBuffer(const std::vector<std::string>& picked,
                                                 std::size_t entries) {
  if (entries >= kMaxLibraryEntries) return false;
  const std::size_t capacity = (kMaxLibraryEntries - entries) * kDialogBufferPerEntry;
  if (picked.empty()) return true;
  std::size_t needed = 0;
  if (picked.size() == 1) {
    needed = Utf16Length(picked[0]) + 1;
  } else {
    // One folder, then each name, each ended by a NUL, and a final NUL.
    const std::string folder = DirName(picked[0]);
    bool oneFolder = std::all_of(picked.begin(), picked.end(),
                                 [&](const std::string& p) { return DirName(p) == folder; });
    needed = oneFolder ? Utf16Length(folder) + 1 : 0;
    for (const std::string& p : picked) needed += Utf16Length(oneFolder ? BaseName(p) : p) + 1;
    needed += 1;
  }
  return needed <= capacity;
}

bool VideoWndListCore::RefuseDialog() {
  if (m_entries.size() >= kMaxLibraryEntries) {
    Toast(TOAST_TOO_MANY);
    return true;
  }
  if (OrdinaryFull()) {
    Toast(TOAST_SHARE_LIST_FULL);
    return true;
  }
  return false;
}

std::size_t VideoWndListCore::AddFromDialog(const std::vector<std::string>& picked) {
  if (m_entries.size() >= kMaxLibraryEntries) {
    Toast(TOAST_TOO_MANY);
    return 0;
  }
  if (!SelectionFitsDialogBuffer(picked, m_entries.size())) return 0;
  std::size_t added = 0;
  for (const std::string& path : picked) {
    if (Utf16Length(path) > kMaxPickedPathLength || path.size() > kMaxProbePathBytes) {
      Toast(TOAST_PATH_TOO_LONG);
      continue;
    }
    if (IsTilePath(path)) {
      Toast(TOAST_FILE_EXISTS);
      continue;
    }
    if (m_entries.size() >= kMaxLibraryEntries) {
      Toast(TOAST_TOO_MANY);
      break;
    }
    if (OrdinaryFull()) {
      Toast(TOAST_SHARE_LIST_FULL);
      break;
    }
    VIDEOINFO_ST entry;
    entry.m_pTile = NewTile(path, VIDEO_IDLE);
    Append(std::move(entry));
    ++added;
  }
  StartProbeAll();
  m_pHost->RedoLayout();
  return added;
}

bool VideoWndListCore::HasVideoExtension(std::string_view path) {
  static constexpr std::string_view kExtensions[] = {"mp4",  "MP4",  "mkv", "MKV", "flv", "FLV",
                                                     "rmvb", "RMVB", "wmv", "WMV", "avi", "AVI",
                                                     "mpeg", "MPEG", "3gp", "3GP"};
  std::size_t dot = path.rfind('.');
  std::string_view extension = dot == std::string_view::npos ? path : path.substr(dot + 1);
  return std::find(std::begin(kExtensions), std::end(kExtensions), extension) !=
         std::end(kExtensions);
}

std::size_t VideoWndListCore::AddDropped(const std::vector<std::string>& dropped) {
  if (m_entries.size() >= kMaxLibraryEntries) return 0;
  std::size_t added = 0;
  for (const std::string& path : dropped) {
    if (!HasVideoExtension(path)) {
      Toast(TOAST_NOT_VIDEO);
      continue;
    }
    if (path.size() > kMaxProbePathBytes) {
      Toast(TOAST_PATH_TOO_LONG);
      continue;
    }
    if (IsTilePath(path)) {
      Toast(TOAST_FILE_EXISTS);
      continue;
    }
    if (OrdinaryFull()) {
      Toast(TOAST_SHARE_LIST_FULL);
      break;
    }
    VIDEOINFO_ST entry;
    entry.m_pTile = NewTile(path, VIDEO_IDLE);
    std::shared_ptr<VideoWndCore> tile = entry.m_pTile;
    Append(std::move(entry));
    tile->StartProbe(path);
    ++added;
  }
  m_pHost->RedoLayout();
  return added;
}

// ---------------------------------------------------------------------------------------------
// Probing

void VideoWndListCore::StartProbeAll() {
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(m_listMutex);
    if (m_bStopping || m_bProbeAllRunning) return;
    m_bProbeAllRunning = true;
    finished = std::move(m_hProbeAll);
    m_hProbeAll = std::thread(&VideoWndListCore::ProbeAllThread, this);
  }
  if (finished.joinable()) finished.join();
}

bool VideoWndListCore::ProbeAllRunning() const {
  std::lock_guard<std::mutex> lock(m_listMutex);
  return m_bProbeAllRunning;
}

void VideoWndListCore::ProbeAllThread() {
  for (;;) {
    std::shared_ptr<VideoWndCore> tile;
    {
      // Deciding to end and clearing the running flag under the lock: an entry appended
      // meanwhile either is seen here or finds ProbeAll ended and starts a new one.
      std::lock_guard<std::mutex> lock(m_listMutex);
      if (!m_bStopping) {
        for (const VIDEOINFO_ST& e : m_entries) {
          if (!e.m_pTile->ProbeStarted() && !e.m_pTile->Stopped()) {
            tile = e.m_pTile;
            break;
          }
        }
      }
      if (!tile) {
        m_bProbeAllRunning = false;
        return;
      }
    }
    tile->StartProbe(tile->Path());
    // A missing file, a probe that ended with empty values and a tile removed meanwhile all
    // end the wait; the next entry follows.
    while (!m_bStopping && !tile->WaitProbed(kProbeWaitStep)) {
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Conversion requests

std::string VideoWndListCore::MakeUniqueName(const std::string& name) const {
  std::size_t dot = name.rfind('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  for (int n = 1; n <= 999; ++n) {
    std::string candidate = base + "(" + std::to_string(n) + ")" + extension;
    if (!ConvertedFileExists(candidate)) return candidate;
  }
  return base;
}

bool VideoWndListCore::SubmitChecked() {
  bool sent = false;
  auto send = [&](VideoWndCore& tile, const std::string& outputName) {
    MediaValues values = tile.Values();
    m_pPage->RequestConversion(ConvertRequest{outputName, tile.Path(), values.fileSize,
                                              tile.ThumbnailPath(), values.duration, values.width,
                                              values.height});
    sent = true;
  };
  for (const std::shared_ptr<VideoWndCore>& tile : Tiles()) {
    if (!tile->Checked() || !FindEntry(tile.get())) continue;
    const int state = tile->State();
    if (state == VIDEO_CONVERTED || state == VIDEO_MISSING) {
      UncheckAndRepaint(*tile);
      continue;
    }
    const std::string name = tile->DisplayName();
    const std::string path = tile->Path();
    VIDEOINFO_ST* submitted = FindEntry(tile.get());
    submitted->m_strName = name;
    submitted->m_strOutputName.clear();
    if (IsRelationSource(path)) {
      UncheckAndRepaint(*tile);
      continue;
    }
    if (!name.empty() && ConvertedFileExists(name)) {
      const int answer = m_pHost->AskDuplicateName(ShortPromptName(name));
      std::string outputName = name;
      if (answer == NOTIFY_KEEP_BOTH) {
        outputName = MakeUniqueName(name);
      } else if (answer == NOTIFY_SKIP) {
        UncheckAndRepaint(*tile);
        continue;
      } else if (answer == NOTIFY_CLOSED) {
        UncheckAndRepaint(*tile);
        break;
      }
      // The prompt ran the event loop: the entry may have gone meanwhile.
      VIDEOINFO_ST* entry = FindEntry(tile.get());
      if (!entry) continue;
      if (outputName != name) entry->m_strOutputName = outputName;
      if (!PathExists(path)) {
        UncheckAndRepaint(*tile);
        tile->MarkMissing();
        continue;
      }
      send(*tile, outputName);
    } else {
      if (!PathExists(path)) {
        UncheckAndRepaint(*tile);
        tile->MarkMissing();
        continue;
      }
      if (m_pPage->FindTask(path, name)) {
        UncheckAndRepaint(*tile);
        continue;
      }
      send(*tile, name);
    }
    UncheckAndRepaint(*tile);
  }
  m_pHost->RepaintPanel();
  return sent;
}

// ---------------------------------------------------------------------------------------------
// Removal

void VideoWndListCore::RemoveChecked() {
  for (const std::shared_ptr<VideoWndCore>& tile : Tiles()) {
    if (!tile->Checked() || !FindEntry(tile.get())) continue;
    const std::string path = tile->Path();
    // The task carries the output name the submission chose (MakeUniqueName's when the user
    // kept both files), so that is the name it is cancelled by.
    auto cancelTask = [&] {
      const VIDEOINFO_ST* entry = FindEntry(tile.get());
      const std::string name =
          entry && !entry->m_strOutputName.empty() ? entry->m_strOutputName : tile->DisplayName();
      return m_pPage->CancelTask(name, path);
    };
    // The tile's threads end before its record goes, so a probe still running cannot
    // register the video again after the removal.
    auto removeRecord = [&](std::uint8_t list) {
      tile->Shutdown();
      if (m_pCatalogue) m_pCatalogue->RemoveShareRecord(list, tile->Path());
    };
    bool remove = false;
    switch (tile->State()) {
      case VIDEO_IDLE:
        removeRecord(SHARE_LIST_ORDINARY);
        remove = true;
        break;
      case VIDEO_QUEUED:
      case VIDEO_INTERRUPTED:
        cancelTask();
        removeRecord(SHARE_LIST_ORDINARY);
        remove = true;
        break;
      case VIDEO_CONVERTING:
        if (cancelTask() == 1) {
          removeRecord(SHARE_LIST_ORDINARY);
          remove = true;
        }
        break;
      case VIDEO_CONVERTED: {
        removeRecord(SHARE_LIST_CONVERTED);
        auto relation =
            std::find_if(m_relations.begin(), m_relations.end(),
                         [&](const VIDEO_RELATION_ST& r) { return r.m_strTargetPath == path; });
        if (relation != m_relations.end()) m_relations.erase(relation);
        m_pPage->ConvertedDeleted(path);
        SaveRelations();
        remove = true;
        break;
      }
      case VIDEO_MISSING:
        removeRecord(tile->PreviousState() == VIDEO_CONVERTED ? SHARE_LIST_CONVERTED
                                                              : SHARE_LIST_ORDINARY);
        remove = true;
        break;
      default:
        break;
    }
    if (!remove) continue;
    auto it = FindIt(tile.get());
    if (it != m_entries.end()) Erase(it);
  }
  m_pHost->RedoLayout();
}

// ---------------------------------------------------------------------------------------------
// The conversion queue's reports

void VideoWndListCore::OnConversionStatus(int code, const std::string& path) {
  int state;
  switch (code) {
    case CONVERT_REMOVED:
    case CONVERT_FAILED:
      state = VIDEO_IDLE;
      break;
    case CONVERT_QUEUED:
      state = VIDEO_QUEUED;
      break;
    case CONVERT_STARTED:
      state = VIDEO_CONVERTING;
      break;
    case CONVERT_INTERRUPTED:
      state = VIDEO_INTERRUPTED;
      break;
    default:
      return;
  }
  SetTileState(path, state);
}

void VideoWndListCore::SetTileState(const std::string& path, int state) {
  auto it = std::find_if(m_entries.begin(), m_entries.end(),
                         [&](const VIDEOINFO_ST& e) { return e.m_pTile->Path() == path; });
  if (it == m_entries.end()) return;
  it->m_pTile->SetState(state);
  m_pHost->RepaintTile(*it);
}

void VideoWndListCore::OnConverted(const std::string& sourcePath, const std::string& path) {
  // The source is idle again (an entry of the converted file's name leaves below).
  SetTileState(sourcePath, VIDEO_IDLE);
  VIDEOINFO_ST entry;
  entry.m_strPath = path;
  entry.m_pTile = NewTile(path, VIDEO_CONVERTED);
  std::shared_ptr<VideoWndCore> tile = entry.m_pTile;
  const std::string name = NameOf(path);
  auto same = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const VIDEOINFO_ST& e) { return e.m_strName == name; });
  if (same != m_entries.end()) {
    // The converted file takes the place of the entry of the same name, which leaves the
    // library (its tile back in state 0 for the last paint of its window).
    same->m_pTile->SetState(VIDEO_IDLE);
    m_pHost->RepaintTile(*same);
    same->m_pTile->Shutdown();
    std::lock_guard<std::mutex> lock(m_listMutex);
    *same = std::move(entry);
  } else {
    Append(std::move(entry));
  }
  tile->StartProbe(path);
  m_pPage->ShowConvertedBalloon(TruncateUtf16(name, kMaxBalloonTitleLength));
  m_relations.push_back({sourcePath, path});
  m_pHost->RedoLayout();
  m_pHost->RepaintPanel();
  SaveRelations();
}

// ---------------------------------------------------------------------------------------------
// Selection

int VideoWndListCore::SelectionCommand(int mode) {
  if (mode == kSelectionReport) {
    bool any = false;
    for (const VIDEOINFO_ST& e : m_entries) {
      if (!e.m_pTile->Checked()) continue;
      any = true;
      int state = e.m_pTile->State();
      if (state == VIDEO_QUEUED || state == VIDEO_CONVERTING || state == VIDEO_CONVERTED ||
          state == VIDEO_MISSING) {
        m_pPage->ReportSelection(SELECTION_NOT_CONVERTIBLE);
        continue;
      }
      m_pPage->ReportSelection(SELECTION_CONVERTIBLE);
      return 1;
    }
    if (!any) m_pPage->ReportSelection(SELECTION_NONE);
    return any ? 1 : 0;
  }
  if (mode == kSelectionAllChecked) {
    return std::all_of(m_entries.begin(), m_entries.end(),
                       [](const VIDEOINFO_ST& e) { return e.m_pTile->Checked(); })
               ? 1
               : 0;
  }
  const bool check = mode == kSelectionCheckAll;
  for (const VIDEOINFO_ST& e : m_entries) {
    if (e.m_pTile->Checked() == check) continue;
    e.m_pTile->SetChecked(check);
    m_pHost->RepaintTile(e);
  }
  return 0;
}

// ---------------------------------------------------------------------------------------------

void VideoWndListCore::Shutdown() {
  std::thread prober;
  {
    std::lock_guard<std::mutex> lock(m_listMutex);
    m_bStopping.store(true);
    prober = std::move(m_hProbeAll);
  }
  // ProbeAll notices within one wait step.
  if (prober.joinable()) prober.join();
  // Stop every tile first, so their grabs end together, then wait for each.
  for (const VIDEOINFO_ST& e : m_entries) e.m_pTile->RequestStop();
  for (const VIDEOINFO_ST& e : m_entries) e.m_pTile->Shutdown();
}

}  // namespace brisel
