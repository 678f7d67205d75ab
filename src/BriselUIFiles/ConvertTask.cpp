#include "BriselUIFiles/ConvertTask.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/Guid.h"

namespace brisel {
namespace {

// Truncation toward zero into an unsigned 32-bit integer; what does not fit gives 0.
std::uint32_t TruncateToU32(double value) {
  if (std::isnan(value)) return 0;
  double t = std::trunc(value);
  if (t < 0.0 || t > static_cast<double>(std::numeric_limits<std::uint32_t>::max())) return 0;
  return static_cast<std::uint32_t>(t);
}

// "%.1f" without the locale's decimal separator.
std::string OneDecimal(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
  if (result.ec != std::errc()) return "0.0";
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string TaskStateName(int state) {
  switch (state) {
    case TASK_NEW:
      return "TASK_NEW";
    case TASK_WAITING:
      return "TASK_WAITING";
    case TASK_CONVERTING:
      return "TASK_CONVERTING";
    case TASK_DONE:
      return "TASK_DONE";
    case TASK_CANCELLED:
      return "TASK_CANCELLED";
    case TASK_INTERRUPTED:
      return "TASK_INTERRUPTED";
    case TASK_FAILED:
      return "TASK_FAILED";
    default:
      return "TASK_STATE_" + std::to_string(state);
  }
}

std::int64_t ReadDecimal64(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulated as a negative number, whose range is one larger.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  bool clamped = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    int digit = text[i] - '0';
    if (clamped) continue;
    if (value < (kMin + digit) / 10) {
      value = kMin;
      clamped = true;
    } else {
      value = value * 10 - digit;
    }
  }
  if (negative) return value;
  if (value == kMin) return std::numeric_limits<std::int64_t>::max();
  return -value;
}

std::int32_t ReadDecimal32(std::string_view text) {
  std::int64_t v = ReadDecimal64(text);
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

ProfileChoice ChooseOutputProfile(std::string_view size, std::string_view timeMs,
                                  std::string_view width, std::string_view height,
                                  int convertRatio) {
  const double bytes = static_cast<double>(ReadDecimal64(size));
  const double ms = static_cast<double>(ReadDecimal64(timeMs));
  const std::int32_t w = ReadDecimal32(width);
  const std::int32_t h = ReadDecimal32(height);

  // The source's average rate in kilobits (1024 bits) per second.
  const double rate = bytes * (1.0 / 1024) * (1.0 / 1024) * 1024 * 8 / (ms / 1000);
  const double ratio = static_cast<double>(w) / static_cast<double>(h);
  const bool flat = ratio > 1.32 && ratio < 1.78;  // false for NaN

  double outWidth, outHeight, bitrate;
  ProfileChoice choice;
  if (flat) {
    bitrate = rate > 4000 ? 4000 : rate;
    if (w < 1920) {
      outWidth = w;
      outHeight = h;
      choice.modeLabel = "3D-1080P";
    } else if (w < 2560) {
      outWidth = 1920;
      outHeight = 1080;
      choice.modeLabel = "3D-1080P";
    } else {
      outWidth = 2560;
      outHeight = 1440;
      choice.modeLabel = "3D-2K";
    }
  } else {
    bitrate = rate;
    if (w < 1920) {
      outWidth = w;
      outHeight = h;
      choice.modeLabel = "360°-1080P";
    } else if (w < 2560 || convertRatio == 1) {
      outWidth = 1920;
      outHeight = 960;
      choice.modeLabel = "360°-1080P";
    } else {
      outWidth = 2560;
      outHeight = 1280;
      choice.modeLabel = "360°-2K";
    }
  }
  choice.profile.Width = TruncateToU32(outWidth);
  choice.profile.Height = TruncateToU32(outHeight);
  choice.profile.BitrateK = TruncateToU32(bitrate);
  return choice;
}

std::string FormatSizeText(std::string_view sizeBytes) {
  double m = static_cast<double>(ReadDecimal64(sizeBytes)) / 1024 / 1024;
  if (m < 1024) return OneDecimal(m) + "M";
  return OneDecimal(m / 1024) + "G";
}

std::string NewTaskId() { return NewGuidText(); }

}  // namespace brisel
