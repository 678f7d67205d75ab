#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/FileSystem.h"

namespace brisel {

SingleInstanceLock::SingleInstanceLock(const std::string& mutexName) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime && IsDirectory(runtime)) {
    path_ = std::string(runtime) + "/" + mutexName + ".lock";
  } else {
    path_ = "/tmp/" + mutexName + "." + std::to_string(getuid()) + ".lock";
  }
  int fd = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return;
  }
  fd_ = fd;
}

SingleInstanceLock::~SingleInstanceLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace brisel
