// Any bytes read as ConvertList.xml either load nothing or load tasks that survive a save:
// writing the loaded entries and reading them back gives the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "BriselUIFiles/QueueFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto entries =
      brisel::ParseQueueFile(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!entries) return 0;
  auto again = brisel::ParseQueueFile(brisel::SerializeQueueFile(*entries));
  if (!again || *again != *entries) std::abort();
  return 0;
}
