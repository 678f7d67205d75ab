#include <cstdio>

#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "settings/AppSettings.h"

namespace brisel::cli {

int RunSettingsCommand(const std::vector<std::string>& args) {
  if (!args.empty()) return UsageError("settings takes no arguments");
  bool ok = LoadSettings(false);
  const AppSettings& s = *theSettings;
  std::printf("Base-AutoRun=%d\n", s.m_nAutoRun);
  std::printf("Base-AutoUpdate=%d\n", s.m_nAutoUpdate);
  std::printf("ExitWndType=%d\n", s.m_nExitWndType);
  std::printf("ComSleep-UnSleep=%d\n", s.m_nKeepAwake);
  std::printf("DefaultIP=%s\n", s.m_strDefaultIp.c_str());
  std::printf("DeleteOrigin=%d\n", s.m_nDeleteOrigin);
  std::printf("VideoConvert-Ratio=%d\n", s.m_nConvertRatio);
  std::printf("ConvertPath=%s\n", s.m_strConvertPath.c_str());
  std::printf("ConvertedNotify=%d\n", s.m_nConvertedNotify);
  if (!ok) {
    std::fprintf(stderr, "briselvr: 配置文件异常 (%s could not be read or created)\n",
                 ConfigPath().c_str());
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace brisel::cli
