#include "platform/MachineIdentity.h"

#include <unistd.h>
#include <uuid/uuid.h>

#include <climits>

#include "platform/FileSystem.h"

namespace brisel {

std::string MachineId() {
  for (const char* file : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    std::optional<std::string> text = ReadWholeFile(file, 256);
    if (!text) continue;
    while (!text->empty() && (text->back() == '\n' || text->back() == ' ')) text->pop_back();
    if (!text->empty()) return *text;
  }
  return {};
}

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
  return name;
}

std::string NameBasedUuid(const std::string& name) {
  // The program's namespace; any fixed UUID would do, this one was drawn once at random.
  static const uuid_t kNamespace = {0x6b, 0x1e, 0x4c, 0x2a, 0x93, 0x5f, 0x4d, 0x07,
                                    0xa2, 0x61, 0x0c, 0x8e, 0x5b, 0x3d, 0x19, 0xf4};
  uuid_t id;
  uuid_generate_sha1(id, kNamespace, name.data(), name.size());
  char text[37];
  uuid_unparse_lower(id, text);
  return text;
}

}  // namespace brisel
