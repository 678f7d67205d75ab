#include "ConService/ShareRecord.h"

#include <cstring>

#include "ConService/ListProtocol.h"
#include "platform/FileSystem.h"
#include "platform/Md5.h"

namespace brisel {
namespace {

void AppendLe16(std::string* out, std::size_t value) {
  out->push_back(static_cast<char>(value & 0xFF));
  out->push_back(static_cast<char>((value >> 8) & 0xFF));
}

// Reads a u16 length and that many bytes at `*pos`; false when the file ends first or the
// string does not fit a field of `field` bytes with its terminator.
bool TakeString(std::string_view bytes, std::size_t* pos, std::size_t field, std::string* out) {
  if (*pos + 2 > bytes.size()) return false;
  std::size_t length = ReadLe16(reinterpret_cast<const std::uint8_t*>(bytes.data() + *pos));
  *pos += 2;
  if (length >= field || *pos + length > bytes.size()) return false;
  out->assign(bytes.substr(*pos, length));
  *pos += length;
  return true;
}

}  // namespace

std::string ShareRecord::MakeKey(std::string_view path) { return Md5Hex(path); }

std::string ShareRecord::RecordFileBytes() const {
  std::string out;
  out.reserve(45 + name.size() + path.size());
  out.append(kLanMagic, 4);
  out.push_back(static_cast<char>(type));
  out.push_back(static_cast<char>(hasVideo));
  out.push_back(static_cast<char>(hasImage));
  AppendLe16(&out, name.size());
  out += name;
  AppendLe16(&out, key.size());
  out += key;
  AppendLe16(&out, path.size());
  out += path;
  return out;
}

bool ShareRecord::ParseRecordFile(std::string_view bytes, ShareRecord* out) {
  if (bytes.size() > kMaxRecordFileBytes || bytes.size() < 7) return false;
  ShareRecord record;
  record.type = static_cast<std::uint8_t>(bytes[4]);
  record.hasVideo = static_cast<std::uint8_t>(bytes[5]);
  record.hasImage = static_cast<std::uint8_t>(bytes[6]);
  std::size_t pos = 7;
  if (!TakeString(bytes, &pos, kRecordNameField, &record.name) ||
      !TakeString(bytes, &pos, kRecordKeyField, &record.key) ||
      !TakeString(bytes, &pos, kRecordPathField, &record.path))
    return false;
  *out = std::move(record);
  return true;
}

bool ShareRecord::ParseVideoRecord(std::string_view bytes, ShareRecord* out) {
  if (bytes.size() < 4 || std::memcmp(bytes.data(), kLanMagic, 4) != 0) return false;
  ShareRecord record;
  if (!ParseRecordFile(bytes, &record) || record.path.empty()) return false;
  *out = std::move(record);
  return true;
}

bool ShareRecord::RetestPresence(const std::string& imageFolder) {
  std::uint8_t video = FileExistsAnsi(path) ? 1 : 0;
  std::uint8_t image = FileExistsAnsi(imageFolder + "/" + key + ".jpg") ? 1 : 0;
  bool changed = video != hasVideo || image != hasImage;
  hasVideo = video;
  hasImage = image;
  return changed;
}

bool ShareRecord::RefreshWireForm(const std::string& imageFolder) {
  if (!IsWellFormed()) return false;
  bool changed = RetestPresence(imageFolder);
  BuildListEntry();
  return changed;
}

void ShareRecord::BuildListEntry() {
  listEntry.clear();
  listEntry.reserve(ListEntrySize());
  listEntry.push_back(static_cast<char>(hasVideo));
  listEntry.push_back(static_cast<char>(hasImage));
  AppendLe16(&listEntry, name.size());
  listEntry += name;
  AppendLe16(&listEntry, key.size());
  listEntry += key;
}

}  // namespace brisel
