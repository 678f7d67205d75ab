#include "ConService/ShareList.h"

#include "ConService/FileStatusChangeListener.h"
#include "ConService/ListProtocol.h"

namespace brisel {

void ShareList::Append(ShareRecord record) {
  m_nByteTotal += static_cast<std::int32_t>(record.ListEntrySize());
  m_records.push_back(std::move(record));
  ++m_nCount;
  ++m_nRevision;
  m_bWireValid = false;
}

bool ShareList::RemoveByPath(const std::string& path, ShareRecord* removed) {
  for (auto it = m_records.begin(); it != m_records.end(); ++it) {
    if (it->path != path) continue;
    // An enumeration in progress goes on with the successor.
    if (it == m_cursor) ++m_cursor;
    m_nByteTotal -= static_cast<std::int32_t>(it->ListEntrySize());
    --m_nCount;
    ++m_nRevision;
    m_bWireValid = false;
    if (removed) *removed = std::move(*it);
    m_records.erase(it);
    return true;
  }
  return false;
}

bool ShareList::Next(ShareRecord* out) {
  if (m_bRestart) {
    m_bRestart = false;
    m_cursor = m_records.begin();
  }
  if (m_cursor == m_records.end()) {
    m_bRestart = true;
    return false;
  }
  *out = *m_cursor;
  ++m_cursor;
  return true;
}

const std::string& ShareList::Serialize(const std::string& imageFolder, bool retestPresence,
                                        FileStatusChangeListener* listener, bool* presenceChanged) {
  *presenceChanged = false;
  if (retestPresence) {
    m_lastPresenceTest = std::chrono::steady_clock::now();
    for (ShareRecord& record : m_records) {
      if (!record.RefreshWireForm(imageFolder)) continue;
      *presenceChanged = true;
      m_bWireValid = false;
      if (listener) {
        listener->OnFileStatusChanged(record.type, record.hasVideo, record.hasImage, record.name,
                                      record.key, record.path);
      }
    }
  }
  if (*presenceChanged) ++m_nRevision;
  if (!m_bWireValid) RebuildWire();
  return m_wire;
}

void ShareList::RebuildWire() {
  m_wire.clear();
  m_wire.reserve(4 + static_cast<std::size_t>(m_nByteTotal));
  std::uint8_t count[4];
  WriteLe32(count, m_nCount);
  m_wire.append(reinterpret_cast<const char*>(count), 4);
  for (ShareRecord& record : m_records) {
    record.BuildListEntry();
    m_wire += record.listEntry;
  }
  m_bWireValid = true;
}

}  // namespace brisel
