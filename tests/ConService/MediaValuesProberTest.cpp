#include "ConService/MediaValuesProber.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>

#include "support/Sandbox.h"

namespace brisel {
namespace {

// A catalogue whose videos the test sets, counting the looks at each.
class CountingCatalogue : public MediaValuesProber::Mediator {
 public:
  CatalogueSnapshot Snapshot() const override {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_snapshot;
  }
  MediaFacts Facts(const CatalogueVideo& video) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_looks[video.path];
    return {};
  }
  void Add(const std::string& section, const std::string& path) {
    CatalogueVideo video;
    video.path = path;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (CatalogueSection& s : m_snapshot.sections) {
      if (s.id != section) continue;
      s.videos.push_back(video);
      return;
    }
    CatalogueSection& added = m_snapshot.sections.emplace_back();
    added.id = section;
    added.videos.push_back(video);
  }
  int Looks(const std::string& path) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_looks.find(path);
    return it == m_looks.end() ? 0 : it->second;
  }

 private:
  mutable std::mutex m_mutex;
  CatalogueSnapshot m_snapshot;
  std::map<std::string, int> m_looks;
};

TEST(MediaValuesProberTest, EveryVideoOfEverySectionIsLookedUpWhileItRuns) {
  CountingCatalogue catalogue;
  catalogue.Add("1", "/v/a.mp4");
  catalogue.Add("2", "/v/b.mp4");
  MediaValuesProber prober(catalogue);
  prober.Start();
  EXPECT_TRUE(
      test::WaitFor([&] { return catalogue.Looks("/v/a.mp4") && catalogue.Looks("/v/b.mp4"); }));
  // A video shared later is probed without a restart, within the next round.
  catalogue.Add("1", "/v/later.mp4");
  EXPECT_TRUE(
      test::WaitFor([&] { return catalogue.Looks("/v/later.mp4") > 0; }, std::chrono::seconds(5)));
  // The service stops it with its threads and starts it again with them.
  prober.Stop();
  catalogue.Add("2", "/v/after.mp4");
  prober.Start();
  EXPECT_TRUE(test::WaitFor([&] { return catalogue.Looks("/v/after.mp4") > 0; }));
}

}  // namespace
}  // namespace brisel
