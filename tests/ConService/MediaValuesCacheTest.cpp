#include "ConService/MediaValuesCache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/LavfiClip.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

TEST(MediaValuesCacheTest, ProbesAFileOnceUntilItChanges) {
  test::Sandbox sandbox;
  const std::string clip = sandbox.Path("clip.mp4");
  ASSERT_TRUE(test::MakeLavfiClip(clip, test::ClipSpec{320, 240, 2}));
  MediaValuesCache cache;
  MediaFacts facts = cache.Get(clip);
  EXPECT_TRUE(facts.exists);
  EXPECT_EQ(facts.width, 320);
  EXPECT_EQ(facts.height, 240);
  EXPECT_NEAR(static_cast<double>(facts.durationMs), 2000.0, 100.0);
  struct stat st {};
  ASSERT_EQ(stat(clip.c_str(), &st), 0);
  EXPECT_EQ(facts.size, static_cast<std::uint64_t>(st.st_size));
  cache.Get(clip);
  EXPECT_EQ(cache.ProbeCount(), 1u);

  // Another file under the same name is probed again.
  ASSERT_TRUE(test::MakeLavfiClip(clip, test::ClipSpec{160, 120, 3}));
  facts = cache.Get(clip);
  EXPECT_EQ(cache.ProbeCount(), 2u);
  EXPECT_EQ(facts.width, 160);

  EXPECT_FALSE(cache.Get(sandbox.Path("missing.mp4")).exists);
  EXPECT_FALSE(cache.Get(sandbox.Folder()).exists);
  const MediaFacts noise = cache.Get(sandbox.WriteFile("noise.mp4", "not a video"));
  EXPECT_TRUE(noise.exists);
  EXPECT_EQ(noise.size, 11u);
  EXPECT_EQ(noise.width, 0);
}

TEST(MediaValuesCacheTest, MediaInfoTextsBecomeNumbersOrStayUnknown) {
  struct Case {
    MediaValues values;
    std::int64_t duration;
    int width, height;
  };
  const Case cases[] = {
      {{"17000", "1", "1920", "1080"}, 17000, 1920, 1080},
      {{"2000.000", "1", "320", "240"}, 2000, 320, 240},
      {{"", "1", "", ""}, -1, 0, 0},
      {{kMediaInfoUnavailable, kMediaInfoUnavailable, kMediaInfoUnavailable, kMediaInfoUnavailable},
       -1,
       0,
       0},
      {{"-5", "1", "-1", "200"}, -1, 0, 0},
      {{"99999999999999999999999", "1", "640", "0"}, -1, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.values.duration + " " + c.values.width + "x" + c.values.height);
    MediaFacts facts = MediaValuesCache::FromMediaValues(c.values);
    EXPECT_EQ(facts.durationMs, c.duration);
    EXPECT_EQ(facts.width, c.width);
    EXPECT_EQ(facts.height, c.height);
  }
}

}  // namespace
}  // namespace brisel
