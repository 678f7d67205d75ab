#pragma once

#include <memory>
#include <string>
#include <vector>

namespace brisel {

class ChildProcess;

// Keeps the PC and its display from sleeping while the request holds: a held
// `systemd-inhibit --what=idle:sleep` child whose own child lives only as long as this
// process, so the inhibition ends with the program even when it is killed.
// Where no inhibit service exists (no system D-Bus, as on headless machines) the request is
// a no-op and Apply says so.
class KeepAwake {
 public:
  enum class Result { Held, Released, Unavailable };

  // Holds (on) or ends (off) the request. Idempotent. Called on the UI thread.
  static Result Apply(bool on);
  static bool IsHeld();

  // Replaces the inhibitor command (tests): the command is run with the watcher command
  // appended ("sh -c <wait while our pid lives>"). An empty list restores systemd-inhibit.
  static void SetInhibitCommandForTesting(std::vector<std::string> command);
};

}  // namespace brisel
