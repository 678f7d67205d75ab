#include "support/LavfiClip.h"

#include <sstream>
#include <vector>

#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"

namespace brisel::test {

bool MakeLavfiClip(const std::string& path, const ClipSpec& spec) {
  std::ostringstream video;
  video << "testsrc2=size=" << spec.width << "x" << spec.height << ":rate=" << spec.rate
        << ":duration=" << spec.seconds;
  std::vector<std::string> argv = {"ffmpeg", "-v", "error", "-y"};
  if (spec.video) argv.insert(argv.end(), {"-f", "lavfi", "-i", video.str()});
  if (spec.audio) {
    std::ostringstream audio;
    audio << "sine=frequency=440:sample_rate=44100:duration=" << spec.seconds;
    argv.insert(argv.end(), {"-f", "lavfi", "-i", audio.str()});
  }
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".avi") == 0) {
    if (spec.video) argv.insert(argv.end(), {"-c:v", "mpeg4", "-q:v", "5"});
    if (spec.audio) argv.insert(argv.end(), {"-c:a", "pcm_s16le"});
  }
  argv.push_back(path);
  ProcessResult r = RunProcess(argv, 60000);
  return r.started && !r.timedOut && r.exitCode == 0 && IsRegularFile(path);
}

std::optional<ProbedMedia> ProbeMedia(const std::string& path) {
  ProcessResult r = RunProcess({"ffprobe", "-v", "error", "-show_entries",
                                "stream=codec_type,codec_name,width,height,r_frame_rate,bit_rate,"
                                "sample_rate,channels:format=duration,format_name",
                                "-of", "compact", path},
                               30000);
  if (!r.started || r.exitCode != 0) return std::nullopt;
  ProbedMedia media;
  bool any = false;
  std::istringstream lines(r.output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string section, field;
    std::getline(fields, section, '|');
    std::string type, codec, width, height, rate, bitRate, sampleRate, channels;
    while (std::getline(fields, field, '|')) {
      std::size_t eq = field.find('=');
      if (eq == std::string::npos) continue;
      std::string key = field.substr(0, eq), value = field.substr(eq + 1);
      if (section == "format") {
        if (key == "duration") media.duration = std::atof(value.c_str());
        if (key == "format_name") media.formatName = value;
        any = true;
      }
      if (key == "codec_type") type = value;
      if (key == "codec_name") codec = value;
      if (key == "width") width = value;
      if (key == "height") height = value;
      if (key == "r_frame_rate") rate = value;
      if (key == "bit_rate") bitRate = value;
      if (key == "sample_rate") sampleRate = value;
      if (key == "channels") channels = value;
    }
    if (section != "stream") continue;
    if (type == "video" && media.videoCodec.empty()) {
      media.videoCodec = codec;
      media.width = std::atoi(width.c_str());
      media.height = std::atoi(height.c_str());
      media.frameRate = rate;
      media.videoBitRate = std::atoll(bitRate.c_str());
      any = true;
    } else if (type == "audio" && media.audioCodec.empty()) {
      media.audioCodec = codec;
      media.audioSampleRate = std::atoi(sampleRate.c_str());
      media.audioChannels = std::atoi(channels.c_str());
      any = true;
    }
  }
  if (!any) return std::nullopt;
  return media;
}

}  // namespace brisel::test
