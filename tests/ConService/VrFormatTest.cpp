#include "ConService/VrFormat.h"

#include <gtest/gtest.h>

#include <string>

#include "BriselUIFiles/ConvertTask.h"

namespace brisel {
namespace {

using P = VrProjection;
using S = VrStereo;

TEST(VrFormatTest, DecidedFromNameThenConverterThenPicture) {
  struct Case {
    const char* name;
    bool converted;
    unsigned width, height;
    P projection;
    S stereo;
  } cases[] = {
      // File name tokens, any case, whatever the picture.
      {"clip_180_LR.mp4", false, 1920, 1080, P::Dome, S::SideBySide},
      {"clip_180.mp4", false, 0, 0, P::Dome, S::SideBySide},
      {"clip-180x180_3dh.mkv", false, 0, 0, P::Dome, S::SideBySide},
      {"Trip VR180 TB.mp4", false, 0, 0, P::Dome, S::TopBottom},
      {"city_360.mp4", false, 1920, 1080, P::Sphere, S::Mono},
      {"city_360_TB.mp4", false, 0, 0, P::Sphere, S::TopBottom},
      {"city.360x180.ou.mp4", false, 0, 0, P::Sphere, S::TopBottom},
      {"beach_FISHEYE190.mp4", false, 0, 0, P::Fisheye, S::SideBySide},
      {"beach_MKX200.mp4", false, 0, 0, P::Mkx200, S::SideBySide},
      {"beach_180_mkx220.mp4", false, 0, 0, P::Mkx220, S::SideBySide},
      {"beach_VRCA220_LR.mp4", false, 0, 0, P::Vrca220, S::SideBySide},
      {"beach_rf52.mp4", false, 0, 0, P::Rf52, S::SideBySide},
      {"dome_mono.mp4", false, 0, 0, P::Dome, S::Mono},
      // Packing alone: a 3D movie on a flat screen.
      {"movie_SBS.mp4", false, 1920, 1080, P::Flat, S::SideBySide},
      {"movie_3dv.mkv", false, 1920, 1080, P::Flat, S::TopBottom},
      // Parts of words are not tokens.
      {"LRT_sbsx_t360b.mp4", false, 1280, 720, P::Flat, S::Mono},
      {"1800.mp4", false, 0, 0, P::Flat, S::Mono},
      // What the converter made: "3D" (flat picture) or "360°" (every other picture).
      {"clip.mp4", true, 1920, 1080, P::Flat, S::SideBySide},
      {"clip.mp4", true, 640, 480, P::Flat, S::SideBySide},
      {"clip.mp4", true, 1920, 960, P::Sphere, S::Mono},
      {"clip.mp4", true, 1280, 1280, P::Sphere, S::Mono},
      {"clip_180_LR.mp4", true, 1920, 1080, P::Dome, S::SideBySide},  // the name says more
      {"clip.mp4", true, 0, 0, P::Flat, S::Mono},                     // nothing known
      // One eye's picture.
      {"pano.mp4", false, 3840, 1920, P::Sphere, S::Mono},
      {"pano.mp4", false, 4096, 2050, P::Sphere, S::Mono},  // within 1 %
      {"pano.mp4", false, 4096, 2100, P::Flat, S::Mono},
      {"pano_LR.mp4", false, 3840, 1920, P::Dome, S::SideBySide},
      {"pano_TB.mp4", false, 2048, 2048, P::Sphere, S::TopBottom},
      {"square.mp4", false, 1080, 1080, P::Flat, S::Mono},
      {"clip.mp4", false, 1920, 1080, P::Flat, S::Mono},
      {"clip.mp4", false, 0, 0, P::Flat, S::Mono},
      {"", false, 0, 0, P::Flat, S::Mono},
  };
  for (const Case& c : cases) {
    VrFormat f = DecideVrFormat(c.name, c.converted, c.width, c.height);
    EXPECT_EQ(f.projection, c.projection) << c.name << " " << c.width << "x" << c.height;
    EXPECT_EQ(f.stereo, c.stereo) << c.name << " " << c.width << "x" << c.height;
  }
}

TEST(VrFormatTest, EachPlayerHasItsOwnWords) {
  struct Case {
    P projection;
    const char* deoVr;
    const char* hereSphere;
    const char* lens;
    int fov;
  } cases[] = {
      {P::Flat, "flat", "perspective", "Linear", 0},
      {P::Dome, "dome", "equirectangular", "Linear", 180},
      {P::Sphere, "sphere", "equirectangular360", "Linear", 360},
      {P::Fisheye, "fisheye", "fisheye", "Linear", 190},
      {P::Mkx200, "mkx200", "fisheye", "MKX200", 200},
      {P::Mkx220, "fisheye", "fisheye", "MKX220", 220},
      {P::Vrca220, "fisheye", "fisheye", "VRCA220", 220},
      {P::Rf52, "rf52", "fisheye", "Linear", 190},
  };
  for (const Case& c : cases) {
    const VrProjectionNames& names = NamesOf(c.projection);
    EXPECT_EQ(names.projection, c.projection);
    EXPECT_STREQ(names.deoVrScreenType, c.deoVr);
    EXPECT_STREQ(names.hereSphereProjection, c.hereSphere);
    EXPECT_STREQ(names.hereSphereLens, c.lens);
    EXPECT_EQ(names.fieldOfView, c.fov);
  }
  EXPECT_STREQ(DeoVrStereoMode(S::Mono), "off");
  EXPECT_STREQ(DeoVrStereoMode(S::SideBySide), "sbs");
  EXPECT_STREQ(DeoVrStereoMode(S::TopBottom), "tb");
  EXPECT_STREQ(HereSphereStereo(S::Mono), "mono");
  EXPECT_STREQ(HereSphereStereo(S::SideBySide), "sbs");
  EXPECT_STREQ(HereSphereStereo(S::TopBottom), "tb");
}

// A converted video is read back as the mode the converter chose for it: the output keeps the
// source's picture or takes the profile's, and either way its ratio falls on the same side.
TEST(VrFormatTest, ConvertedVideoAgreesWithTheConvertersMode) {
  const unsigned sizes[][2] = {{640, 480},   {1280, 720},  {1919, 1080}, {1920, 1080},
                               {2560, 1440}, {3840, 2160}, {1000, 750},  {1320, 1000},
                               {1780, 1000}, {1920, 960},  {3840, 1920}, {1080, 1920},
                               {1024, 1024}, {5760, 2880}, {720, 576},   {1440, 1080}};
  for (const auto& size : sizes) {
    for (int ratio : {1, 2}) {
      ProfileChoice choice = ChooseOutputProfile("1000000", "10000", std::to_string(size[0]),
                                                 std::to_string(size[1]), ratio);
      // The output as the converter writes it.
      VrFormat f = DecideVrFormat("out.mp4", true, choice.profile.Width, choice.profile.Height);
      const bool threeD = choice.modeLabel.rfind("3D-", 0) == 0;
      EXPECT_EQ(f.projection, threeD ? P::Flat : P::Sphere)
          << size[0] << "x" << size[1] << " " << choice.modeLabel;
      EXPECT_EQ(f.stereo, threeD ? S::SideBySide : S::Mono) << size[0] << "x" << size[1];
    }
  }
}

}  // namespace
}  // namespace brisel
