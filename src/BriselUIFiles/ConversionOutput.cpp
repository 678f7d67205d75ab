#include "BriselUIFiles/ConversionOutput.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>

#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"

namespace brisel {
namespace {

constexpr std::string_view kWorkingPrefix = ".brisel-part-";
constexpr std::string_view kWorkingSuffix = ".mp4";  // the converter picks MP4 by the name
constexpr std::size_t kWorkingRandom = 8;
constexpr std::string_view kClaimSuffix = ".claim";
// A claim is written under this prefix and renamed to "<random>.claim" once complete.
constexpr std::string_view kNewClaimPrefix = ".new-";
// A claim still being made is left alone; one this old was left by a killed process.
constexpr auto kNewClaimAge = std::chrono::minutes(1);
constexpr std::uint64_t kMaxClaimBytes = 16 * 1024;

std::string RandomName() {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
  std::string name;
  for (std::size_t i = 0; i < kWorkingRandom; ++i) name += kChars[pick(generator)];
  return name;
}

bool IsWorkingName(std::string_view name) {
  return name.size() == kWorkingPrefix.size() + kWorkingRandom + kWorkingSuffix.size() &&
         name.substr(0, kWorkingPrefix.size()) == kWorkingPrefix &&
         name.substr(name.size() - kWorkingSuffix.size()) == kWorkingSuffix;
}

bool WriteAll(int fd, const std::string& data) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// A claim file holds the working path and the output path, each ended by a NUL.
std::string ClaimBytes(const std::string& working, const std::string& output) {
  std::string bytes = working;
  bytes += '\0';
  bytes += output;
  bytes += '\0';
  return bytes;
}

std::string WorkingPathOfClaim(const std::string& bytes) {
  std::size_t end = bytes.find('\0');
  return end == std::string::npos ? std::string() : bytes.substr(0, end);
}

std::string FolderOf(const std::string& path) {
  std::string folder = DirName(path);
  return folder.empty() ? std::string(".") : folder;
}

}  // namespace

std::string ConversionOutput::ClaimFolder() { return GetDataFolder() + "/appData/converting"; }

ConversionOutput::ConversionOutput(std::string output, std::string working, std::string claim,
                                   int claimFd)
    : m_strOutput(std::move(output)),
      m_strWorking(std::move(working)),
      m_strClaim(std::move(claim)),
      m_claimFd(claimFd) {}

ConversionOutput::~ConversionOutput() {
  if (m_claimFd >= 0) Discard();
}

std::unique_ptr<ConversionOutput> ConversionOutput::Claim(const std::string& outputPath,
                                                          std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return nullptr;
  };
  const std::string folder = ClaimFolder();
  if (!CreateDirectories(folder)) return fail("cannot create " + folder);
  // A working name nobody uses: the converter refuses to write over a file.
  std::string working;
  for (int attempt = 0;; ++attempt) {
    working = FolderOf(outputPath) + "/" + std::string(kWorkingPrefix) + RandomName() +
              std::string(kWorkingSuffix);
    struct stat st;
    if (lstat(working.c_str(), &st) != 0 && errno == ENOENT) break;
    if (attempt == 100) {
      errno = EEXIST;
      return fail("no free working file name beside " + outputPath);
    }
  }
  std::string temp = folder + "/" + std::string(kNewClaimPrefix) + "XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return fail("cannot record the conversion in " + folder);
  flock(fd, LOCK_EX);  // held until the run is over, by this process only
  const std::string claim =
      folder + "/" + BaseName(temp).substr(kNewClaimPrefix.size()) + std::string(kClaimSuffix);
  if (!WriteAll(fd, ClaimBytes(working, outputPath)) || fsync(fd) != 0 ||
      rename(temp.c_str(), claim.c_str()) != 0) {
    const int saved = errno;
    unlink(temp.c_str());
    close(fd);
    errno = saved;
    return fail("cannot record the conversion in " + folder);
  }
  SyncFolder(folder);
  return std::unique_ptr<ConversionOutput>(new ConversionOutput(outputPath, working, claim, fd));
}

bool ConversionOutput::Commit(std::string* error) {
  if (m_claimFd < 0) {
    if (error) *error = "the conversion was already finished";
    return false;
  }
  int result =
      renameat2(AT_FDCWD, m_strWorking.c_str(), AT_FDCWD, m_strOutput.c_str(), RENAME_NOREPLACE);
  if (result != 0 && (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP)) {
    // A file system that cannot refuse to replace in a rename: a hard link can refuse; where
    // there are no hard links either, a last look decides.
    if (link(m_strWorking.c_str(), m_strOutput.c_str()) == 0) {
      unlink(m_strWorking.c_str());
      result = 0;
    } else if (errno != EEXIST) {
      if (PathExists(m_strOutput)) {
        errno = EEXIST;
      } else {
        result = rename(m_strWorking.c_str(), m_strOutput.c_str());
      }
    }
  }
  if (result != 0) {
    const int saved = errno;
    Discard();
    if (error)
      *error = "cannot name the converted file " + m_strOutput + ": " + std::strerror(saved);
    return false;
  }
  SyncFolder(FolderOf(m_strOutput));
  Release();
  return true;
}

void ConversionOutput::Discard() {
  if (m_claimFd < 0) return;
  struct stat st;
  if (lstat(m_strWorking.c_str(), &st) == 0) unlink(m_strWorking.c_str());
  Release();
}

void ConversionOutput::Release() {
  unlink(m_strClaim.c_str());
  close(m_claimFd);
  m_claimFd = -1;
}

int ConversionOutput::RemoveAbandoned() {
  const std::string folder = ClaimFolder();
  int removed = 0;
  for (const std::string& name : ListDirectory(folder)) {
    const bool complete =
        name.size() > kClaimSuffix.size() &&
        name.compare(name.size() - kClaimSuffix.size(), std::string::npos, kClaimSuffix) == 0;
    const bool unfinished = name.rfind(kNewClaimPrefix, 0) == 0;
    if (!complete && !unfinished) continue;
    const std::string path = folder + "/" + name;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st;
    // The lock is free only once the process that made the claim is gone.
    bool abandoned =
        fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (abandoned && unfinished) {
      // Made before its converter started, so no working file goes with it.
      const auto age =
          std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(st.st_mtime);
      abandoned = age > kNewClaimAge;
    }
    if (abandoned && complete) {
      const std::string working =
          WorkingPathOfClaim(ReadWholeFile(path, kMaxClaimBytes).value_or(std::string()));
      struct stat w;
      if (IsWorkingName(BaseName(working)) && lstat(working.c_str(), &w) == 0 &&
          S_ISREG(w.st_mode) && unlink(working.c_str()) == 0)
        ++removed;
    }
    if (abandoned) unlink(path.c_str());
    close(fd);
  }
  return removed;
}

}  // namespace brisel
