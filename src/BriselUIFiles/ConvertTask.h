#pragma once

// The values a conversion task is made of: its state numbers, the output profile chosen from
// the source's media values, the size text shown under its name and its identity. Pure
// functions, callable from any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace brisel {

// TaskState: held by the task row. Values read from the queue file that are none of these
// are kept as they are (a row in such a state shows no status text).
enum TaskState : int {
  TASK_NEW = 0,          // row created, not yet queued
  TASK_WAITING = 1,      // queued behind the running task
  TASK_CONVERTING = 2,   // the transcoder runs for this task (at most one task)
  TASK_DONE = 3,         // output file finished
  TASK_CANCELLED = 4,    // stopped, partial output deleted
  TASK_INTERRUPTED = 6,  // stopped by StopAll, or loaded with a saved state of 1, 2 or 6
  TASK_FAILED = 9,       // the transcoder failed
};

// "TASK_DONE" and so on; "TASK_STATE_<n>" for a value that has no name.
std::string TaskStateName(int state);

// Output picture size and video bitrate of a task; all zero until a profile is chosen.
struct OutputProfile {
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::uint32_t BitrateK = 0;  // kilobits per second

  // A task can only be started when every field is non-zero.
  bool Usable() const { return Width != 0 && Height != 0 && BitrateK != 0; }
  bool operator==(const OutputProfile&) const = default;
};

struct ProfileChoice {
  OutputProfile profile;
  std::string modeLabel;  // "3D-1080P", "3D-2K", "360°-1080P" or "360°-2K"
};

// The profile for a source of `size` bytes lasting `timeMs` milliseconds with a picture of
// `width` × `height` pixels (all decimal texts as the media probe gives them), under the
// picture-mode setting `convertRatio` (VideoConvert-Ratio: 1 = 1080P, 2 = 2K).
// Flat pictures (1.32 < w/h < 1.78) are "3D" with the bitrate capped at 4000K; every other
// ratio is a panorama ("360°") with the source's rate uncapped. Only the width picks the size
// class. Numbers are truncated toward zero; a value that does not fit an unsigned 32-bit
// integer (an infinite rate from a zero duration, a negative size) becomes 0, which makes the
// task unstartable.
ProfileChoice ChooseOutputProfile(std::string_view size, std::string_view timeMs,
                                  std::string_view width, std::string_view height,
                                  int convertRatio);

// "%.1fM" of the size in MiB below 1024 MiB, else "%.1fG" of GiB: 5242880 → "5.0M".
std::string FormatSizeText(std::string_view sizeBytes);

// A new task identity: a GUID in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string NewTaskId();

// Decimal reading of the task's texts: leading white space, an optional sign, then the
// leading digits; no digits read as 0. Values beyond the type's range are clamped.
std::int64_t ReadDecimal64(std::string_view text);
std::int32_t ReadDecimal32(std::string_view text);

}  // namespace brisel
