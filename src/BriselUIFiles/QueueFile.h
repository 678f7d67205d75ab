#pragma once

// "ConvertList.xml": the conversion queue, kept from one run to the next.
//
//   <ConvertList><Item0 VideoName=".." VideoPath=".." VideoSize=".." VideoScreenPath=".."
//     VideoTime=".." VideoWidth=".." VideoHeight=".." VideoConvertType="3"/>...</ConvertList>
//
// VideoConvertType is the task's state; VideoPath is the converted file of a finished task
// (state 3) and the source of any other. Readers turn the states 1, 2 and 6 into interrupted
// tasks, which is what a task that was waiting or converting when the program ended is.
//
// Written as UTF-8 without a declaration, replaced atomically. Read leniently: every element
// child of the root is one task whatever its name, attributes are matched by exact name
// (others ignored, missing ones empty), and any declaration and encoding is accepted.
// Pure functions, callable from any thread; the conversion list calls them on its own.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "BriselUIFiles/TaskTexts.h"

namespace brisel {

// The log source of the conversion list and its queue file.
inline constexpr const char* kConvertListTag = "BriselUIFiles\\ConvertList";

// A task's seven texts (VideoPath: the converted file for a finished task) and its state.
struct QueueFileEntry : TaskTexts {
  int VideoConvertType = 0;  // the TaskState

  bool operator==(const QueueFileEntry&) const = default;
};

// <program folder>/ConvertList.xml
std::string QueueFilePath();

// The entries of a queue file's content, in document order; nothing when the content is not
// well-formed XML (or names an encoding that cannot be decoded), so a broken file loads no
// task at all.
std::optional<std::vector<QueueFileEntry>> ParseQueueFile(std::string_view content);

// Reads and parses `path`; nothing when the file is missing, unreadable or broken.
std::optional<std::vector<QueueFileEntry>> ReadQueueFile(const std::string& path);

// The file's content for `entries`, each written as "Item<index>" with its eight attributes
// in their fixed order (the caller picks which tasks are written).
std::string SerializeQueueFile(const std::vector<QueueFileEntry>& entries);

// Replaces `path` atomically: on failure the earlier file stays as it was, the failure is
// logged and false is returned.
bool WriteQueueFile(const std::string& path, const std::vector<QueueFileEntry>& entries);

}  // namespace brisel
