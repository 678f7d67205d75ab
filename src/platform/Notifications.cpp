#include "platform/Notifications.h"

#include "platform/TextCodec.h"

namespace brisel {

std::string ShortPromptName(std::string_view name) {
  if (Utf16Length(name) <= kMaxPromptNameLength) return std::string(name);
  return TruncateUtf16(name, kMaxPromptNameLength) + "...";
}

}  // namespace brisel
