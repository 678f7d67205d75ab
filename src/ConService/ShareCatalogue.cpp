#include "ConService/ShareCatalogue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ConService/ListProtocol.h"
#include "ConService/ServiceDiagnostics.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace brisel {
namespace {

bool IsShareKey(std::string_view text) {
  if (text.size() != kShareKeyLength) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

ShareCatalogue::ShareCatalogue() : m_strRoot(GetDataFolder()) { CreateDirectories(ImageFolder()); }

ShareCatalogue::~ShareCatalogue() { SaveAllShareRecords(); }

std::string ShareCatalogue::RecordFilePath(const std::string& key) const {
  return m_strRoot + "/file_root/" + key;
}

std::string ShareCatalogue::ThumbnailPath(const std::string& key) const {
  return ImageFolder() + "/" + key + ".jpg";
}

ShareList* ShareCatalogue::ListOf(std::uint8_t listType) {
  if (listType == SHARE_LIST_ORDINARY) return &m_list1;
  if (listType == SHARE_LIST_CONVERTED) return &m_list2;
  return nullptr;
}

const ShareList* ShareCatalogue::ListOf(std::uint8_t listType) const {
  return const_cast<ShareCatalogue*>(this)->ListOf(listType);
}

int ShareCatalogue::AddShareRecord(const std::string& path, std::uint8_t listType,
                                   std::string* keyOut, std::string* errorOut) {
  ShareList* list = ListOf(listType);
  std::size_t slash = path.rfind('/');
  if (!list || path.empty() || slash == std::string::npos || path.size() > kMaxSharePathBytes ||
      path.find('\0') != std::string::npos)
    return SHARE_ADD_REJECTED;
  std::string name = path.substr(slash + 1);
  if (name.empty() || name.size() > kMaxShareNameBytes) return SHARE_ADD_REJECTED;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (list->Count() + list->m_nReserved >= kMaxShareRecords) return SHARE_ADD_FULL;
    ++list->m_nReserved;  // keeps concurrent adds from overfilling the list
  }
  ShareRecord record;
  record.type = listType;
  record.name = std::move(name);
  record.key = ShareRecord::MakeKey(path);
  record.path = path;
  if (!WriteRecordFile(record)) {
    // A record phones could see now but that would be gone at the next start is not added:
    // the catalogue in memory stays what file_root holds.
    if (errorOut) *errorOut = std::strerror(errno);
    std::lock_guard<std::mutex> lock(m_mutex);
    --list->m_nReserved;
    return SHARE_ADD_UNWRITABLE;
  }
  record.BuildListEntry();
  if (keyOut) *keyOut = record.key;
  std::lock_guard<std::mutex> lock(m_mutex);
  --list->m_nReserved;
  list->Append(std::move(record));
  return SHARE_ADD_OK;
}

bool ShareCatalogue::WriteRecordFile(ShareRecord& record) const {
  if (record.name.empty() || record.path.empty() || record.key.size() != kShareKeyLength)
    return true;
  record.RetestPresence(ImageFolder());
  const std::string bytes = record.RecordFileBytes();
  const std::string file = RecordFilePath(record.key);
  if (ReadWholeFile(file, kMaxRecordFileBytes) == bytes) return true;
  if (WriteFileAtomically(file, bytes)) return true;
  // The folder may have gone: make it again and try once more.
  const int first = errno;
  if (!CreateDirectories(DirName(file))) {
    errno = first;
    return false;
  }
  return WriteFileAtomically(file, bytes);
}

void ShareCatalogue::LoadShareRecord(const std::string& key) {
  if (key.size() != kShareKeyLength) return;
  const std::string file = RecordFilePath(key);
  if (!FileExistsAnsi(file)) return;
  ShareRecord record;
  std::optional<std::string> bytes = ReadWholeFile(file, kMaxRecordFileBytes);
  bool usable = bytes && ShareRecord::ParseRecordFile(*bytes, &record) && ListOf(record.type) &&
                record.IsWellFormed() && record.name.size() <= kMaxShareNameBytes &&
                !record.path.empty() && record.path.size() <= kMaxSharePathBytes;
  if (!usable) {
    ServiceDiagnostic("skip record file %s\n", key.c_str());
    return;
  }
  record.hasVideo = record.hasVideo ? 1 : 0;
  record.hasImage = record.hasImage ? 1 : 0;
  record.BuildListEntry();
  std::lock_guard<std::mutex> lock(m_mutex);
  ShareList* list = ListOf(record.type);
  if (list->Count() + list->m_nReserved >= kMaxShareRecords) {
    ServiceDiagnostic("skip record file %s: list %d is full\n", key.c_str(), record.type);
    return;
  }
  list->Append(std::move(record));
}

void ShareCatalogue::LoadAllShareRecords() {
  const std::string folder = m_strRoot + "/file_root";
  // Half-written record files of a save that was killed.
  RemoveAbandonedTemporaryFiles(folder);
  std::vector<std::string> names = ListDirectory(folder);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (IsDirectory(folder + "/" + name)) continue;
    LoadShareRecord(name);
  }
}

bool ShareCatalogue::RemoveShareRecord(std::uint8_t listType, const std::string& path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ShareList* list = ListOf(listType);
  ShareRecord removed;
  if (!list || !list->RemoveByPath(path, &removed)) return false;
  // Both files belong to the key; a twin record (the same path added again) keeps them, and
  // its record file is rewritten so that it names the twin's list.
  for (ShareList* other : {&m_list1, &m_list2}) {
    for (ShareRecord& record : other->Records()) {
      if (record.key != removed.key) continue;
      WriteRecordFile(record);
      other->InvalidateWire();
      return true;
    }
  }
  const std::string file = RecordFilePath(removed.key);
  if (FileExistsAnsi(file)) RemoveFile(file);
  const std::string thumbnail = ThumbnailPath(removed.key);
  if (FileExistsAnsi(thumbnail)) RemoveFile(thumbnail);
  return true;
}

bool ShareCatalogue::NextShareRecord(std::uint8_t listType, ShareRecord* out) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ShareList* list = ListOf(listType);
  return list && list->Next(out);
}

bool ShareCatalogue::FindShareRecord(std::uint8_t listType, const std::string& path,
                                     ShareRecord* out) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (std::uint8_t type : {SHARE_LIST_ORDINARY, SHARE_LIST_CONVERTED}) {
    if (listType != 0 && listType != type) continue;
    for (const ShareRecord& record : ListOf(type)->Records()) {
      if (record.path != path) continue;
      if (out) *out = record;
      return true;
    }
  }
  return false;
}

std::uint32_t ShareCatalogue::ShareRecordCount(std::uint8_t listType) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const ShareList* list = ListOf(listType);
  return list ? list->Count() : 0;
}

void ShareCatalogue::SaveAllShareRecords() {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (ShareList* list : {&m_list1, &m_list2}) {
    for (ShareRecord& record : list->Records()) WriteRecordFile(record);
    list->InvalidateWire();
  }
}

const std::string& ShareCatalogue::SerializeLocked(ShareList& list, bool* changed) {
  bool retest = std::chrono::steady_clock::now() - list.LastPresenceTest() >= m_presenceInterval;
  return list.Serialize(ImageFolder(), retest, m_pListener, changed);
}

std::string ShareCatalogue::SerializeList(std::uint8_t listType, bool* changed) {
  bool presenceChanged = false;
  std::string out;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ShareList* list = ListOf(listType)) out = SerializeLocked(*list, &presenceChanged);
  }
  if (changed) *changed = presenceChanged;
  return out;
}

void ShareCatalogue::SetFileStatusChangeListener(FileStatusChangeListener* listener) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pListener = listener;
}

void ShareCatalogue::SetPresenceRetestInterval(std::chrono::milliseconds interval) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_presenceInterval = interval;
}

// --- What the servers need ---

bool ShareCatalogue::SerializeForReply(std::uint8_t listType, std::string* wire,
                                       std::uint64_t* revision) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ShareList* list = ListOf(listType);
  if (!list) return false;
  bool presenceChanged = false;
  wire->assign(SerializeLocked(*list, &presenceChanged));
  *revision = list->Revision();
  return true;
}

CatalogueVideo ShareCatalogue::VideoOf(const ShareRecord& record, std::string_view key) const {
  CatalogueVideo video;
  video.key = std::string(key);
  video.name = record.name;
  video.path = record.path;
  video.urlPath = "/" + video.key;
  video.thumbnailUrlPath = "/image/" + video.key + ".jpg";
  video.thumbnailPath = ThumbnailPath(video.key);
  video.converted = record.type == SHARE_LIST_CONVERTED;
  return video;
}

CatalogueSnapshot ShareCatalogue::Snapshot() const {
  CatalogueSnapshot snapshot;
  snapshot.sections.resize(2);
  std::lock_guard<std::mutex> lock(m_mutex);
  for (std::uint8_t type : {SHARE_LIST_ORDINARY, SHARE_LIST_CONVERTED}) {
    const ShareList& list = *ListOf(type);
    CatalogueSection& section = snapshot.sections[type - 1];
    section.id = std::to_string(type);
    section.listType = type;
    section.revision = list.Revision();
    section.videos.reserve(list.Count());
    for (const ShareRecord& record : list.Records()) {
      section.videos.push_back(VideoOf(record, record.key));
    }
  }
  return snapshot;
}

CatalogueRevisions ShareCatalogue::Revisions() const {
  CatalogueRevisions revisions;
  std::lock_guard<std::mutex> lock(m_mutex);
  for (std::uint8_t type : {SHARE_LIST_ORDINARY, SHARE_LIST_CONVERTED})
    revisions.push_back({std::to_string(type), ListOf(type)->Revision()});
  return revisions;
}

MediaFacts ShareCatalogue::Facts(const CatalogueVideo& video) { return m_media.Get(video.path); }

MediaServer::ServedFile ShareCatalogue::OpenServedFile(std::string_view uri) const {
  return OpenDocument(uri, nullptr);
}

MediaServer::ServedFile ShareCatalogue::OpenDocument(std::string_view uri,
                                                     ShareRecord* record) const {
  using ServedFile = MediaServer::ServedFile;
  ServedFile file;
  const std::string path = DocumentRoot() + std::string(uri);
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return file;
  file.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file.fd < 0) return file;
  char head[kMaxRecordFileBytes];
  const ssize_t n = pread(file.fd, head, sizeof head, 0);
  if (n >= 4 && std::memcmp(head, kLanMagic, 4) == 0) {
    // A record file stands for the video it names, opened the way the catalogue tests it
    // (the path's own bytes); it is never sent itself.
    ServedFile video(ServedFile::Kind::NotFound);
    ShareRecord named;
    if (!ShareRecord::ParseVideoRecord(std::string_view(head, static_cast<std::size_t>(n)), &named))
      return video;
    video.path = named.path;
    video.fd = open(video.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (video.fd < 0 || fstat(video.fd, &video.status) != 0 || !S_ISREG(video.status.st_mode))
      return ServedFile(ServedFile::Kind::NotFound);
    video.kind = ServedFile::Kind::File;
    if (record) *record = std::move(named);
    return video;
  }
  if (fstat(file.fd, &file.status) != 0) return ServedFile();
  file.kind = ServedFile::Kind::File;
  file.path = path;
  return file;
}

std::optional<CatalogueVideo> ShareCatalogue::ResolveKey(std::string_view key) const {
  // Only a key ever becomes part of a path here.
  if (!IsShareKey(key)) return std::nullopt;
  ShareRecord record;
  const MediaServer::ServedFile file = OpenDocument("/" + std::string(key), &record);
  if (file.kind != MediaServer::ServedFile::Kind::File || record.path.empty()) return std::nullopt;
  return VideoOf(record, key);
}

}  // namespace brisel
