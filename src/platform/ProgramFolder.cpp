#include "platform/ProgramFolder.h"

#include <unistd.h>

#include <climits>
#include <mutex>

namespace brisel {
namespace {

std::mutex& OverrideMutex() {
  static std::mutex m;
  return m;
}

std::string& OverrideFolder() {
  static std::string folder;
  return folder;
}

std::string StripTrailingSlashes(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::string GetExePath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

std::string GetExeFolder() {
  {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    if (!OverrideFolder().empty()) return OverrideFolder();
  }
  std::string exe = GetExePath();
  auto slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return exe.substr(0, slash);
}

void SetExeFolderOverride(const std::string& folder) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  OverrideFolder() = folder.empty() ? std::string() : StripTrailingSlashes(folder);
}

}  // namespace brisel
