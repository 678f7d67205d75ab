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

MediaFacts MediaValuesCache::Get(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return MediaFacts{};
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  const std::int64_t mtimeNs =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_entries.find(path);
    if (it != m_entries.end() && it->second.size == size && it->second.mtimeNs == mtimeNs)
      return it->second.facts;
  }
  MediaFacts facts = FromMediaValues(QueryMediaInfo(path));
  facts.exists = true;
  facts.size = size;
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_nProbes;
  if (m_entries.size() >= kMaxEntries) m_entries.clear();
  m_entries[path] = Entry{size, mtimeNs, facts};
  return facts;
}

std::uint64_t MediaValuesCache::ProbeCount() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_nProbes;
}

}  // namespace brisel
