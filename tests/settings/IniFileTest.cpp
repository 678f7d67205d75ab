#include <gtest/gtest.h>

#include "settings/IniFile.h"

namespace brisel {
namespace {

TEST(IniFile, ProfileIntegerReading) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {{"1", 1},
               {"  42", 42},
               {"12abc", 12},
               {"abc", 0},
               {"", 0},
               {"-3", -3},
               {"99999999999", 2147483647}};
  for (const auto& c : cases) EXPECT_EQ(ParseProfileInt(c.text), c.value) << c.text;
}

TEST(IniFile, LookupIgnoresCaseAndMissingKeysReadTheDefault) {
  IniFile ini;
  ini.Parse("[NormalSetting]\r\nExitWndType = 2 \r\n; comment\r\nDefaultIP=\"10.0.0.1\"\r\n");
  EXPECT_EQ(ini.GetInt("normalsetting", "EXITWNDTYPE", 1), 2);
  EXPECT_EQ(ini.GetInt("NormalSetting", "Base-AutoRun", 1), 1);
  EXPECT_EQ(ini.GetString("NormalSetting", "DefaultIP", "", 20), "10.0.0.1");
  EXPECT_EQ(ini.GetInt("VideoSetting", "ExitWndType", 7), 7) << "sections are separate";
}

TEST(IniFile, TextsAreCutToTheirBuffer) {
  IniFile ini;
  ini.Parse("[S]\nip=192.168.100.200.extra.text\n");
  EXPECT_EQ(ini.GetString("S", "ip", "", 20), "192.168.100.200.ext");
}

TEST(IniFile, WritesChangeLinesInPlaceAndKeepEverythingElse) {
  IniFile ini;
  ini.Parse(
      "; my notes\n[NormalSetting]\nExitWndType=1\nUpdateBaseUrl=http://x/\n\n[Other]\nk=v\n");
  ini.Set("NormalSetting", "ExitWndType", "3");
  ini.Set("NormalSetting", "DeleteOrigin", "0");
  ini.Set("VideoSetting", "ConvertPath", "/v/");
  EXPECT_EQ(ini.Serialize(),
            "; my notes\n[NormalSetting]\nExitWndType=3\nUpdateBaseUrl=http://x/\nDeleteOrigin=0\n"
            "\n[Other]\nk=v\n[VideoSetting]\nConvertPath=/v/\n");
}

}  // namespace
}  // namespace brisel
