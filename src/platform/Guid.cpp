#include "platform/Guid.h"

#include <uuid/uuid.h>

namespace brisel {

std::string NewGuidText() {
  uuid_t id;
  uuid_generate(id);
  char text[37];
  uuid_unparse_upper(id, text);
  return std::string("{") + text + "}";
}

}  // namespace brisel
