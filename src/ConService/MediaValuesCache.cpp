#include "ConService/MediaValuesCache.h"

#include <sys/stat.h>

#include <charconv>

namespace brisel {
namespace {

// MediaInfoLib writes plain decimal numbers; a duration may carry a fraction ("2000.000").
template <typename T>
bool LeadingNumber(const std::string& text, T* out) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *out);
  return error == std::errc() && end != text.data();
}

}  // namespace

MediaValuesCache::MediaValuesCache(Prober prober) : m_prober(std::move(prober)) {}

MediaFacts MediaValuesCache::FromMediaValues(const MediaValues& values) {
  MediaFacts facts;
  std::int64_t duration = 0;
  if (LeadingNumber(values.duration, &duration) && duration >= 0) facts.durationMs = duration;
  int width = 0, height = 0;
  if (LeadingNumber(values.width, &width) && LeadingNumber(values.height, &height) && width > 0 &&
      height > 0) {
    facts.width = width;
    facts.height = height;
  }
  return facts;
}

bool MediaValuesCache::CurrentVersion(const std::string& path, Version* out) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  out->size = static_cast<std::int64_t>(st.st_size);
  out->mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

MediaFacts MediaValuesCache::Get(const std::string& path) {
  MediaValues values;
  std::uint64_t size = 0;
  if (!Values(path, &values, &size)) return MediaFacts{};
  MediaFacts facts = FromMediaValues(values);
  facts.exists = true;
  facts.size = size;
  return facts;
}

MediaValues MediaValuesCache::Lookup(const std::string& path) {
  MediaValues values;
  std::uint64_t size = 0;
  Values(path, &values, &size);
  return values;
}

bool MediaValuesCache::Values(const std::string& path, MediaValues* out, std::uint64_t* size) {
  Version version;
  if (!CurrentVersion(path, &version)) return false;
  *size = static_cast<std::uint64_t>(version.size);
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    auto known = m_entries.find(path);
    if (known != m_entries.end() && known->second.version == version) {
      *out = known->second.values;
      return true;
    }
    if (m_probing.count(path) == 0) break;
    m_probed.wait(lock);  // another caller is probing this file: take its answer
  }
  m_probing.insert(path);
  lock.unlock();

  MediaValues values = m_prober(path);
  // The file may have changed while it was probed: the values belong to the version that
  // was seen before, and the next lookup notices the new one.
  lock.lock();
  m_probing.erase(path);
  ++m_nProbes;
  if (values.duration != kMediaInfoUnavailable) {
    if (m_entries.size() >= kMaxEntries && m_entries.count(path) == 0) ForgetOldestLocked();
    m_entries[path] = Entry{version, values, m_nProbes};
  }
  m_probed.notify_all();
  *out = std::move(values);
  return true;
}

void MediaValuesCache::ForgetOldestLocked() {
  auto oldest = m_entries.begin();
  for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
    if (it->second.age < oldest->second.age) oldest = it;
  }
  if (oldest != m_entries.end()) m_entries.erase(oldest);
}

std::uint64_t MediaValuesCache::ProbeCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nProbes;
}

}  // namespace brisel
