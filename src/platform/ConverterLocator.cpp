#include "platform/ConverterLocator.h"

#include <unistd.h>

#include <mutex>

#include "platform/ProgramFolder.h"

namespace brisel {
namespace {

std::mutex g_mutex;
std::string g_override;

}  // namespace

std::string ConverterExecutable() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_override.empty()) return g_override;
  }
  std::string shipped = GetResourceFolder() + "/ffmpeg/ffmpeg";
  if (access(shipped.c_str(), X_OK) == 0) return shipped;
  return "ffmpeg";
}

void SetConverterOverrideForTesting(const std::string& path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = path;
}

}  // namespace brisel
