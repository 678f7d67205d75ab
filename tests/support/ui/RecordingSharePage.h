#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "BriselUIFiles/ui/SharePage.h"
#include "app/ui/BriselVRClientDlg.h"
#include "settings/AppSettings.h"

namespace brisel::test {

// A share page that records what the main window asks of it, in order ("SelectView 2",
// "StopAll exiting", "RaiseClosingFlags", ...), and answers IsAnyConverting as told.
class RecordingSharePage : public QWidget, public SharePage {
 public:
  explicit RecordingSharePage(QWidget* parent) : QWidget(parent) { setObjectName("RightVideoDlg"); }

  QWidget* Widget() override { return this; }
  void SelectView(int view) override {
    calls.push_back("SelectView " + std::to_string(view));
    if (view >= SHARE_VIEW_VIDEOS && view <= SHARE_VIEW_SETTINGS) shownView = view;
  }
  int View() const override { return shownView; }
  bool IsAnyConverting() const override { return converting; }
  void StopAll(bool exiting) override {
    calls.push_back(exiting ? "StopAll exiting" : "StopAll");
    converting = false;
  }
  void RaiseClosingFlags() override { calls.push_back("RaiseClosingFlags"); }
  bool WaitForMonitor(std::chrono::milliseconds timeout) override {
    calls.push_back("WaitForMonitor " + std::to_string(timeout.count()));
    return true;
  }
  void RestartMonitor() override { calls.push_back("RestartMonitor"); }
  void ShowToast(int kind) override { calls.push_back("ShowToast " + std::to_string(kind)); }
  void ShutdownPages() override { calls.push_back("ShutdownPages"); }

  std::vector<std::string> calls;
  bool converting = false;
  int shownView = SHARE_VIEW_VIDEOS;
};

// The main window with a RecordingSharePage in place of the share page.
class WindowWithRecordingPage : public CBriselVRClientDlg {
 public:
  WindowWithRecordingPage() : CBriselVRClientDlg(ProgramSettings()) {}
  RecordingSharePage* Recorder() const { return static_cast<RecordingSharePage*>(Page()); }

 protected:
  SharePage* CreateSharePage() override { return new RecordingSharePage(this); }
};

}  // namespace brisel::test
