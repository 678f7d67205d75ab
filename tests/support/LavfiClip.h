#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brisel::test {

// A small test clip made at test time from ffmpeg's lavfi sources (a test picture and a sine
// tone). The container follows the file's extension; ".avi" gets MPEG-4 video and PCM audio.
// Without `video` the file holds the tone only.
struct ClipSpec {
  int width = 320;
  int height = 240;
  double seconds = 2;
  int rate = 25;
  bool audio = true;
  bool video = true;
};
bool MakeLavfiClip(const std::string& path, const ClipSpec& spec = {});

// What ffprobe reads from a media file: the first video and audio stream and the container.
struct ProbedMedia {
  std::string videoCodec;
  int width = 0;
  int height = 0;
  std::string frameRate;  // e.g. "24000/1001"
  std::int64_t videoBitRate = 0;
  std::string audioCodec;
  int audioSampleRate = 0;
  int audioChannels = 0;
  double duration = 0;
  std::string formatName;
};
std::optional<ProbedMedia> ProbeMedia(const std::string& path);

}  // namespace brisel::test
