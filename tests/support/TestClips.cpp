#include "support/TestClips.h"

#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"

namespace brisel::test {

bool MakeTestClip(const std::string& path, double seconds) {
  ProcessResult result =
      RunProcess({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                  "testsrc=size=160x120:rate=10", "-t", std::to_string(seconds), "-pix_fmt",
                  "yuv420p", "-c:v", "libx264", "-preset", "ultrafast", path},
                 60000);
  return result.exitCode == 0 && IsRegularFile(path);
}

bool HaveFfmpeg() {
  return RunProcess({"ffmpeg", "-version"}, 10000).exitCode == 0 &&
         RunProcess({"ffprobe", "-version"}, 10000).exitCode == 0;
}

}  // namespace brisel::test
