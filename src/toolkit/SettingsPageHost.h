#pragma once

namespace brisel {

struct AppSettings;

// What the settings page (CSetContentDlg) needs of the window that hosts it: the settings to
// show, and someone to tell what the user chose. The page keeps only its own copy; storing a
// choice, saving config.ini and applying it are the host's (the main window writes the
// settings in one place).
//
// Thread contract: the page calls every member on the UI thread, from its click handlers and
// from ShowCurrentSettings. None of them may run a modal loop.
class SettingsPageHost {
 public:
  virtual ~SettingsPageHost() = default;

  // The settings of the run; the page copies them each time it is shown.
  virtual const AppSettings& CurrentSettings() = 0;
  // "有任务时电脑不休眠(推荐开启)" was ticked (true) or cleared (false).
  virtual void KeepAwakeChosen(bool keepAwake) = 0;
  // A picture mode was chosen: 1 for "1080P画质", 2 for "2K画质". Not called when the user
  // clicks the button that is already ticked.
  virtual void ConvertRatioChosen(int ratio) = 0;
  // "检测更新": the version check, then the update download when a newer version exists.
  virtual void CheckForUpdate() = 0;
};

}  // namespace brisel
