#include "platform/ProgramFolder.h"

#include <errno.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

#include "platform/FileSystem.h"

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

// The folder above `folder` ("" above a folder of the root).
std::string ParentOf(const std::string& folder) {
  auto slash = folder.rfind('/');
  return slash == std::string::npos ? std::string() : folder.substr(0, slash);
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir)
    return found->pw_dir;
  return {};
}

std::string ExeFolder() {
  std::string exe = GetExePath();
  auto slash = exe.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return exe.substr(0, slash);
}

const PROGRAM_FOLDERS_ST& OwnLayout() {
  static const PROGRAM_FOLDERS_ST folders = [] {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    return DecideProgramFolders(ExeFolder(), xdg ? xdg : "", HomeFolder());
  }();
  return folders;
}

}  // namespace

PROGRAM_FOLDERS_ST DecideProgramFolders(const std::string& exeFolder,
                                        const std::string& xdgDataHome, const std::string& home) {
  const std::string exe = StripTrailingSlashes(exeFolder);
  PROGRAM_FOLDERS_ST portable{ProgramLayout::Portable, exe, exe};
  if (IsDirectory(exe + "/SkinRes")) return portable;
  const std::string prefix = ParentOf(exe);
  const std::string share = prefix + "/share/briselvr";
  if (BaseName(exe) != "bin" && !IsDirectory(share)) return portable;

  std::string dataHome = StripTrailingSlashes(xdgDataHome);
  if (dataHome.empty() || dataHome.front() != '/')
    dataHome = StripTrailingSlashes(home) + "/.local/share";
  if (dataHome.size() > 1 && dataHome.front() == '/' && dataHome[1] == '/')
    dataHome.erase(0, 1);  // HOME "/" gives "//.local/share"
  return {ProgramLayout::Installed, dataHome + "/BriselVR", share};
}

PROGRAM_FOLDERS_ST GetProgramFolders() {
  {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    const std::string& folder = OverrideFolder();
    if (!folder.empty()) return {ProgramLayout::Portable, folder, folder};
  }
  return OwnLayout();
}

std::string GetDataFolder() { return GetProgramFolders().data; }

std::string GetResourceFolder() { return GetProgramFolders().resources; }

std::string GetExePath() {
  char buffer[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  return std::string(buffer, static_cast<size_t>(n));
}

void SetProgramFolderOverride(const std::string& folder) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  OverrideFolder() = folder.empty() ? std::string() : StripTrailingSlashes(folder);
}

bool PrepareDataFolder() {
  const std::string folder = GetDataFolder();
  if (folder.empty()) return false;
  if (IsDirectory(folder)) return true;
  // Folders made here hold the user's catalogue and logs: private, as the XDG rules ask for
  // the data home itself.
  std::size_t pos = 0;
  while ((pos = folder.find('/', pos + 1)) != std::string::npos) {
    const std::string part = folder.substr(0, pos);
    if (!IsDirectory(part) && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return (mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) && IsDirectory(folder);
}

std::string DescribeProgramFolders(const PROGRAM_FOLDERS_ST& folders) {
  if (folders.layout == ProgramLayout::Portable)
    return "portable layout: program folder " + folders.data;
  return "installed layout: data in " + folders.data + ", resources in " + folders.resources;
}

}  // namespace brisel
