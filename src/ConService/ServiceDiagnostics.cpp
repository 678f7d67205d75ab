#include "ConService/ServiceDiagnostics.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

namespace brisel {
namespace {

struct Diagnostics {
  std::mutex mutex;
  std::condition_variable wake;     // the writer waits for lines
  std::condition_variable drained;  // flushes wait for the writer
  std::string queue;                // at most kServiceDiagnosticsQueueBytes
  std::uint64_t queuedBytes = 0;    // every byte ever queued
  std::uint64_t writtenBytes = 0;   // of those, every byte the writer has handed on
  std::uint64_t dropped = 0;
  std::uint64_t droppedUntold = 0;  // dropped since the writer last said so
  bool writerStarted = false;
  int fd = STDOUT_FILENO;
};

std::atomic<bool> g_enabled{false};

// Never destroyed: the writer may sit in a write to a pipe nobody reads until the process
// ends, and must not find its state gone during static destruction.
Diagnostics& State() {
  static Diagnostics* state = new Diagnostics;
  return *state;
}

void WriteAll(int fd, const std::string& text) {
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a closed or broken output: these lines are lost
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

void Writer() {
  // A reader that went away must not end the program: the write fails instead.
  sigset_t pipeSignal;
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
  pthread_setname_np(pthread_self(), "diagnostics");

  Diagnostics& d = State();
  std::unique_lock<std::mutex> lock(d.mutex);
  for (;;) {
    d.wake.wait(lock, [&] { return !d.queue.empty() || d.droppedUntold > 0; });
    std::string out;
    out.swap(d.queue);
    const std::uint64_t taken = out.size();
    if (d.droppedUntold > 0) {
      out += "(" + std::to_string(d.droppedUntold) + " diagnostic lines dropped)\n";
      d.droppedUntold = 0;
    }
    const int fd = d.fd;
    lock.unlock();
    WriteAll(fd, out);
    lock.lock();
    d.writtenBytes += taken;
    d.drained.notify_all();
  }
}

void Enqueue(const std::string& line) {
  Diagnostics& d = State();
  std::lock_guard<std::mutex> lock(d.mutex);
  if (d.queue.size() + line.size() > kServiceDiagnosticsQueueBytes) {
    ++d.dropped;
    ++d.droppedUntold;
    return;
  }
  d.queue += line;
  d.queuedBytes += line.size();
  if (!d.writerStarted) {
    d.writerStarted = true;
    std::thread(Writer).detach();
  }
  d.wake.notify_one();
}

}  // namespace

void SetServiceDiagnosticsEnabled(bool enabled) { g_enabled = enabled; }
bool ServiceDiagnosticsEnabled() { return g_enabled; }

void ServiceDiagnostic(const char* format, ...) {
  if (!g_enabled) return;
  char text[512];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n < 0) return;
  std::string line(text, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1));
  if (static_cast<std::size_t>(n) >= sizeof text) line += "...\n";
  Enqueue(line);
}

void ServiceHexDump(const char* title, const std::uint8_t* data, std::size_t length) {
  if (!g_enabled) return;
  static const char kHex[] = "0123456789abcdef";
  std::string line = std::string(title) + " (" + std::to_string(length) + " bytes):";
  const std::size_t shown = length < 32 ? length : 32;
  for (std::size_t i = 0; i < shown; ++i) {
    line += ' ';
    line += kHex[data[i] >> 4];
    line += kHex[data[i] & 15];
  }
  if (shown < length) line += " ...";
  line += '\n';
  Enqueue(line);
}

bool FlushServiceDiagnostics(std::chrono::milliseconds timeout) {
  Diagnostics& d = State();
  std::unique_lock<std::mutex> lock(d.mutex);
  const std::uint64_t target = d.queuedBytes;
  return d.drained.wait_for(lock, timeout, [&] { return d.writtenBytes >= target; });
}

void SetServiceDiagnosticsOutputForTesting(int fd) {
  Diagnostics& d = State();
  std::lock_guard<std::mutex> lock(d.mutex);
  d.fd = fd;
}

std::uint64_t DroppedServiceDiagnostics() {
  Diagnostics& d = State();
  std::lock_guard<std::mutex> lock(d.mutex);
  return d.dropped;
}

}  // namespace brisel
