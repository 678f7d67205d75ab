#pragma once

#include <string>

namespace brisel {

class Service;
class SettingsPageHost;

// What the share page (its window CRightVideoDlg, its core RightVideoCore and the views it
// hosts) needs of the main window. The main window implements it and hands it to the page
// when it creates the page in CreatePages.
//
// Thread contract: every member is called on the UI thread.
class SharePageHost {
 public:
  virtual ~SharePageHost() = default;

  // The close handling of the page's close button: ExitWndType decides whether to ask, hide
  // or quit. May run the exit prompt modally before it returns.
  virtual void HandleCloseRequest() = 0;
  // The page's minimise button.
  virtual void MinimiseMainWindow() = 0;
  // The notification-area balloon for a finished conversion: `title` (the file's name, cut
  // to 63 characters) and the text "转码已完成", taken away after 8 seconds.
  virtual void ShowConvertedBalloon(const std::string& title) = 0;
  // The left menu's "转码" entry animates while a conversion runs.
  virtual void SetConverting(bool converting) = 0;

  // The LAN service with the share catalogue; null when the program runs without one. It
  // lives until after ShutdownPages (PagesShutdown) has returned.
  virtual Service* GetService() = 0;
  // The host of the settings page the share page shows (the main window, which stores the
  // user's choices); it outlives the page.
  virtual SettingsPageHost* SettingsHost() = 0;
};

}  // namespace brisel
