#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "platform/Guid.h"
#include "platform/Md5.h"

namespace brisel {
namespace {

TEST(Md5, KnownDigests) {
  EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5Hex("C:/v/a.mp4").size(), 32u);
  EXPECT_NE(Md5Hex("C:/v/a.mp4"), Md5Hex("C:\\v\\a.mp4"));
}

TEST(Guid, RegistryFormUpperCaseAndUnique) {
  const std::regex form("\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}");
  std::set<std::string> seen;
  for (int i = 0; i < 100; ++i) {
    std::string id = NewGuidText();
    EXPECT_TRUE(std::regex_match(id, form)) << id;
    seen.insert(id);
  }
  EXPECT_EQ(seen.size(), 100u);
}

}  // namespace
}  // namespace brisel
