#include "platform/MediaInfoQuery.h"

// The header defines its entry points as file-static pointers: this is its only user.
#include <MediaInfoDLL/MediaInfoDLL.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace brisel {
namespace {

std::mutex g_loadMutex;
std::atomic<bool> g_loaded{false};
std::atomic<bool> g_unloadable{false};

bool EnsureLoaded() {
  if (g_unloadable.load()) return false;
  if (g_loaded.load(std::memory_order_acquire)) return true;
  std::lock_guard<std::mutex> lock(g_loadMutex);
  if (g_loaded.load(std::memory_order_relaxed)) return true;
  if (MediaInfoDLL_Load() != 1) return false;  // absent or incomplete: tried again next time
  g_loaded.store(true, std::memory_order_release);
  return true;
}

std::string Get(void* handle, MediaInfo_stream_C kind, const char* parameter) {
  const MediaInfo_Char* value =
      MediaInfo_Get(handle, kind, 0, parameter, MediaInfo_Info_Text, MediaInfo_Info_Name);
  return value ? std::string(value) : std::string();
}

bool IsAscii(const std::string& text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

MediaValues QueryMediaInfo(const std::string& path) {
  MediaValues values;
  if (!EnsureLoaded()) {
    values.duration = values.fileSize = values.width = values.height = kMediaInfoUnavailable;
    return values;
  }
  // MediaInfoLib turns the name into wide characters with the C library's locale before it
  // opens the file, so a name that is not text in that locale (bytes that are not UTF-8, or
  // any non-ASCII name under the "C" locale) cannot be opened by name. Such a file is opened
  // here and handed over by a name that is ASCII whatever the file is called.
  std::string name = path;
  int fd = -1;
  if (!IsAscii(path)) {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return values;
    name = "/proc/self/fd/" + std::to_string(fd);
  }
  void* handle = MediaInfo_New();
  if (!handle) {
    if (fd >= 0) close(fd);
    return values;
  }
  MediaInfo_Open(handle, name.c_str());
  values.duration = Get(handle, MediaInfo_Stream_General, "Duration");
  values.fileSize = Get(handle, MediaInfo_Stream_General, "FileSize");
  values.width = Get(handle, MediaInfo_Stream_Video, "Width");
  values.height = Get(handle, MediaInfo_Stream_Video, "Height");
  MediaInfo_Close(handle);
  MediaInfo_Delete(handle);
  if (fd >= 0) close(fd);
  return values;
}

void SetMediaInfoUnloadableForTesting(bool unloadable) { g_unloadable = unloadable; }

}  // namespace brisel
