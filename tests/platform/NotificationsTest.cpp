#include <gtest/gtest.h>

#include "platform/Notifications.h"

namespace brisel {
namespace {

TEST(ShortPromptName, KeepsTenCharactersAndNeverSplitsOne) {
  const struct {
    const char* name;
    const char* shown;
  } cases[] = {
      {"0123456789", "0123456789"},
      {"0123456789a", "0123456789..."},
      {"一二三四五六七八九十.mp4", "一二三四五六七八九十..."},
      // A character outside the BMP counts two, as the dialog's UTF-16 text does; it is
      // dropped whole rather than cut in half.
      {"012345678\xF0\x9F\x8E\xAC.mp4", "012345678..."},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ShortPromptName(c.name), c.shown) << c.name;
}

}  // namespace
}  // namespace brisel
