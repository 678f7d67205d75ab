#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace brisel {

ChildProcess::~ChildProcess() {
  if (pid_ > 0 && Running()) {
    Kill(SIGKILL);
    Wait(-1);
  }
  if (outFd_ >= 0) close(outFd_);
}

namespace {

// Moves a descriptor of ours above the three standard ones, so that setting up the child's
// stdin, stdout and stderr never overwrites it.
int AboveStandardDescriptors(int fd) {
  if (fd < 0 || fd > 2) return fd;
  int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  close(fd);
  return moved;
}

// The program execvp would run: argv[0] itself when it holds a "/", else the first
// executable file of that name in PATH. Empty (with errno) when there is none.
std::string ResolveProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* path = std::getenv("PATH");
  std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
  int error = ENOENT;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = dirs.find(':', start);
    std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
    std::string candidate = (dir.empty() ? std::string(".") : dir) + "/" + name;
    struct stat st;
    if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
      error = EACCES;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  errno = error;
  return {};
}

// In the forked child: only async-signal-safe calls until exec.
[[noreturn]] void RunChild(const char* program, char* const* args, pid_t parent, int stdinFd,
                           int outFd, int statusFd) {
  // The program's death must not leave the child running: the kernel sends SIGKILL when the
  // thread that forked ends. A parent that died before the request took hold is noticed here.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(127);
  setpgid(0, 0);
  struct sigaction defaults {};
  defaults.sa_handler = SIG_DFL;
  for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD})
    sigaction(s, &defaults, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (dup2(stdinFd, 0) < 0 || dup2(outFd, 1) < 0 || dup2(outFd, 2) < 0) {
    int e = errno;
    [[maybe_unused]] ssize_t n = write(statusFd, &e, sizeof e);
    _exit(127);
  }
  execve(program, args, environ);
  int e = errno;
  [[maybe_unused]] ssize_t n = write(statusFd, &e, sizeof e);
  _exit(127);
}

}  // namespace

bool ChildProcess::Start(const std::vector<std::string>& argv, std::string* error) {
  auto fail = [&](const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
    return false;
  };
  if (argv.empty() || pid_ > 0) return fail("spawn", EINVAL);
  // Everything the child needs is made before the fork: afterwards it may not allocate.
  const std::string program = ResolveProgram(argv[0]);
  if (program.empty()) return fail("spawn " + argv[0], errno);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  int out[2], status[2];
  if (pipe2(out, O_CLOEXEC) != 0) return fail("pipe", errno);
  if (pipe2(status, O_CLOEXEC) != 0) {
    int e = errno;
    close(out[0]);
    close(out[1]);
    return fail("pipe", e);
  }
  int devNull = AboveStandardDescriptors(open("/dev/null", O_RDONLY | O_CLOEXEC));
  out[1] = AboveStandardDescriptors(out[1]);
  status[1] = AboveStandardDescriptors(status[1]);

  const pid_t parent = getpid();
  pid_t pid = devNull >= 0 && out[1] >= 0 && status[1] >= 0 ? fork() : -1;
  if (pid == 0) RunChild(program.c_str(), args.data(), parent, devNull, out[1], status[1]);
  const int forkError = errno;
  for (int fd : {devNull, out[1], status[1]})
    if (fd >= 0) close(fd);
  if (pid < 0) {
    close(out[0]);
    close(status[0]);
    return fail("spawn " + argv[0], forkError);
  }
  // The status pipe closes on a successful exec; otherwise it carries the child's errno.
  int childError = 0;
  ssize_t n;
  do {
    n = read(status[0], &childError, sizeof childError);
  } while (n < 0 && errno == EINTR);
  close(status[0]);
  if (n == sizeof childError) {
    close(out[0]);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    return fail("spawn " + argv[0], childError);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  pid_ = pid;
  outFd_ = out[0];
  reaped_ = false;
  return true;
}

ChildProcess::ReadResult ChildProcess::Read(std::string* out, int timeoutMs, std::size_t maxBytes) {
  if (outFd_ < 0) return ReadResult::End;
  pollfd p{outFd_, POLLIN, 0};
  int r;
  do {
    r = poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return ReadResult::Timeout;
  if (r < 0) return ReadResult::End;
  std::string buffer(maxBytes, '\0');
  ssize_t n;
  do {
    n = read(outFd_, buffer.data(), maxBytes);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    close(outFd_);
    outFd_ = -1;
    return ReadResult::End;
  }
  out->append(buffer.data(), static_cast<std::size_t>(n));
  return ReadResult::Data;
}

bool ChildProcess::ReapLocked(bool block) {
  if (reaped_) return true;
  if (pid_ <= 0) return true;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == pid_ || (r < 0 && errno == ECHILD)) {
    reaped_ = true;
    status_ = r == pid_ ? status : 0;
    return true;
  }
  return false;
}

bool ChildProcess::Wait(int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int sleepMs = 1;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (ReapLocked(false)) return true;
    }
    if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    if (sleepMs < 20) sleepMs *= 2;
  }
}

bool ChildProcess::Running() {
  std::lock_guard<std::mutex> lock(mutex_);
  return !ReapLocked(false);
}

void ChildProcess::Kill(int signal) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
}

int ChildProcess::ExitCode() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!reaped_ || !WIFEXITED(status_)) return -1;
  return WEXITSTATUS(status_);
}

bool ChildProcess::Signaled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reaped_ && WIFSIGNALED(status_);
}

ProcessResult RunProcess(const std::vector<std::string>& argv, int timeoutMs) {
  ProcessResult result;
  ChildProcess child;
  if (!child.Start(argv)) return result;
  result.started = true;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int wait = 100;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now())
                      .count();
      if (left <= 0) {
        result.timedOut = true;
        child.Kill(SIGKILL);
        break;
      }
      wait = static_cast<int>(std::min<long long>(left, 100));
    }
    auto r = child.Read(&result.output, wait, 65536);
    if (r == ChildProcess::ReadResult::End) break;
  }
  if (timeoutMs >= 0 && !result.timedOut) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (!child.Wait(static_cast<int>(std::max<long long>(left, 0)))) {
      result.timedOut = true;
      child.Kill(SIGKILL);
    }
  }
  child.Wait(-1);
  result.exitCode = child.ExitCode();
  return result;
}

}  // namespace brisel
