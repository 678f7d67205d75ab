#include "BriselUIFiles/VideoWndCore.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "BriselUIFiles/ConvertListItemCore.h"
#include "BriselUIFiles/JpegImage.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "ConService/ShareCatalogue.h"
#include "platform/ChildProcess.h"
#include "platform/ConverterLocator.h"
#include "platform/FileSystem.h"
#include "support/FakeConverter.h"
#include "support/LavfiClip.h"
#include "support/RecordingTarget.h"
#include "support/Sandbox.h"
#include "support/SilentLibraryHost.h"

namespace brisel {
namespace {

constexpr auto kLong = std::chrono::seconds(60);

// Probes against the real libmediainfo and the real converter, on clips made with lavfi.
class Probe : public ::testing::Test {
 protected:
  std::string Clip(const std::string& relative, double seconds, bool video = true) {
    std::string path = box.Path(relative);
    CreateDirectories(DirName(path));
    test::ClipSpec spec;
    spec.width = 160;
    spec.height = 120;
    spec.seconds = seconds;
    spec.video = video;
    EXPECT_TRUE(test::MakeLavfiClip(path, spec)) << path;
    return path;
  }
  // Probes `path` in a new tile and waits for all of its work.
  std::unique_ptr<VideoWndCore> Probed(const std::string& path, int state = VIDEO_IDLE) {
    auto tile = std::make_unique<VideoWndCore>(&catalogue, path, state);
    tile->SetRepaintTarget(target);
    tile->StartProbe(path);
    EXPECT_TRUE(tile->WaitProbed(kLong));
    EXPECT_TRUE(tile->WaitForWorkers(kLong));
    return tile;
  }
  std::vector<std::string> ImageFiles() const { return ListDirectory(catalogue.ImageFolder()); }
  // The picture the converter makes of `video` from `seek` (seconds; empty: no seek, the
  // first frame), made directly; empty when it makes none.
  std::string Reference(const std::string& video, const std::string& seek) {
    const std::string jpeg = box.Path("reference.jpg");
    RemoveFile(jpeg);
    std::vector<std::string> argv = {ConverterExecutable(), "-v", "error"};
    if (!seek.empty()) argv.insert(argv.end(), {"-ss", seek});
    argv.insert(argv.end(), {"-i", video, "-f", "image2", "-s", "128x72", "-vframes", "1", jpeg});
    EXPECT_EQ(RunProcess(argv, 60000).exitCode, 0);
    return ReadWholeFile(jpeg).value_or("");
  }

  test::Sandbox box;
  ShareCatalogue catalogue;
  std::shared_ptr<test::RecordingTarget> target = test::RecordingTarget::Create();
};

TEST(ThumbnailArguments, TheGrabsFixedCommandLine) {
  EXPECT_EQ(ThumbnailArguments("/p/ffmpeg/ffmpeg", "/v/a b.mp4", "/p/file_root/image/k.jpg"),
            (std::vector<std::string>{"/p/ffmpeg/ffmpeg", "-ss", "00:00:15", "-i", "/v/a b.mp4",
                                      "-y", "-f", "image2", "-s", "128x72", "-vframes", "1",
                                      "/p/file_root/image/k.jpg"}));
  // The second try's seek points; none at all for the first frame.
  const std::vector<std::string> tail = {"-i", "v",      "-y",       "-f", "image2",
                                         "-s", "128x72", "-vframes", "1",  "k.jpg"};
  const struct {
    std::int64_t seekMs;
    std::vector<std::string> head;
  } seeks[] = {
      {1333, {"c", "-ss", "00:00:01.333"}},
      {4999, {"c", "-ss", "00:00:04.999"}},
      {3723004, {"c", "-ss", "01:02:03.004"}},
      {0, {"c"}},
  };
  for (const auto& s : seeks) {
    std::vector<std::string> expected = s.head;
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(ThumbnailArguments("c", "v", "k.jpg", s.seekMs), expected) << s.seekMs;
  }
}

TEST(RetrySeekMs, AThirdIntoAShortVideoElseTheFirstFrame) {
  const std::pair<std::int64_t, std::int64_t> cases[] = {
      {4000, 1333}, {14999, 4999}, {2, 0},  // shorter than the seek point
      {15000, 0},   {600000, 0},            // long enough, yet nothing was found at 15 s
      {-1, 0},      {0, 0},                 // not measured
  };
  for (const auto& [durationMs, seekMs] : cases)
    EXPECT_EQ(RetrySeekMs(durationMs), seekMs) << durationMs;
}

TEST_F(Probe, ASixteenSecondClipIsRegisteredMeasuredAndGetsAThumbnail) {
  const std::string clip = Clip("videos/clip.mp4", 16);
  auto tile = Probed(clip);
  EXPECT_TRUE(tile->Probed());
  EXPECT_TRUE(tile->Ready());
  EXPECT_EQ(tile->RegistrationResult(), SHARE_ADD_OK);
  const std::string key = ShareRecord::MakeKey(clip);
  EXPECT_EQ(tile->ShareKey(), key);
  EXPECT_EQ(tile->Path(), clip);
  EXPECT_EQ(tile->DisplayName(), "clip.mp4");
  EXPECT_TRUE(catalogue.FindShareRecord(SHARE_LIST_ORDINARY, clip));

  const MediaValues v = tile->Values();
  EXPECT_NEAR(std::stoi(v.duration), 16000, 100) << v.duration;
  EXPECT_EQ(v.fileSize, std::to_string(*FileSize(clip)));
  EXPECT_EQ(v.width, "160");
  EXPECT_EQ(v.height, "120");
  // The values stay with the catalogue: the media server's headset library finds them there.
  EXPECT_EQ(catalogue.MediaCache().Lookup(clip).duration, v.duration);
  EXPECT_EQ(catalogue.MediaCache().ProbeCount(), 1u);

  const std::string jpeg = catalogue.ThumbnailPath(key);
  EXPECT_TRUE(tile->HasThumbnail());
  EXPECT_EQ(tile->ThumbnailPath(), jpeg);
  ImageSize size = DecodeJpegSize(jpeg);
  EXPECT_EQ(size.width, 128);
  EXPECT_EQ(size.height, 72);
  auto media = test::ProbeMedia(jpeg);
  ASSERT_TRUE(media);
  EXPECT_EQ(media->videoCodec, "mjpeg");
  EXPECT_FALSE(target->Messages(WM_TILE_REPAINT).empty());
}

// The picture comes from 15 s into a video that long; a shorter one gets a picture from inside
// it: a third into it when the probe measured it, else its first frame. The pictures are
// compared with the converter's own from each point (the test picture moves, so they differ).
TEST_F(Probe, EveryVideoTheConverterReadsGetsAPictureFromInsideIt) {
  const struct {
    const char* what;
    double seconds;
    bool measured;
    const char* seek;
  } cases[] = {
      {"a 20-s clip: from 15 s, with no second grab", 20, true, "15"},
      {"a 4-s clip: a third into it", 4, true, "1.333"},
      {"a 4-s clip MediaInfoLib cannot measure: its first frame", 4, false, ""},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string clip = Clip("videos/" + std::to_string(++n) + ".mp4", c.seconds);
    SetMediaInfoUnloadableForTesting(!c.measured);
    auto tile = Probed(clip);
    SetMediaInfoUnloadableForTesting(false);
    const std::string jpeg = catalogue.ThumbnailPath(ShareRecord::MakeKey(clip));
    EXPECT_TRUE(tile->HasThumbnail());
    EXPECT_EQ(tile->ThumbnailPath(), jpeg);
    const ImageSize size = DecodeJpegSize(jpeg);
    EXPECT_EQ(size.width, 128);
    EXPECT_EQ(size.height, 72);
    const std::string picture = ReadWholeFile(jpeg).value_or("");
    ASSERT_FALSE(picture.empty());
    for (const char* seek : {"15", "6.667", "1.333", ""}) {
      EXPECT_EQ(picture == Reference(clip, seek), std::string(seek) == c.seek)
          << "the converter's picture from \"" << seek << "\"";
    }
  }
}

TEST_F(Probe, AudioOnlyAndUnreadableFilesCompleteWithoutAPicture) {
  const struct {
    const char* what;
    std::string path;
    bool hasWidth;
  } cases[] = {
      {"an audio-only file", Clip("videos/tone.mp4", 3, false), false},
      {"a file that is no video", box.WriteFile("videos/junk.mkv", "not a video at all"), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto start = std::chrono::steady_clock::now();
    auto tile = Probed(c.path);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(tile->Ready());
    EXPECT_EQ(tile->ShareKey(), ShareRecord::MakeKey(c.path));
    EXPECT_EQ(tile->Values().width.empty(), !c.hasWidth);
    EXPECT_FALSE(tile->HasThumbnail());
    EXPECT_TRUE(tile->ThumbnailPath().empty());
  }
  EXPECT_TRUE(ImageFiles().empty());
}

TEST_F(Probe, AMissingFileBecomesStateEightWithoutAThread) {
  auto tile = std::make_unique<VideoWndCore>(&catalogue, "/nowhere/gone.mp4", VIDEO_CONVERTED);
  tile->SetRepaintTarget(target);
  tile->StartProbe("/nowhere/gone.mp4");
  EXPECT_EQ(tile->State(), VIDEO_MISSING);
  EXPECT_EQ(tile->PreviousState(), VIDEO_CONVERTED);
  EXPECT_TRUE(tile->Probed());
  EXPECT_FALSE(tile->Ready());
  EXPECT_TRUE(tile->WaitProbed(std::chrono::milliseconds(0)));
  EXPECT_TRUE(tile->WaitForWorkers(std::chrono::milliseconds(0)));
  EXPECT_EQ(tile->RegistrationResult(), -1);
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_CONVERTED), 0u);
  EXPECT_EQ(target->Messages(WM_TILE_REPAINT).size(), 1u);
}

TEST_F(Probe, WithoutMediaInfoTheValuesSaySoAndTheProbeCompletes) {
  const std::string clip = Clip("videos/clip.mp4", 2);
  SetMediaInfoUnloadableForTesting(true);
  auto tile = Probed(clip);
  SetMediaInfoUnloadableForTesting(false);
  EXPECT_TRUE(tile->Ready());
  const MediaValues v = tile->Values();
  for (const std::string& value : {v.duration, v.fileSize, v.width, v.height})
    EXPECT_EQ(value, "Unable to load MediaInfo.dll");
}

// File names are bytes: text in any script, and bytes that are no text at all, are measured
// and get a thumbnail like an ASCII name.
TEST_F(Probe, AnyFileNameIsMeasuredAndGetsAThumbnail) {
  const std::string reference = Clip("videos/clip.mp4", 16);
  const MediaValues expected = Probed(reference)->Values();
  ASSERT_EQ(expected.width, "160");
  const char* names[] = {
      "视频/测试 clip.mp4",
      "videos/cl\xff\xfeip.mp4",  // not UTF-8
      "videos/\xe8\xa7.mp4",      // a UTF-8 sequence cut short
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string path = box.Path(name);
    CreateDirectories(DirName(path));
    std::filesystem::copy_file(reference, path);
    auto tile = Probed(path);
    EXPECT_EQ(tile->RegistrationResult(), SHARE_ADD_OK);
    EXPECT_EQ(tile->DisplayName(), BaseName(path));
    const MediaValues v = tile->Values();
    EXPECT_EQ(v.duration, expected.duration);
    EXPECT_EQ(v.fileSize, expected.fileSize);
    EXPECT_EQ(v.width, expected.width);
    EXPECT_EQ(v.height, expected.height);
    EXPECT_EQ(DecodeJpegSize(catalogue.ThumbnailPath(ShareRecord::MakeKey(path))).width, 128);
  }
}

TEST_F(Probe, RegistrationFollowsTheStateAndHappensOnce) {
  const std::string converted = box.WriteFile("appData/converted/out.mp4", "x");
  auto tile = std::make_unique<VideoWndCore>(&catalogue, converted, VIDEO_CONVERTED);
  tile->StartProbe(converted);
  tile->StartProbe(converted);
  ASSERT_TRUE(tile->WaitForWorkers(kLong));
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_CONVERTED), 1u);
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 0u);

  // A registered video (from the catalogue) is measured, not registered again.
  const std::string clip = Clip("videos/clip.mp4", 2);
  VideoWndCore registered(&catalogue, clip);
  registered.SetVideoInfo(clip, "0123456789abcdef0123456789abcdef", "clip.mp4", true);
  registered.StartProbe(clip);
  ASSERT_TRUE(registered.WaitForWorkers(kLong));
  EXPECT_EQ(registered.Values().width, "160");
  EXPECT_EQ(registered.RegistrationResult(), -1);
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 0u);
  EXPECT_TRUE(ImageFiles().empty());
}

TEST_F(Probe, AVideoTheCatalogueRefusesGetsNoThumbnailFile) {
  const std::string longName = Clip("videos/" + std::string(61, 'n') + ".mp4", 16);
  auto tile = Probed(longName);
  EXPECT_TRUE(tile->Ready());
  EXPECT_EQ(tile->RegistrationResult(), SHARE_ADD_REJECTED);
  EXPECT_TRUE(tile->ShareKey().empty());
  EXPECT_EQ(tile->Values().width, "160");
  EXPECT_TRUE(ImageFiles().empty());

  // Too long for the probe's 511 bytes: not even offered to the catalogue.
  std::string deep = "videos";
  while (deep.size() < 520) deep += "/" + std::string(50, 'd');
  const std::string deepPath = box.WriteFile(deep + "/a.mp4", "x");
  auto deepTile = Probed(deepPath);
  EXPECT_TRUE(deepTile->Ready());
  EXPECT_EQ(deepTile->RegistrationResult(), -1);
  EXPECT_TRUE(ImageFiles().empty());
}

TEST_F(Probe, AThumbnailThatDoesNotLoadIsMadeAgainOnce) {
  // Also for a clip shorter than the seek point, whose first grab writes nothing: the file
  // that did not load is not taken for its picture.
  for (double seconds : {4.0, 16.0}) {
    SCOPED_TRACE(seconds);
    const std::string clip =
        Clip("videos/" + std::to_string(static_cast<int>(seconds)) + ".mp4", seconds);
    const std::string key = ShareRecord::MakeKey(clip);
    const std::string jpeg = catalogue.ThumbnailPath(key);
    box.WriteFile("file_root/image/" + key + ".jpg", "not a picture");
    VideoWndCore tile(&catalogue, clip);
    tile.SetVideoInfo(clip, key, BaseName(clip), true);
    tile.SetThumbnail(jpeg);
    EXPECT_FALSE(tile.HasThumbnail());
    ASSERT_TRUE(tile.WaitForWorkers(kLong));
    EXPECT_TRUE(tile.HasThumbnail());
    EXPECT_EQ(DecodeJpegSize(jpeg).width, 128);
  }
  const std::string clip = box.Path("videos/16.mp4");
  const std::string key = ShareRecord::MakeKey(clip);
  const std::string jpeg = catalogue.ThumbnailPath(key);
  // A picture that never loads is remade once, not again and again.
  int loads = 0;
  VideoWndCore tile(&catalogue, clip);
  tile.SetThumbnailLoader([&](const std::string&) {
    ++loads;
    return false;
  });
  tile.SetVideoInfo(clip, key, "16.mp4", true);
  tile.SetThumbnail(jpeg);
  ASSERT_TRUE(tile.WaitForWorkers(kLong));
  tile.SetThumbnail(jpeg);
  ASSERT_TRUE(tile.WaitForWorkers(kLong));
  EXPECT_EQ(loads, 3);
  EXPECT_FALSE(tile.HasThumbnail());
}

TEST_F(Probe, AConverterThatCannotStartAsksForTheMessageBox) {
  SetConverterOverrideForTesting(box.Path("no/ffmpeg"));
  const std::string clip = box.WriteFile("videos/a.mp4", "x");
  auto tile = Probed(clip);
  SetConverterOverrideForTesting("");
  auto boxes = target->Messages(WM_TILE_MESSAGE_BOX);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kSpawnFailedText);
  EXPECT_TRUE(tile->Ready());
  EXPECT_FALSE(tile->HasThumbnail());
}

TEST_F(Probe, DestroyingATileEndsItsGrabAndProbe) {
  test::FakeConverter hanging(box.Folder(), "hang");
  const std::string clip = box.WriteFile("videos/a.mp4", "x");
  auto tile = std::make_unique<VideoWndCore>(&catalogue, clip);
  tile->StartProbe(clip);
  ASSERT_TRUE(test::WaitFor([&] { return hanging.Pid() > 0; }));
  const pid_t grab = hanging.Pid();
  EXPECT_TRUE(test::ProcessAlive(grab));
  const std::string jpeg = catalogue.ThumbnailPath(ShareRecord::MakeKey(clip));
  EXPECT_TRUE(test::WaitFor([&] { return PathExists(jpeg); }));  // the hanging grab's output
  auto start = std::chrono::steady_clock::now();
  tile.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(test::ProcessAlive(grab));
  EXPECT_FALSE(PathExists(jpeg));  // half a picture is not left behind

  // A probe still measuring when its tile goes.
  const std::string real = Clip("videos/clip.mp4", 16);
  for (int i = 0; i < 5; ++i) {
    VideoWndCore quick(&catalogue, real);
    quick.SetRepaintTarget(target);
    quick.StartProbe(real);
  }
}

TEST_F(Probe, DestroyingTheLibraryWhileItsVideosAreProbed) {
  test::FakeConverter hanging(box.Folder(), "hang");
  test::SilentLibraryHost host;
  std::vector<std::string> dropped, picked;
  for (int i = 0; i < 8; ++i)
    dropped.push_back(box.WriteFile("d/" + std::to_string(i) + ".mp4", "x"));
  for (int i = 0; i < 8; ++i)
    picked.push_back(box.WriteFile("p/" + std::to_string(i) + ".mp4", "x"));
  pid_t grab = -1;
  {
    VideoWndListCore library(&catalogue, &host, &host);
    library.AddDropped(dropped);
    library.AddFromDialog(picked);
    ASSERT_TRUE(test::WaitFor([&] { return hanging.Pid() > 0; }));
    grab = hanging.Pid();
    auto start = std::chrono::steady_clock::now();
    library.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
  EXPECT_FALSE(test::ProcessAlive(grab));
  // Whatever was registered before the stop is in the catalogue once.
  EXPECT_LE(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 16u);
}

}  // namespace
}  // namespace brisel
