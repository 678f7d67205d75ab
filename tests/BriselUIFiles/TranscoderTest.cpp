#include "BriselUIFiles/Transcoder.h"

#include <gtest/gtest.h>

#include "support/FakeConverter.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

TEST(OutputFileName, ExtensionBecomesMp4) {
  const std::pair<const char*, const char*> cases[] = {
      {"clip.avi", "clip.mp4"}, {"clip.MP4", "clip.MP4"},  {"clip.mp4", "clip.mp4"},
      {"a.b.mkv", "a.b.mp4"},   {"clip.Mp4", "clip.mp4"},  {"noext", "noext.mp4"},
      {"clip.", "clip.mp4"},    {"视频.rmvb", "视频.mp4"},
  };
  for (const auto& [name, file] : cases) EXPECT_EQ(OutputFileName(name), file) << name;
}

TEST(OutputPathFor, JoinsFolderAndNameWithOneSlash) {
  test::Sandbox sandbox;
  EXPECT_EQ(OutputPathFor("/out/", "x.mp4"), "/out/x.mp4");
  EXPECT_EQ(OutputPathFor("/out", "clip.avi"), "/out/clip.mp4");
  EXPECT_EQ(OutputPathFor("", "clip.avi"), sandbox.Folder() + "/appData/converted/clip.mp4");
}

TEST(TranscodeArguments, TheConvertersFixedCommandLine) {
  const std::vector<std::string> expected = {"/p/ffmpeg/ffmpeg",
                                             "-i",
                                             "/v/a b.avi",
                                             "-acodec",
                                             "aac",
                                             "-ar",
                                             "44100",
                                             "-b:a",
                                             "128K",
                                             "-ac",
                                             "2",
                                             "-vcodec",
                                             "libx264",
                                             "-r",
                                             "24000/1001",
                                             "-s",
                                             "1920x1080",
                                             "-b:v",
                                             "4000K",
                                             "/o/a b.mp4"};
  EXPECT_EQ(
      TranscodeArguments("/p/ffmpeg/ffmpeg", "aac", "/v/a b.avi", {1920, 1080, 4000}, "/o/a b.mp4"),
      expected);
  EXPECT_EQ(CommandLineText({"/p/ffmpeg", "-i", "/v/a b.avi", "-s", "2x2"}),
            "/p/ffmpeg -i \"/v/a b.avi\" -s 2x2");
}

TEST(ParseProgressChunk, FindsTimeInTheFirstHundredCharacters) {
  const std::string pad(100, ' ');
  const std::string wide = [] {
    std::string s;
    for (int i = 0; i < 60; ++i) s += "视";  // 60 characters, 180 bytes
    return s;
  }();
  const struct {
    const char* what;
    std::string chunk;
    bool found, parsed;
    std::uint32_t seconds;
  } cases[] = {
      {"progress line", "frame=  10 fps=0.0 size=1kB time=01:02:03.45 bitrate=1.0kbits/s\r", true,
       true, 3723},
      {"N/A", "size=N/A time=N/A bitrate=N/A speed=N/A\r", true, false, 0},
      {"no report", "Input #0, avi, from 'clip.avi':\n  Duration: 00:00:02.00\n", false, false, 0},
      {"past character 100", pad + "time=00:00:05.00", false, false, 0},
      {"time text cut at character 100", std::string(92, ' ') + "time=00:00:05.00", true, false, 0},
      {"characters, not bytes", wide + "time=00:00:05.00", true, true, 5},
      {"negative time", "time=-577014:32:22.77 bitrate=", true, false, 0},
      {"minutes out of range", "time=00:61:00.00", true, false, 0},
      {"short chunk", "time=00:0", true, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ProgressReport r = ParseProgressChunk(c.chunk);
    EXPECT_EQ(r.found, c.found);
    EXPECT_EQ(r.parsed, c.parsed);
    EXPECT_EQ(r.elapsedSeconds, c.seconds);
  }
}

TEST(ProgressPercent, ElapsedAgainstWholeSecondsOfDuration) {
  const struct {
    std::uint32_t elapsed;
    const char* durationMs;
    int percent;
  } cases[] = {
      {3723, "7446000", 50}, {59, "60000", 98}, {0, "60000", 0},  {200, "100000", 100},
      {10, "800", 0},        {10, "", 0},       {5, "1999", 100}, {1, "-5000", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ProgressPercent(c.elapsed, c.durationMs), c.percent)
        << c.elapsed << " of " << c.durationMs;
}

TEST(AacEncoderFor, UsesLibfdkOnlyWhenTheConverterHasIt) {
  test::Sandbox with, without;
  test::FakeConverter fdk(with.Folder(), "ok", true), plain(without.Folder(), "ok", false);
  EXPECT_EQ(AacEncoderFor(fdk.Path()), "libfdk_aac");
  EXPECT_EQ(AacEncoderFor(plain.Path()), "aac");
  EXPECT_EQ(AacEncoderFor(without.Path("ffmpeg/missing")), "aac");
}

}  // namespace
}  // namespace brisel
