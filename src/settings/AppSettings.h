#pragma once

#include <memory>
#include <string>

namespace brisel {

// The user's settings, kept in <program folder>/config.ini in the sections NormalSetting
// and VideoSetting. One record for the whole run, reached through theSettings.
//
// Thread contract: read and written on the UI thread (the command-line front end's main
// thread). Workers copy what they need when they are started.
struct AppSettings {
  int m_nAutoRun = 0;            // Base-AutoRun: 1 = start when the user logs on
  int m_nAutoUpdate = 0;         // Base-AutoUpdate: shown on the settings page only
  int m_nDeleteOrigin = 0;       // DeleteOrigin: initial tick of "彻底删除源文件"
  int m_nKeepAwake = 0;          // ComSleep-UnSleep: 1 = keep the PC and display awake
  int m_nConvertedNotify = 0;    // ConvertedNotify: shown on the settings page only
  std::string m_strDefaultIp;    // DefaultIP: address of the last save; not used to choose
  int m_nExitWndType = 0;        // ExitWndType: 1 ask, 2 hide, 3 quit
  int m_nConvertRatio = 0;       // VideoConvert-Ratio: 1 = 1080P, 2 = 2K
  std::string m_strConvertPath;  // ConvertPath: output folder of conversions; empty = default

  // UpdateBaseUrl in NormalSetting: base URL of the update service. Read at start-up (the
  // build's default when the key is missing), never written by SaveSettings.
  std::string m_strUpdateBaseUrl;

  // DlnaServer in NormalSetting: 0 keeps the DLNA media server off, anything else runs it with
  // the LAN service. Read at start-up (1 when the key is missing); like UpdateBaseUrl it is
  // the user's to write: neither the first start nor SaveSettings adds it to the file.
  int m_nDlnaServer = 1;
};

// Set by LoadSettings to ProgramSettings(); lives until the process ends.
extern AppSettings* theSettings;

// The record of the run, which LoadSettings fills in place. It exists (with zeros) before the
// first LoadSettings, so a window can be handed it when it is made and read it once loaded.
AppSettings& ProgramSettings();

// <program folder>/config.ini, set by LoadSettings.
const std::string& ConfigPath();

// Fills theSettings from config.ini, or creates the file with the first-start values.
// With `systemIntegration` it also registers autorun (when Base-AutoRun is 1) and applies
// the keep-awake request, as the program does; the command-line front end passes false.
// False when config.ini could neither be read nor created: the caller shows "配置文件异常"
// and goes on with the values in memory.
bool LoadSettings(bool systemIntegration = true);

// Writes the nine settings of `settings` (DefaultIP from the current ServiceIp) in their
// order. Keys the program does not know are kept. False when the file could not be written.
bool SaveSettings(const AppSettings& settings);
// The same for theSettings; false when there are none.
bool SaveSettings();

// Writes the autostart entry for this executable and sets m_nAutoRun to 1.
void RegisterAutorun();

// Holds or ends the keep-awake request as m_nKeepAwake of `settings` says.
void ApplyKeepAwake(const AppSettings& settings);
// The same for ProgramSettings().
void ApplyKeepAwake();

}  // namespace brisel
