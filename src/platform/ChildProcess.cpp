#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
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

bool ChildProcess::Start(const std::vector<std::string>& argv, std::string* error) {
  auto fail = [&](const std::string& what, int err) {
    if (error) *error = what + ": " + std::strerror(err);
    return false;
  };
  if (argv.empty() || pid_ > 0) return fail("spawn", EINVAL);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return fail("pipe", errno);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t noSignals, defaults;
  sigemptyset(&noSignals);
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &noSignals);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return fail("spawn " + argv[0], rc);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  pid_ = pid;
  outFd_ = fds[0];
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
