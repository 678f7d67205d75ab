#pragma once

#include "settings/AppSettings.h"
#include "toolkit/SettingsPageHost.h"

namespace gallery {

// The settings page's host in pictures made without the main window: it shows theSettings
// (the values the gallery set up) and stores nothing, so no picture writes a config.ini.
class ShownSettings : public brisel::SettingsPageHost {
 public:
  const brisel::AppSettings& CurrentSettings() override {
    return brisel::theSettings ? *brisel::theSettings : m_none;
  }
  void KeepAwakeChosen(bool) override {}
  void ConvertRatioChosen(int) override {}
  void CheckForUpdate() override {}

 private:
  brisel::AppSettings m_none;
};

}  // namespace gallery
