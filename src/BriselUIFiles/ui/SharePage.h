#pragma once

#include <chrono>

#include "BriselUIFiles/PagesShutdown.h"
#include "BriselUIFiles/ShareView.h"

class QWidget;

namespace brisel {

// What the main window needs of its share page (CRightVideoDlg), the content area right of
// the left menu: the views the left menu picks, the conversions and closing flags the quit
// sequence and the update flow deal with, and the shutdown before the Service goes.
//
// Thread contract: the main window calls every member on the UI thread. None of them runs an
// event loop; WaitForMonitor blocks for at most its time-out.
class SharePage : public PagesShutdown {
 public:
  // The page's widget, a child of the main window placed at (160, 0), 812 x 630.
  virtual QWidget* Widget() = 0;

  // Shows view 0, 1 or 2 (ShareView) and the controls that belong to it; any other value
  // only repaints.
  virtual void SelectView(int view) = 0;
  // The view shown (ShareView).
  virtual int View() const = 0;

  // Whether a conversion task is converting right now.
  virtual bool IsAnyConverting() const = 0;
  // Stops every converting task (ConvertList's StopAll): with `exiting` the stopped tasks
  // stay in the list as interrupted, otherwise they are removed once stopped.
  virtual void StopAll(bool exiting) = 0;

  // Raises the closing flags: the device-count monitor and the address menu's hover thread
  // end. Returns at once.
  virtual void RaiseClosingFlags() = 0;
  // Waits up to `timeout` for the device-count monitor to end; true when it has.
  virtual bool WaitForMonitor(std::chrono::milliseconds timeout) = 0;
  // Clears the closing flags and starts the device-count monitor again (a cancelled update
  // restarts the LAN service and, with it, the count of connected phones).
  virtual void RestartMonitor() = 0;

  // Shows a toast (ToastKind) on top of the page.
  virtual void ShowToast(int kind) = 0;
};

}  // namespace brisel
