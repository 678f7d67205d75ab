#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

// The LAN service's diagnostic lines (connections coming and going, each request as hex, the
// broadcast) on standard output, for `briselvr serve --verbose`. They never reach the user's
// log files, and they are off unless switched on: the window program writes none.
//
// Writing one never blocks the calling service thread and never holds more than a bounded
// amount of text: lines wait in a queue that one writer thread of its own empties into the
// output. When the output does not keep up (a pipe nobody reads), new lines are dropped and
// the writer says how many once it can write again. Any thread may call these functions.
namespace brisel {

void SetServiceDiagnosticsEnabled(bool enabled);
bool ServiceDiagnosticsEnabled();

// printf-style; the caller ends the line with "\n".
void ServiceDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "<title> (<n> bytes): <hex of the first 32 bytes>[ ...]"
void ServiceHexDump(const char* title, const std::uint8_t* data, std::size_t length);

// Waits until the lines queued so far were written, at most `timeout`; true when they were.
bool FlushServiceDiagnostics(std::chrono::milliseconds timeout);

// Text the queue holds at most; lines beyond it are dropped.
inline constexpr std::size_t kServiceDiagnosticsQueueBytes = 64 * 1024;

// Where the lines go (standard output unless set); tests.
void SetServiceDiagnosticsOutputForTesting(int fd);
// Lines dropped so far because the queue was full; tests.
std::uint64_t DroppedServiceDiagnostics();

}  // namespace brisel
