#pragma once

#include <cstddef>
#include <cstdint>

// The LAN service's short diagnostic lines on standard output (a terminal shows them; the
// windowed program's output goes nowhere). They never reach the user's log files.
namespace brisel {

void SetServiceDiagnosticsEnabled(bool enabled);
bool ServiceDiagnosticsEnabled();

// printf-style; the caller ends the line with "\n".
void ServiceDiagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "<title> (<n> bytes): <hex of the first 32 bytes>[ ...]"
void ServiceHexDump(const char* title, const std::uint8_t* data, std::size_t length);

}  // namespace brisel
