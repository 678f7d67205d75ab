#pragma once

#include <string>

namespace brisel {

// The seven texts a conversion task is made of. A conversion request carries them from the
// video list to the conversion list, which keeps them in its record of the task, gives them
// to the task's row and writes them to the queue file. The media values are the texts the
// probe read (MediaInfoLib's own), never reformatted on the way.
struct TaskTexts {
  std::string VideoName;        // output file name (no folder); the task's display name
  std::string VideoPath;        // the source video; a finished task's output file
  std::string VideoSize;        // bytes of the source
  std::string VideoScreenPath;  // the source's thumbnail JPEG (empty when it has none)
  std::string VideoTime;        // duration in milliseconds
  std::string VideoWidth;
  std::string VideoHeight;

  bool operator==(const TaskTexts&) const = default;
};

}  // namespace brisel
