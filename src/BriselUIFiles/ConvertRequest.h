#pragma once

#include "BriselUIFiles/TaskTexts.h"

namespace brisel {

// A checked video submitted for conversion: the record of WM_CONVERT_REQUEST (sent by the
// video list to the share page, which adds a conversion task from it). It is the task's seven
// texts, taken from the tile as the media probe left them: VideoName is the output file name,
// VideoPath the tile path, VideoScreenPath the tile's thumbnail.
using ConvertRequest = TaskTexts;

}  // namespace brisel
