#include "ConService/MediaValuesCache.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "support/LavfiClip.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

void SetMtime(const std::string& path, long seconds) {
  timeval times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0);
}

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
  // The library's tiles read the same entry, as MediaInfoLib's texts.
  const MediaValues texts = cache.Lookup(clip);
  EXPECT_EQ(texts.width, "320");
  EXPECT_EQ(texts.fileSize, std::to_string(st.st_size));
  EXPECT_EQ(cache.ProbeCount(), 1u);

  // Another modification time is another version, even at the same size.
  SetMtime(clip, 1000000000);
  cache.Get(clip);
  EXPECT_EQ(cache.ProbeCount(), 2u);
  // Another file under the same name is probed again.
  ASSERT_TRUE(test::MakeLavfiClip(clip, test::ClipSpec{160, 120, 3}));
  facts = cache.Get(clip);
  EXPECT_EQ(cache.ProbeCount(), 3u);
  EXPECT_EQ(facts.width, 160);

  EXPECT_FALSE(cache.Get(sandbox.Path("missing.mp4")).exists);
  EXPECT_TRUE(cache.Lookup(sandbox.Path("missing.mp4")).duration.empty());
  EXPECT_FALSE(cache.Get(sandbox.Folder()).exists);
  EXPECT_EQ(cache.ProbeCount(), 3u);
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

TEST(MediaValuesCacheTest, ValuesOfAnAbsentLibraryAreNotKept) {
  test::Sandbox sandbox;
  const std::string file = sandbox.WriteFile("a.mp4", "not really a video");
  MediaValuesCache cache;
  SetMediaInfoUnloadableForTesting(true);
  EXPECT_EQ(cache.Lookup(file).duration, kMediaInfoUnavailable);
  SetMediaInfoUnloadableForTesting(false);
  EXPECT_NE(cache.Lookup(file).duration, kMediaInfoUnavailable);
  cache.Lookup(file);
  EXPECT_EQ(cache.ProbeCount(), 2u);
}

TEST(MediaValuesCacheTest, CallersOfTheSameFileShareOneProbe) {
  test::Sandbox sandbox;
  const std::string a = sandbox.WriteFile("a.mp4", "a");
  const std::string b = sandbox.WriteFile("b.mp4", "b");
  // A probe of a.mp4 that waits until it is let go; b.mp4 answers at once.
  std::mutex mutex;
  std::condition_variable changed;
  bool release = false;
  int started = 0;
  std::atomic<int> probes{0};
  MediaValuesCache cache([&](const std::string& path) {
    ++probes;
    MediaValues values;
    values.duration = path == a ? "1000" : "2000";
    if (path == a) {
      std::unique_lock<std::mutex> lock(mutex);
      ++started;
      changed.notify_all();
      changed.wait(lock, [&] { return release; });
    }
    return values;
  });
  std::vector<std::thread> callers;
  std::atomic<int> answered{0};
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&] {
      if (cache.Get(a).durationMs == 1000) ++answered;
    });
  }
  {
    std::unique_lock<std::mutex> lock(mutex);
    EXPECT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return started == 1; }));
  }
  // While a.mp4 is being probed, other files are not held up.
  EXPECT_EQ(cache.Get(b).durationMs, 2000);
  {
    std::lock_guard<std::mutex> lock(mutex);
    release = true;
  }
  changed.notify_all();
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(answered.load(), 4);
  EXPECT_EQ(started, 1);
  EXPECT_EQ(probes.load(), 2);
}

}  // namespace
}  // namespace brisel
