#pragma once

// The pieces of a transcoder run that need no thread: the output file's name and path, the
// converter's command line and the reading of its "time=" reports. Callable from any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "BriselUIFiles/ConvertTask.h"

namespace brisel {

// The output file name for a task name: the name itself when its extension is "mp4" or "MP4",
// otherwise the name with its extension replaced by "mp4" (clip.avi → clip.mp4,
// a.b.mkv → a.b.mp4); a name without "." gets ".mp4" appended.
std::string OutputFileName(std::string_view taskName);

// <program folder>/appData/converted/: where conversions go while ConvertPath is empty.
std::string DefaultConvertFolder();

// The output path: `convertFolder` (an empty one means DefaultConvertFolder()) and the output
// file name joined by one "/".
std::string OutputPathFor(const std::string& convertFolder, std::string_view taskName);

// The AAC encoder the converter offers: "libfdk_aac" when its "-encoders" list has it, else
// the native "aac" (used with the same settings). The converter is asked once per path; the
// answer is cached. Thread-safe; may block while the converter answers (bounded).
std::string AacEncoderFor(const std::string& converter);

// The converter's arguments (argv[0] = `converter`):
//   converter -i SOURCE -acodec ENC -ar 44100 -b:a 128K -ac 2 -vcodec libx264 -r 24000/1001
//             -s WxH -b:v NK OUTPUT
// No option to overwrite: an existing output makes the converter refuse.
std::vector<std::string> TranscodeArguments(const std::string& converter,
                                            const std::string& aacEncoder,
                                            const std::string& source, const OutputProfile& profile,
                                            const std::string& output);

// The same as one line, each argument that needs it in double quotes (for logs).
std::string CommandLineText(const std::vector<std::string>& argv);

// What one chunk of converter output says about progress. Only the first 100 characters of
// the chunk are searched for "time="; the 8 characters after it are read as HH:MM:SS.
struct ProgressReport {
  bool found = false;   // "time=" was seen (the task has made progress)
  bool parsed = false;  // and its time text was readable
  std::uint32_t elapsedSeconds = 0;
};
ProgressReport ParseProgressChunk(std::string_view chunk);

// Progress in percent of `elapsedSeconds` against the task's duration text (milliseconds),
// in whole seconds: elapsed × 100 ÷ total, kept within 0..100. A duration under one second
// gives 0 (the task shows 0 % until it completes).
int ProgressPercent(std::uint32_t elapsedSeconds, std::string_view durationMs);

}  // namespace brisel
