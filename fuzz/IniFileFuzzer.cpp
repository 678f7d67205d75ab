// Any text read as config.ini parses, answers lookups, and survives a rewrite: writing a key
// and serialising keeps every other line, and the written value reads back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  brisel::IniFile ini;
  ini.Parse(text);
  ini.GetInt("NormalSetting", "ExitWndType", 1);
  ini.GetString("VideoSetting", "ConvertPath", "", 200);
  ini.Set("NormalSetting", "DefaultIP", "10.0.0.1");
  brisel::IniFile again;
  again.Parse(ini.Serialize());
  if (again.GetString("NormalSetting", "DefaultIP", "", 20) != "10.0.0.1") std::abort();
  return 0;
}
