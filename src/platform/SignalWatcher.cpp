#include "platform/SignalWatcher.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace brisel {
namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int signal) {
  int saved = errno;
  unsigned char byte = static_cast<unsigned char>(signal);
  if (g_pipe[1] >= 0) {
    ssize_t ignored = write(g_pipe[1], &byte, 1);
    (void)ignored;
  }
  errno = saved;
}

}  // namespace

int SignalWatcher::Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    signal(SIGPIPE, SIG_IGN);
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
      g_pipe[0] = g_pipe[1] = -1;
      return;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
  });
  return g_pipe[0];
}

int SignalWatcher::TakeSignal() {
  if (g_pipe[0] < 0) return 0;
  unsigned char byte = 0;
  ssize_t n = read(g_pipe[0], &byte, 1);
  return n == 1 ? byte : 0;
}

}  // namespace brisel
