#pragma once

#include <string>

namespace brisel {

// One running copy per user session: an exclusive flock on a lock file named after the
// mutex "BriselVRClient.exe" in $XDG_RUNTIME_DIR (or /tmp, with the user id in the name).
// The lock is held until the object dies or the process ends; the descriptor is not
// inherited by child processes, so a converter outliving the program does not keep it.
class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(const std::string& mutexName = "BriselVRClient.exe");
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // False when another copy holds the lock (or the lock file cannot be opened).
  bool Acquired() const { return fd_ >= 0; }
  const std::string& LockPath() const { return path_; }
  // The local socket beside the lock file on which the copy that holds the lock listens for
  // a request to show its window (the lock's path with ".sock" for ".lock").
  std::string ShowRequestPath() const;

  // What a second copy sends before it ends.
  static constexpr const char* kShowRequest = "show\n";
  // Asks the copy listening at `socketPath` to show, raise and activate its window: connects,
  // sends kShowRequest and closes. Never waits for an answer; false when nobody listens.
  static bool AskRunningCopyToShow(const std::string& socketPath);

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace brisel
