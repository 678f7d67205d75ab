#pragma once

// "VideoRelation.xml": the source-to-output pairs of finished conversions.
//
//   <VideoRelation><Item0 VideoSrcPath=".." VideoTargetPath=".."/>...</VideoRelation>
//
// Written as UTF-8 without a declaration, replaced atomically. Read leniently: every element
// child of the root is one pair whatever its name, the two attributes are matched by exact
// name (others ignored), a child lacking either (or with an empty one) gives no pair, and any
// declaration and encoding is accepted. Pure functions, callable from any thread.

#include <string>
#include <string_view>
#include <vector>

namespace brisel {

// One finished conversion: the video it was made from and the converted file, both with "/"
// separators.
struct VIDEO_RELATION_ST {
  std::string m_strSrcPath;
  std::string m_strTargetPath;

  bool operator==(const VIDEO_RELATION_ST&) const = default;
};

// <program folder>/VideoRelation.xml
std::string RelationFilePath();

// The pairs of a relation file's content, in document order; none when the content is not
// well-formed XML.
std::vector<VIDEO_RELATION_ST> ParseRelationFile(std::string_view content);

// Reads and parses `path`; none when the file is missing, unreadable or broken.
std::vector<VIDEO_RELATION_ST> ReadRelationFile(const std::string& path);

// The file's content: "Item<index>" children with VideoSrcPath and VideoTargetPath.
std::string SerializeRelationFile(const std::vector<VIDEO_RELATION_ST>& relations);

// Replaces `path` atomically: on failure the earlier file stays as it was, the failure is
// logged and false is returned.
bool WriteRelationFile(const std::string& path, const std::vector<VIDEO_RELATION_ST>& relations);

}  // namespace brisel
