#include "settings/AppSettings.h"

#include "BriselDataManager/LogRecorder.h"
#include "platform/Autorun.h"
#include "platform/FileSystem.h"
#include "platform/KeepAwake.h"
#include "platform/ProgramFolder.h"
#include "settings/BuildConfig.h"
#include "settings/IniFile.h"
#include "settings/ProgramValues.h"

namespace brisel {

AppSettings* theSettings = nullptr;

namespace {

constexpr const char* kNormal = "NormalSetting";
constexpr const char* kVideo = "VideoSetting";
constexpr const char* kTag = "AppSettings";

std::string& ConfigPathStorage() {
  static std::string path;
  return path;
}

AppSettings& Settings() {
  AppSettings& settings = ProgramSettings();
  theSettings = &settings;
  return settings;
}

}  // namespace

AppSettings& ProgramSettings() {
  static AppSettings settings;
  return settings;
}

const std::string& ConfigPath() { return ConfigPathStorage(); }

bool LoadSettings(bool systemIntegration) {
  AppSettings& s = Settings();
  s = AppSettings{};
  ConfigPathStorage() = GetDataFolder() + "/config.ini";
  const std::string& path = ConfigPathStorage();

  IniFile ini;
  bool ok = true;
  if (PathExists(path)) {
    ok = ini.Load(path);
    s.m_nAutoRun = ini.GetInt(kNormal, "Base-AutoRun", 1);
    if (s.m_nAutoRun == 1 && systemIntegration) RegisterAutorun();
    s.m_nAutoUpdate = ini.GetInt(kNormal, "Base-AutoUpdate", 1);
    s.m_nExitWndType = ini.GetInt(kNormal, "ExitWndType", 1);
    s.m_nKeepAwake = ini.GetInt(kNormal, "ComSleep-UnSleep", 1);
    if (systemIntegration) ApplyKeepAwake();
    s.m_strDefaultIp = ini.GetString(kNormal, "DefaultIP", "", 20);
    s.m_nConvertRatio = ini.GetInt(kVideo, "VideoConvert-Ratio", 0);
    s.m_strConvertPath = ini.GetString(kVideo, "ConvertPath", "", 200);
    s.m_nConvertedNotify = ini.GetInt(kVideo, "ConvertedNotify", 1);
    s.m_nDeleteOrigin = ini.GetInt(kNormal, "DeleteOrigin", 0);
  } else {
    s.m_nAutoRun = 0;
    s.m_nAutoUpdate = 1;
    s.m_nExitWndType = 1;
    s.m_nKeepAwake = 1;
    s.m_strDefaultIp = "127.0.0.1";
    s.m_nConvertRatio = 1;
    s.m_strConvertPath = GetDataFolder() + "/appData/converted/";
    s.m_nConvertedNotify = 1;
    s.m_nDeleteOrigin = 0;
    ini.Set(kNormal, "Base-AutoRun", "0");
    ini.Set(kNormal, "Base-AutoUpdate", "1");
    ini.Set(kNormal, "ExitWndType", "1");
    ini.Set(kNormal, "ComSleep-UnSleep", "1");
    ini.Set(kNormal, "DefaultIP", s.m_strDefaultIp);
    ini.Set(kVideo, "VideoConvert-Ratio", "1");
    ini.Set(kVideo, "ConvertPath", s.m_strConvertPath);
    ini.Set(kVideo, "ConvertedNotify", "1");
    ini.Set(kNormal, "DeleteOrigin", "0");
    ok = ini.Save(path);
    if (!ok) WriteLog("config.ini could not be created: " + path, kTag);
    if (systemIntegration) ApplyKeepAwake();
  }
  s.m_strUpdateBaseUrl = ini.GetString(kNormal, "UpdateBaseUrl", build::kUpdateBaseUrl, 1024);
  s.m_nDlnaServer = ini.GetInt(kNormal, "DlnaServer", 1);
  return ok;
}

bool SaveSettings() { return theSettings && SaveSettings(*theSettings); }

bool SaveSettings(const AppSettings& s) {
  if (ConfigPathStorage().empty()) ConfigPathStorage() = GetDataFolder() + "/config.ini";
  IniFile ini;
  ini.Load(ConfigPathStorage());
  ini.Set(kNormal, "Base-AutoRun", std::to_string(s.m_nAutoRun));
  ini.Set(kNormal, "Base-AutoUpdate", std::to_string(s.m_nAutoUpdate));
  ini.Set(kNormal, "ExitWndType", std::to_string(s.m_nExitWndType));
  ini.Set(kNormal, "ComSleep-UnSleep", std::to_string(s.m_nKeepAwake));
  ini.Set(kNormal, "DefaultIP", ServiceIp());
  ini.Set(kNormal, "DeleteOrigin", std::to_string(s.m_nDeleteOrigin));
  ini.Set(kVideo, "VideoConvert-Ratio", std::to_string(s.m_nConvertRatio));
  ini.Set(kVideo, "ConvertPath", s.m_strConvertPath);
  ini.Set(kVideo, "ConvertedNotify", std::to_string(s.m_nConvertedNotify));
  bool ok = ini.Save(ConfigPathStorage());
  if (!ok) WriteLog("config.ini could not be written: " + ConfigPathStorage(), kTag);
  return ok;
}

void RegisterAutorun() {
  Settings().m_nAutoRun = 1;
  if (!WriteAutostartEntry(GetExePath())) WriteLog("autostart entry could not be written", kTag);
}

void ApplyKeepAwake() { ApplyKeepAwake(Settings()); }

void ApplyKeepAwake(const AppSettings& settings) {
  const bool on = settings.m_nKeepAwake == 1;
  if (KeepAwake::Apply(on) == KeepAwake::Result::Unavailable)
    WriteLog("no inhibit service: the PC may sleep while the program runs", kTag);
}

}  // namespace brisel
