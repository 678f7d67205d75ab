#include "ConService/ServiceDiagnostics.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace brisel {
namespace {
std::atomic<bool> g_enabled{true};
}

void SetServiceDiagnosticsEnabled(bool enabled) { g_enabled = enabled; }
bool ServiceDiagnosticsEnabled() { return g_enabled; }

void ServiceDiagnostic(const char* format, ...) {
  if (!g_enabled) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stdout, format, args);
  va_end(args);
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
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace brisel
