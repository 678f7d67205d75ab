#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

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

std::string SingleInstanceLock::ShowRequestPath() const {
  const std::string suffix = ".lock";
  return path_.substr(0, path_.size() - suffix.size()) + ".sock";
}

bool SingleInstanceLock::AskRunningCopyToShow(const std::string& socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  // A listener that does not take the request within this time is not waited for.
  timeval timeout{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  bool sent = false;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    const std::size_t length = std::strlen(kShowRequest);
    ssize_t n;
    do {
      n = send(fd, kShowRequest, length, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    sent = n == static_cast<ssize_t>(length);
  }
  close(fd);
  return sent;
}

}  // namespace brisel
