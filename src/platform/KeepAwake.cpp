#include "platform/KeepAwake.h"

#include <signal.h>
#include <unistd.h>

#include <mutex>

#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"

namespace brisel {
namespace {

struct State {
  std::mutex mutex;
  std::unique_ptr<ChildProcess> child;
  std::vector<std::string> testCommand;
};

State& TheState() {
  static State state;
  return state;
}

bool SystemBusPresent() {
  const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
  return (address && *address) || PathExists("/run/dbus/system_bus_socket") ||
         PathExists("/var/run/dbus/system_bus_socket");
}

}  // namespace

KeepAwake::Result KeepAwake::Apply(bool on) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (!on) {
    if (s.child) {
      s.child->Kill(SIGTERM);
      s.child->Wait(1000);
      s.child.reset();  // kills for good if SIGTERM was not enough
    }
    return Result::Released;
  }
  if (s.child && s.child->Running()) return Result::Held;
  s.child.reset();

  std::vector<std::string> argv = s.testCommand;
  if (argv.empty()) {
    if (!SystemBusPresent()) return Result::Unavailable;
    argv = {"systemd-inhibit", "--what=idle:sleep", "--who=BriselVR助手",
            "--why=Sharing and converting videos", "--mode=block"};
  }
  // The held command waits while this process lives, so a crash does not leave the PC
  // inhibited for ever.
  argv.insert(
      argv.end(),
      {"sh", "-c", "while kill -0 " + std::to_string(getpid()) + " 2>/dev/null; do sleep 2; done"});
  auto child = std::make_unique<ChildProcess>();
  if (!child->Start(argv)) return Result::Unavailable;
  // An inhibitor that cannot reach its service gives up at once.
  if (child->Wait(150)) return Result::Unavailable;
  s.child = std::move(child);
  return Result::Held;
}

bool KeepAwake::IsHeld() {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.child && s.child->Running();
}

void KeepAwake::SetInhibitCommandForTesting(std::vector<std::string> command) {
  State& s = TheState();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.testCommand = std::move(command);
}

}  // namespace brisel
