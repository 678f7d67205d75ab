#include "ConService/MediaValuesProber.h"

#include <pthread.h>

namespace brisel {

MediaValuesProber::~MediaValuesProber() { Stop(); }

void MediaValuesProber::Start() {
  if (m_thread.joinable()) return;
  m_bStop = false;
  m_thread = std::thread(&MediaValuesProber::Run, this);
}

void MediaValuesProber::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bStop = true;
    m_wake.notify_all();
  }
  if (m_thread.joinable()) m_thread.join();
}

void MediaValuesProber::Run() {
  pthread_setname_np(pthread_self(), "探测线程");
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_bStop) {
    lock.unlock();
    const CatalogueSnapshot catalogue = m_catalogue.Snapshot();
    for (const CatalogueSection& section : catalogue.sections) {
      for (const CatalogueVideo& video : section.videos) {
        if (m_bStop) break;
        m_catalogue.Facts(video);
      }
    }
    lock.lock();
    if (!m_bStop) m_wake.wait_for(lock, m_interval);
  }
}

}  // namespace brisel
