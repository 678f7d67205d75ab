#pragma once

#include <string>

namespace brisel::test {

// Makes a small real video with ffmpeg's lavfi test sources (`seconds` long, 160 x 120,
// H.264 in the container the extension names). True when ffmpeg wrote the file.
bool MakeTestClip(const std::string& path, double seconds = 1.0);

// True when an `ffmpeg` (and `ffprobe`) executable is on PATH.
bool HaveFfmpeg();

}  // namespace brisel::test
