#pragma once

namespace brisel {

// SIGINT and SIGTERM become readable bytes on a pipe, so an event loop (the Qt application,
// the command-line front end) can run its orderly quit sequence instead of dying mid-write.
// SIGPIPE is ignored process-wide (sockets report EPIPE instead).
class SignalWatcher {
 public:
  // Installs the handlers once; returns the read end of the pipe (non-blocking), -1 on failure.
  static int Install();
  // The signal number that arrived, or 0 when none is pending. Drains one byte.
  static int TakeSignal();
};

}  // namespace brisel
