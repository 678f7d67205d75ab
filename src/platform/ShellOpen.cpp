#include "platform/ShellOpen.h"

#include <mutex>

#include "platform/ChildProcess.h"

namespace brisel {
namespace {

std::mutex g_mutex;
std::string g_program;  // empty: xdg-open

std::string OpenerProgram() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_program.empty() ? std::string("xdg-open") : g_program;
}

}  // namespace

void SetShellOpenProgramForTesting(const std::string& program) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_program = program;
}

bool ShellOpen(const std::string& path) {
  if (path.empty()) return false;
  // The shell starts the opener in the background with its own stdio on /dev/null and exits
  // at once; the opener lives on without us. 127 tells that the opener is not installed.
  static const char* const kScript =
      "command -v \"$0\" >/dev/null 2>&1 || exit 127\n"
      "\"$0\" \"$1\" </dev/null >/dev/null 2>&1 &\n";
  ProcessResult r = RunProcess({"/bin/sh", "-c", kScript, OpenerProgram(), path}, 10000);
  return r.started && !r.timedOut && r.exitCode == 0;
}

}  // namespace brisel
