#include "BriselUIFiles/QueueFile.h"

#include <cerrno>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>

#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/ConvertTask.h"
#include "BriselUIFiles/LenientXml.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace brisel {
namespace {

constexpr std::uint64_t kMaxQueueFileBytes = 64ull << 20;

const char* const kAttributeNames[] = {"VideoName",       "VideoPath",       "VideoSize",
                                       "VideoScreenPath", "VideoTime",       "VideoWidth",
                                       "VideoHeight",     "VideoConvertType"};

}  // namespace

std::string QueueFilePath() { return GetDataFolder() + "/ConvertList.xml"; }

std::optional<std::vector<QueueFileEntry>> ParseQueueFile(std::string_view content) {
  pugi::xml_document doc;
  pugi::xml_node root = ParseLenientXml(doc, content);
  if (!root) return std::nullopt;

  std::vector<QueueFileEntry> entries;
  for (pugi::xml_node child : root.children()) {
    if (child.type() != pugi::node_element) continue;  // comments, instructions, text
    QueueFileEntry e;
    std::string* texts[] = {&e.VideoName, &e.VideoPath,  &e.VideoSize,  &e.VideoScreenPath,
                            &e.VideoTime, &e.VideoWidth, &e.VideoHeight};
    std::string type;
    for (pugi::xml_attribute a : child.attributes()) {
      for (int i = 0; i < 8; ++i) {
        if (std::strcmp(a.name(), kAttributeNames[i]) != 0) continue;
        if (i < 7) {
          *texts[i] = a.value();
        } else {
          type = a.value();
        }
      }
    }
    e.VideoConvertType = ReadDecimal32(type);
    entries.push_back(std::move(e));
  }
  return entries;
}

std::optional<std::vector<QueueFileEntry>> ReadQueueFile(const std::string& path) {
  auto content = ReadWholeFile(path, kMaxQueueFileBytes);
  if (!content) return std::nullopt;
  return ParseQueueFile(*content);
}

std::string SerializeQueueFile(const std::vector<QueueFileEntry>& entries) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("ConvertList");
  int index = 0;
  for (const QueueFileEntry& e : entries) {
    pugi::xml_node item = root.append_child(("Item" + std::to_string(index++)).c_str());
    const std::string* texts[] = {&e.VideoName, &e.VideoPath,  &e.VideoSize,  &e.VideoScreenPath,
                                  &e.VideoTime, &e.VideoWidth, &e.VideoHeight};
    for (int i = 0; i < 7; ++i) item.append_attribute(kAttributeNames[i]) = texts[i]->c_str();
    item.append_attribute(kAttributeNames[7]) = std::to_string(e.VideoConvertType).c_str();
  }
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

bool WriteQueueFile(const std::string& path, const std::vector<QueueFileEntry>& entries) {
  if (WriteFileAtomically(path, SerializeQueueFile(entries))) return true;
  WriteLog("保存" + path + "失败：" + std::strerror(errno), kConvertListTag);
  return false;
}

}  // namespace brisel
