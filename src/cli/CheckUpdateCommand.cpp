#include <unistd.h>

#include <cstdio>

#include "BriselAssist/Http/HttpHelper.h"
#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/DownLoadCore.h"
#include "cli/CliApp.h"
#include "cli/Commands.h"
#include "platform/MessageQueue.h"
#include "platform/NetworkAdapters.h"
#include "platform/ProgramFolder.h"
#include "platform/SignalWatcher.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"

namespace brisel::cli {
namespace {

class TerminalHost : public HttpHelper::Host {
 public:
  void ShowMessageBox(const std::string& text) override {
    std::fprintf(stderr, "briselvr: %s\n", text.c_str());
  }
};

// Downloads and verifies the installer with progress on stderr; prints its path, or that it
// could not be verified. Nothing downloaded is opened here. Ctrl+C cancels.
int Download(const std::string& url) {
  SignalWatcher::Install();
  auto queue = std::make_shared<MessageQueue>();
  DownLoadCore download(queue, {});
  download.SetLaunchWhenDone(false);
  download.StartDownload(url);
  const bool terminal = isatty(STDERR_FILENO) == 1;
  int lastShown = -2;
  for (;;) {
    if (SignalWatcher::TakeSignal() != 0) download.Cancel();
    std::optional<Message> m = queue->Wait(std::chrono::milliseconds(200));
    if (!m) continue;
    if (m->id == WM_DOWNLOAD_PROGRESS) {
      int percent = static_cast<int>(m->wParam);
      if (percent >= 0 && percent == lastShown) continue;
      lastShown = percent;
      if (percent >= 0)
        std::fprintf(stderr, terminal ? "\rdownloading %3d%%" : "downloading %d%%\n", percent);
      else
        std::fprintf(stderr, terminal ? "\rdownloading %lld bytes" : "downloading %lld bytes\n",
                     static_cast<long long>(m->lParam));
    } else if (m->id == WM_DOWNLOAD_RESULT) {
      if (terminal && lastShown != -2) std::fputc('\n', stderr);
      switch (static_cast<DownloadResult>(m->wParam)) {
        case DownloadResult::Ok:
          std::printf("%s\n", m->text.c_str());
          return kExitOk;
        case DownloadResult::KeptUnverified:
          // Kept as it came: the user may install it, knowing nobody vouched for it.
          std::printf("%s\nnot verified: %s\n", m->text.c_str(), m->text2.c_str());
          return kExitOk;
        case DownloadResult::SignatureRejected:
          std::printf("update not verified\n");
          std::fflush(stdout);
          std::fprintf(stderr, "briselvr: %s; the download was deleted\n", m->text2.c_str());
          return kExitFailure;
        default:
          std::printf("download failed: %s\n", m->text2.c_str());
          return kExitFailure;
      }
    }
  }
}

}  // namespace

int RunCheckUpdateCommand(const std::vector<std::string>& args) {
  bool download = false;
  for (const std::string& a : args) {
    if (a == "--download")
      download = true;
    else
      return UsageError("check-update: unknown argument " + a);
  }
  LoadSettings(false);
  // The program's identity: the first adapter's hardware address, as at start-up.
  std::vector<std::string> ips, macs;
  EnumerateAdapters(&ips, &macs);
  SetLocalMac(macs.empty() ? std::string() : macs.front());
  SetDownloadFolder(GetDataFolder() + "/appData/download/");
  StartLogThread();

  TerminalHost host;
  HttpHelper helper(&host);
  helper.InitVersionCheck();
  std::string url;
  HttpHelper::CheckResult result = helper.RunVersionCheck(&url);
  int exitCode = kExitOk;
  switch (result) {
    case HttpHelper::CheckResult::UpToDate:
      std::printf("up to date\n");
      break;
    case HttpHelper::CheckResult::Failed:
      std::printf("check failed\n");
      exitCode = kExitFailure;
      break;
    case HttpHelper::CheckResult::UpdateAvailable:
      std::printf("update: %s\n", url.c_str());
      std::fflush(stdout);
      if (download) exitCode = Download(url);
      break;
  }
  std::fflush(stdout);
  StopLogThread();
  return exitCode;
}

}  // namespace brisel::cli
