#include "BriselUIFiles/ConvertTask.h"

#include <gtest/gtest.h>

namespace brisel {
namespace {

struct ProfileCase {
  const char* what;
  const char* size;
  const char* timeMs;
  const char* width;
  const char* height;
  int convertRatio;
  OutputProfile expected;
  const char* label;
};

TEST(ChooseOutputProfile, PicksSizeBitrateAndLabelFromTheSource) {
  // 1e9 bytes over 600 s: 13020.83 kbit/s; 1e7 bytes over 60 s: 1302.08 kbit/s.
  // clang-format off
  const ProfileCase cases[] = {
      // what                                      size          time      w       h     ratio  expected            label
      {"16:9 full HD, rate capped",                "1000000000", "600000", "1920", "1080", 1, {1920, 1080, 4000},  "3D-1080P"},
      {"2:1 panorama, 2K picture",                 "1000000000", "600000", "3840", "1920", 2, {2560, 1280, 13020}, "360°-2K"},
      {"2:1 panorama, 1080P picture",              "1000000000", "600000", "3840", "1920", 1, {1920, 960, 13020},  "360°-1080P"},
      {"2:1 panorama, unset picture mode",         "1000000000", "600000", "3840", "1920", 0, {2560, 1280, 13020}, "360°-2K"},
      {"small flat keeps its size",                "10000000",   "60000",  "1280", "720",  1, {1280, 720, 1302},   "3D-1080P"},
      {"4:3 counts as flat",                       "10000000",   "60000",  "1440", "1080", 1, {1440, 1080, 1302},  "3D-1080P"},
      {"square is a panorama",                     "10000000",   "60000",  "1024", "1024", 2, {1024, 1024, 1302},  "360°-1080P"},
      {"ratio 1.32 is excluded",                   "10000000",   "60000",  "1320", "1000", 1, {1320, 1000, 1302},  "360°-1080P"},
      {"ratio 1.78 is excluded",                   "10000000",   "60000",  "1780", "1000", 1, {1780, 1000, 1302},  "360°-1080P"},
      {"flat width 1919",                          "10000000",   "60000",  "1919", "1080", 1, {1919, 1080, 1302},  "3D-1080P"},
      {"flat width 2559",                          "10000000",   "60000",  "2559", "1440", 1, {1920, 1080, 1302},  "3D-1080P"},
      {"flat width 2560",                          "10000000",   "60000",  "2560", "1440", 1, {2560, 1440, 1302},  "3D-2K"},
      {"panorama width 1919",                      "10000000",   "60000",  "1919", "960",  2, {1919, 960, 1302},   "360°-1080P"},
      {"panorama width 2559",                      "10000000",   "60000",  "2559", "1280", 2, {1920, 960, 1302},   "360°-1080P"},
      {"panorama width 2560",                      "10000000",   "60000",  "2560", "1280", 2, {2560, 1280, 1302},  "360°-2K"},
      {"flat, zero duration: infinite rate capped","10000000",   "0",      "1920", "1080", 1, {1920, 1080, 4000},  "3D-1080P"},
      {"panorama, zero duration: unusable rate",   "10000000",   "0",      "3840", "1920", 2, {2560, 1280, 0},     "360°-2K"},
      {"empty values",                             "",           "",       "",     "",     1, {0, 0, 0},           "360°-1080P"},
      {"zero height",                              "10000000",   "60000",  "1920", "0",    1, {1920, 960, 1302},   "360°-1080P"},
      {"texts read by leading digits",             "10000000 B", "60000.000", "1280px", "720", 1, {1280, 720, 1302}, "3D-1080P"},
  };
  // clang-format on
  for (const ProfileCase& c : cases) {
    SCOPED_TRACE(c.what);
    ProfileChoice choice = ChooseOutputProfile(c.size, c.timeMs, c.width, c.height, c.convertRatio);
    EXPECT_EQ(choice.profile.Width, c.expected.Width);
    EXPECT_EQ(choice.profile.Height, c.expected.Height);
    EXPECT_EQ(choice.profile.BitrateK, c.expected.BitrateK);
    EXPECT_EQ(choice.modeLabel, c.label);
  }
}

TEST(ChooseOutputProfile, OnlyAFullProfileIsUsable) {
  EXPECT_TRUE(ChooseOutputProfile("10000000", "60000", "1280", "720", 1).profile.Usable());
  EXPECT_FALSE(ChooseOutputProfile("10000000", "0", "3840", "1920", 1).profile.Usable());
  EXPECT_FALSE(ChooseOutputProfile("0", "60000", "1280", "720", 1).profile.Usable());
}

TEST(FormatSizeText, MebibytesBelow1024ElseGibibytes) {
  const std::pair<const char*, const char*> cases[] = {
      {"0", "0.0M"},
      {"5242880", "5.0M"},
      {"1572864", "1.5M"},
      {"1073741823", "1024.0M"},  // just below 1024 MiB, rounded by the one decimal
      {"1073741824", "1.0G"},
      {"2147483648", "2.0G"},
      {"abc", "0.0M"},
      {"52428800 bytes", "50.0M"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(FormatSizeText(bytes), text) << bytes;
}

TEST(ReadDecimal, LeadingDigitsWithOptionalSign) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"42", 42},
      {" 42", 42},
      {"-7", -7},
      {"+3", 3},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"-", 0},
      {"1 2", 1},
      {"99999999999999999999", INT64_MAX},
      {"-99999999999999999999", INT64_MIN},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ReadDecimal64(text), value) << text;
  EXPECT_EQ(ReadDecimal32("99999999999"), INT32_MAX);
  EXPECT_EQ(ReadDecimal32("-3000000000"), INT32_MIN);
}

TEST(NewTaskId, RegistryFormAndNewEveryTime) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}, upper-case hexadecimal digits.
  auto registryForm = [](const std::string& id) {
    if (id.size() != 38 || id.front() != '{' || id.back() != '}') return false;
    for (std::size_t i = 1; i < 37; ++i) {
      bool hyphen = i == 9 || i == 14 || i == 19 || i == 24;
      char c = id[i];
      if (hyphen ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    return true;
  };
  std::string a = NewTaskId(), b = NewTaskId();
  EXPECT_TRUE(registryForm(a)) << a;
  EXPECT_NE(a, b);
}

TEST(TaskStateName, NamesEveryStateAndNumbersOthers) {
  EXPECT_EQ(TaskStateName(TASK_DONE), "TASK_DONE");
  EXPECT_EQ(TaskStateName(TASK_FAILED), "TASK_FAILED");
  EXPECT_EQ(TaskStateName(TASK_INTERRUPTED), "TASK_INTERRUPTED");
  EXPECT_EQ(TaskStateName(7), "TASK_STATE_7");
}

}  // namespace
}  // namespace brisel
