#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "ConService/CatalogueSnapshot.h"
#include "ConService/MediaValuesCache.h"

namespace brisel {

// Keeps the media values of the catalogue's videos ready while the service runs, so that a
// headset's or a DLNA player's first request finds them: once a second every video is looked
// up, which costs a file test for each video already known and a probe for each new one.
//
// Thread contract: Start and Stop from one controlling thread (the service's, under its
// control mutex); the mediator is called on the prober's own thread "探测线程".
class MediaValuesProber {
 public:
  // What the prober needs of the catalogue.
  class Mediator {
   public:
    virtual ~Mediator() = default;
    // The videos to keep probed (a copy).
    virtual CatalogueSnapshot Snapshot() const = 0;
    // Looks the video's values up, probing them when they are not known.
    virtual MediaFacts Facts(const CatalogueVideo& video) = 0;
  };

  explicit MediaValuesProber(Mediator& catalogue) : m_catalogue(catalogue) {}
  ~MediaValuesProber();  // Stop
  MediaValuesProber(const MediaValuesProber&) = delete;
  MediaValuesProber& operator=(const MediaValuesProber&) = delete;

  // Starts the thread; nothing when it runs already.
  void Start();
  // Ends the thread: within the probe under way, if any.
  void Stop();

 private:
  void Run();

  Mediator& m_catalogue;
  std::chrono::milliseconds m_interval{1000};
  std::thread m_thread;
  std::atomic<bool> m_bStop{false};
  std::mutex m_mutex;
  std::condition_variable m_wake;
};

}  // namespace brisel
