#pragma once

#include <memory>
#include <string>

#include "BriselUIFiles/VideoWndListHost.h"
#include "BriselUIFiles/VideoWndListPage.h"

namespace brisel::test {

// A video library's panel and page that answer every call and show nothing: for tests that
// need a library but look only at what it does to the catalogue and its threads.
struct SilentLibraryHost : VideoWndListHost, VideoWndListPage {
  int RequestConversion(const ConvertRequest&) override { return 1; }
  void ReportSelection(SelectionState) override {}
  int CancelTask(const std::string&, const std::string&) override { return 0; }
  void ConvertedDeleted(const std::string&) override {}
  void ShowToast(int) override {}
  bool FindTask(const std::string&, const std::string&) override { return false; }
  void ShowConvertedBalloon(const std::string&) override {}
  void RefreshSelection() override {}
  int AskDuplicateName(const std::string&) override { return 0; }
  void OnTileCreated(const std::shared_ptr<VideoWndCore>&) override {}
  void RepaintTile(const VIDEOINFO_ST&) override {}
  void RepaintPanel() override {}
  void RedoLayout() override {}
};

}  // namespace brisel::test
