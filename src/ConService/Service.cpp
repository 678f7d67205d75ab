#include "ConService/Service.h"

#include <algorithm>
#include <cstdio>

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace brisel {

Service::Service() : m_strRoot(GetExeFolder()) { CreateDirectories(ImageFolder()); }

Service::~Service() { SaveAllShareRecords(); }

std::string Service::RecordFilePath(const std::string& key) const {
  return m_strRoot + "/file_root/" + key;
}

std::string Service::ThumbnailPath(const std::string& key) const {
  return ImageFolder() + "/" + key + ".jpg";
}

ShareList* Service::ListOf(std::uint8_t listType) {
  if (listType == SHARE_LIST_ORDINARY) return &m_list1;
  if (listType == SHARE_LIST_CONVERTED) return &m_list2;
  return nullptr;
}

const ShareList* Service::ListOf(std::uint8_t listType) const {
  return const_cast<Service*>(this)->ListOf(listType);
}

int Service::AddShareRecord(const std::string& path, std::uint8_t listType, std::string* keyOut) {
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
  WriteRecordFile(record);
  record.BuildListEntry();
  if (keyOut) *keyOut = record.key;
  std::lock_guard<std::mutex> lock(m_mutex);
  --list->m_nReserved;
  list->Append(std::move(record));
  return SHARE_ADD_OK;
}

void Service::WriteRecordFile(ShareRecord& record) const {
  if (record.name.empty() || record.path.empty() || record.key.size() != kShareKeyLength) return;
  record.RetestPresence(ImageFolder());
  const std::string bytes = record.RecordFileBytes();
  const std::string file = RecordFilePath(record.key);
  if (ReadWholeFile(file, kMaxRecordFileBytes) == bytes) return;
  if (WriteFileAtomically(file, bytes)) return;
  // The folder may have gone: make it again and try once more; a record that cannot be
  // written is still served for this run.
  CreateDirectories(DirName(file));
  WriteFileAtomically(file, bytes);
}

void Service::LoadShareRecord(const std::string& key) {
  if (key.size() != kShareKeyLength) return;
  const std::string file = RecordFilePath(key);
  if (!FileExistsAnsi(file)) return;
  ShareRecord record;
  std::optional<std::string> bytes = ReadWholeFile(file, kMaxRecordFileBytes);
  bool usable = bytes && ShareRecord::ParseRecordFile(*bytes, &record) && ListOf(record.type) &&
                record.IsWellFormed() && record.name.size() <= kMaxShareNameBytes &&
                !record.path.empty() && record.path.size() <= kMaxSharePathBytes;
  if (!usable) {
    std::printf("skip record file %s\n", key.c_str());
    return;
  }
  record.hasVideo = record.hasVideo ? 1 : 0;
  record.hasImage = record.hasImage ? 1 : 0;
  record.BuildListEntry();
  std::lock_guard<std::mutex> lock(m_mutex);
  ShareList* list = ListOf(record.type);
  if (list->Count() + list->m_nReserved >= kMaxShareRecords) {
    std::printf("skip record file %s: list %d is full\n", key.c_str(), record.type);
    return;
  }
  list->Append(std::move(record));
}

void Service::LoadAllShareRecords() {
  const std::string folder = m_strRoot + "/file_root";
  std::vector<std::string> names = ListDirectory(folder);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (IsDirectory(folder + "/" + name)) continue;
    LoadShareRecord(name);
  }
}

bool Service::RemoveShareRecord(std::uint8_t listType, const std::string& path) {
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

bool Service::NextShareRecord(std::uint8_t listType, ShareRecord* out) {
  std::lock_guard<std::mutex> lock(m_mutex);
  ShareList* list = ListOf(listType);
  return list && list->Next(out);
}

bool Service::FindShareRecord(std::uint8_t listType, const std::string& path,
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

std::uint32_t Service::ShareRecordCount(std::uint8_t listType) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  const ShareList* list = ListOf(listType);
  return list ? list->Count() : 0;
}

void Service::SaveAllShareRecords() {
  std::lock_guard<std::mutex> lock(m_mutex);
  for (ShareList* list : {&m_list1, &m_list2}) {
    for (ShareRecord& record : list->Records()) WriteRecordFile(record);
    list->InvalidateWire();
  }
}

const std::string& Service::SerializeLocked(ShareList& list, bool* changed) {
  bool retest = std::chrono::steady_clock::now() - list.LastPresenceTest() >= m_presenceInterval;
  return list.Serialize(ImageFolder(), retest, m_pListener, changed);
}

std::string Service::SerializeList(std::uint8_t listType, bool* changed) {
  bool presenceChanged = false;
  std::string out;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (ShareList* list = ListOf(listType)) out = SerializeLocked(*list, &presenceChanged);
  }
  if (changed) *changed = presenceChanged;
  return out;
}

void Service::SetFileStatusChangeListener(FileStatusChangeListener* listener) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_pListener = listener;
}

void Service::SetPresenceRetestInterval(std::chrono::milliseconds interval) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_presenceInterval = interval;
}

}  // namespace brisel
