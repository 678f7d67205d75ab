// Any bytes read as VideoRelation.xml parse without harm, and the pairs read survive a
// rewrite: writing them and reading the result gives the same pairs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "BriselUIFiles/VideoRelationFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view content(reinterpret_cast<const char*>(data), size);
  auto relations = brisel::ParseRelationFile(content);
  if (brisel::ParseRelationFile(brisel::SerializeRelationFile(relations)) != relations)
    std::abort();
  return 0;
}
