#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace brisel {

bool FileExistsAnsi(std::string_view path) {
  std::string cut(path.substr(0, 255));
  struct stat st;
  return !cut.empty() && stat(cut.c_str(), &st) == 0;
}

bool PathExists(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool CreateDirectoryOne(const std::string& path) {
  if (mkdir(path.c_str(), 0755) == 0) return true;
  return errno == EEXIST && IsDirectory(path);
}

bool CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  std::size_t pos = 0;
  while ((pos = path.find('/', pos + 1)) != std::string::npos) {
    std::string part = path.substr(0, pos);
    if (!part.empty() && !IsDirectory(part) && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      return false;
  }
  return CreateDirectoryOne(path);
}

namespace {

bool WriteAll(int fd, std::string_view data) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data) {
  std::string folder = DirName(path);
  std::string temp = path + ".tmp-XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  // Tells RemoveAbandonedTemporaryFiles that this file is being written.
  flock(fd, LOCK_EX);
  struct stat old;
  mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, data) && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    errno = saved;
    return false;
  }
  // Make the rename itself durable.
  int dirFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return true;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::uint64_t maxBytes) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string out;
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      close(fd);
      return std::nullopt;
    }
    if (n == 0) break;
    if (out.size() + static_cast<std::uint64_t>(n) > maxBytes) {
      close(fd);
      return std::nullopt;
    }
    out.append(buffer, static_cast<std::size_t>(n));
  }
  close(fd);
  return out;
}

bool IsAtomicWriteTemporaryName(std::string_view name) {
  constexpr std::string_view kMark = ".tmp-";
  constexpr std::size_t kRandom = 6;  // mkostemp's XXXXXX
  if (name.size() < kMark.size() + kRandom + 1) return false;
  const std::size_t mark = name.size() - kRandom - kMark.size();
  if (name.substr(mark, kMark.size()) != kMark) return false;
  for (char c : name.substr(name.size() - kRandom)) {
    bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum) return false;
  }
  return true;
}

int RemoveAbandonedTemporaryFiles(const std::string& folder) {
  int removed = 0;
  for (const std::string& name : ListDirectory(folder)) {
    if (!IsAtomicWriteTemporaryName(name)) continue;
    const std::string path = folder + "/" + name;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st;
    // A writer that is alive holds the lock until it has renamed or removed its file.
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        unlink(path.c_str()) == 0)
      ++removed;
    close(fd);
  }
  return removed;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

std::vector<std::string> ListDirectory(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

std::string DirName(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace brisel
