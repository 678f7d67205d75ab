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

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace brisel
