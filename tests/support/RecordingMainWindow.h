#pragma once

#include <string>
#include <vector>

#include "BriselUIFiles/SharePageHost.h"

namespace brisel::test {

// A main window as the share page sees it: it records what the page asks of it, in order
// ("HandleCloseRequest", "MinimiseMainWindow", "ShowConvertedBalloon clip.mp4",
// "SetConverting 1") and hands out `service` and `settingsHost` (the settings page's host;
// null: the page shows a record of zeros and tells nobody).
class RecordingMainWindow : public SharePageHost {
 public:
  explicit RecordingMainWindow(Service* service = nullptr) : service(service) {}

  void HandleCloseRequest() override { calls.push_back("HandleCloseRequest"); }
  void MinimiseMainWindow() override { calls.push_back("MinimiseMainWindow"); }
  void ShowConvertedBalloon(const std::string& title) override {
    calls.push_back("ShowConvertedBalloon " + title);
  }
  void SetConverting(bool converting) override {
    calls.push_back(std::string("SetConverting ") + (converting ? "1" : "0"));
  }
  Service* GetService() override { return service; }
  SettingsPageHost* SettingsHost() override { return settingsHost; }

  // The calls starting with `prefix`, in order.
  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }

  Service* service;
  SettingsPageHost* settingsHost = nullptr;
  std::vector<std::string> calls;
};

}  // namespace brisel::test
