#pragma once

#include <sys/types.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace brisel {

// A child process: stdin is /dev/null, stdout and stderr share one pipe that the parent
// reads. The child gets its own process group (so a Ctrl+C in the terminal reaches the
// program, which then ends its children itself) and default signal dispositions. Ending it
// addresses only its own pid. It never outlives the program: the kernel kills it (SIGKILL)
// when the thread that started it ends, which includes the whole process being killed.
//
// Thread contract: the thread that calls Start must live as long as the child is meant to
// run (every user waits for its child on that thread, or starts it on the UI thread); one
// thread reads and waits; Kill() may be called from any thread, and never signals a pid that
// has already been reaped.
class ChildProcess {
 public:
  ChildProcess() = default;
  // Kills and reaps a child that is still running, so none outlives its owner.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // argv[0] without "/" is searched on PATH. False (with `error` filled) when the pipe or the
  // spawn failed; a program that cannot be found fails here too.
  bool Start(const std::vector<std::string>& argv, std::string* error = nullptr);

  enum class ReadResult { Data, Timeout, End };
  // Appends what the child wrote, at most `maxBytes`, waiting up to `timeoutMs` (-1 forever)
  // for something to arrive. End once the output is closed and drained.
  ReadResult Read(std::string* out, int timeoutMs, std::size_t maxBytes = 4096);

  // Waits up to `timeoutMs` (-1 forever) for the child to exit; true once it has.
  bool Wait(int timeoutMs = -1);
  // True while the child has not exited (reaps it when it has).
  bool Running();

  // Sends `signal` to this child only; no-op once it has been reaped.
  void Kill(int signal);

  pid_t Pid() const { return pid_; }
  bool Started() const { return pid_ > 0; }
  // After the child has exited: its exit status, or -1 when a signal ended it.
  int ExitCode() const;
  bool Signaled() const;

 private:
  bool ReapLocked(bool block);

  pid_t pid_ = -1;
  int outFd_ = -1;
  mutable std::mutex mutex_;
  bool reaped_ = false;
  int status_ = 0;
};

struct ProcessResult {
  bool started = false;
  bool timedOut = false;  // killed after `timeoutMs`
  int exitCode = -1;      // -1 when ended by a signal or not started
  std::string output;     // stdout and stderr as they came
};

// Runs a program to its end and collects its output; kills it after `timeoutMs` (-1: no limit).
ProcessResult RunProcess(const std::vector<std::string>& argv, int timeoutMs = -1);

}  // namespace brisel
