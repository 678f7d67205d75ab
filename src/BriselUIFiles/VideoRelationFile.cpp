#include "BriselUIFiles/VideoRelationFile.h"

#include <cerrno>
#include <cstring>
#include <pugixml.hpp>
#include <sstream>

#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/LenientXml.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace brisel {
namespace {

constexpr const char* kVideoWndListTag = "BriselUIFiles\\VideoWndList";
constexpr std::uint64_t kMaxRelationFileBytes = 64ull << 20;
constexpr const char* kSrcAttribute = "VideoSrcPath";
constexpr const char* kTargetAttribute = "VideoTargetPath";

}  // namespace

std::string RelationFilePath() { return GetDataFolder() + "/VideoRelation.xml"; }

std::vector<VIDEO_RELATION_ST> ParseRelationFile(std::string_view content) {
  pugi::xml_document doc;
  pugi::xml_node root = ParseLenientXml(doc, content);
  std::vector<VIDEO_RELATION_ST> relations;
  if (!root) return relations;
  for (pugi::xml_node child : root.children()) {
    if (child.type() != pugi::node_element) continue;  // comments, instructions, text
    VIDEO_RELATION_ST relation;
    for (pugi::xml_attribute a : child.attributes()) {
      if (std::strcmp(a.name(), kSrcAttribute) == 0) relation.m_strSrcPath = a.value();
      if (std::strcmp(a.name(), kTargetAttribute) == 0) relation.m_strTargetPath = a.value();
    }
    if (!relation.m_strSrcPath.empty() && !relation.m_strTargetPath.empty())
      relations.push_back(std::move(relation));
  }
  return relations;
}

std::vector<VIDEO_RELATION_ST> ReadRelationFile(const std::string& path) {
  auto content = ReadWholeFile(path, kMaxRelationFileBytes);
  if (!content) return {};
  return ParseRelationFile(*content);
}

std::string SerializeRelationFile(const std::vector<VIDEO_RELATION_ST>& relations) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("VideoRelation");
  int index = 0;
  for (const VIDEO_RELATION_ST& r : relations) {
    pugi::xml_node item = root.append_child(("Item" + std::to_string(index++)).c_str());
    item.append_attribute(kSrcAttribute) = r.m_strSrcPath.c_str();
    item.append_attribute(kTargetAttribute) = r.m_strTargetPath.c_str();
  }
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  return out.str();
}

bool WriteRelationFile(const std::string& path, const std::vector<VIDEO_RELATION_ST>& relations) {
  if (WriteFileAtomically(path, SerializeRelationFile(relations))) return true;
  WriteLog("保存" + path + "失败：" + std::strerror(errno), kVideoWndListTag);
  return false;
}

}  // namespace brisel
