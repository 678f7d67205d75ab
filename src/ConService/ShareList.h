#pragma once

#include <chrono>
#include <cstdint>
#include <list>
#include <string>

#include "ConService/ShareRecord.h"

namespace brisel {

class FileStatusChangeListener;

// One list of the share catalogue, in the order records were appended.
//
// Thread contract: not synchronised itself; the ShareCatalogue calls every operation with the
// catalogue mutex held.
class ShareList {
 public:
  std::uint32_t Count() const { return m_nCount; }
  // Sum of the list entries' sizes (name length + 38 per record).
  std::int32_t ByteTotal() const { return m_nByteTotal; }
  // Advances with every add, removal and change of presence flags; never goes back. The list
  // protocol renews its stamps when it moves, the DLNA server its update ids.
  std::uint64_t Revision() const { return m_nRevision; }
  const std::list<ShareRecord>& Records() const { return m_records; }
  std::list<ShareRecord>& Records() { return m_records; }

  // Appends as the tail; count, byte total and the revision follow.
  void Append(ShareRecord record);
  // Removes the first record whose path is byte-for-byte `path`; false when there is none.
  bool RemoveByPath(const std::string& path, ShareRecord* removed);
  // One record per call in list order; false once past the last one, and the next call
  // starts again at the head.
  bool Next(ShareRecord* out);

  // The serialized list for a reply: u32 count, then one list entry per record. With
  // `retestPresence` every record's flags are tested again first, and `listener` hears of
  // each record whose flags changed; `*presenceChanged` tells whether any did.
  const std::string& Serialize(const std::string& imageFolder, bool retestPresence,
                               FileStatusChangeListener* listener, bool* presenceChanged);

  // Makes the next Serialize rebuild the entries (flags were changed from outside).
  void InvalidateWire() { m_bWireValid = false; }

  // When the presence flags were last tested by Serialize.
  std::chrono::steady_clock::time_point LastPresenceTest() const { return m_lastPresenceTest; }

  // Adds that have passed the count check and are writing their record file.
  std::size_t m_nReserved = 0;

 private:
  void RebuildWire();

  std::uint32_t m_nCount = 0;
  std::int32_t m_nByteTotal = 0;
  std::list<ShareRecord> m_records;
  std::list<ShareRecord>::iterator m_cursor = m_records.end();
  bool m_bRestart = true;
  std::uint64_t m_nRevision = 0;
  std::string m_wire;
  bool m_bWireValid = false;
  std::chrono::steady_clock::time_point m_lastPresenceTest{};
};

}  // namespace brisel
