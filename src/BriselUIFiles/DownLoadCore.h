#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Messages.h"

namespace brisel {

inline constexpr const char* kDownLoadDlgTag = "BriselUIFiles\\DownLoadDlg";

// How an update download ended (wParam of WM_DOWNLOAD_RESULT).
enum class DownloadResult : int {
  Ok = 0,            // the installer is complete at its path
  BadUrl = 1,        // not an http or https URL
  NetworkError = 2,  // no connection, a broken or stalled transfer
  HttpStatus = 3,    // the server answered with a status other than 200 (lParam)
  Incomplete = 4,    // the body is empty, or shorter or longer than its Content-Length
  FileError = 5,     // the folder or the file could not be made or written
  Cancelled = 6,     // Cancel, or the owner went away
};

// The logic of the update download dialog: fetches the installer over HTTP on a worker
// thread into "<DownloadFolder>BriselVR助手.exe", reports its progress and outcome to the
// host, then opens the installer with the desktop's "open" and asks the owner (the main
// window) to close with WM_SYSCOMMAND / SC_CLOSE.
//
// The body goes to a temporary file beside the installer that is renamed only once it is
// complete, so an interrupted or short download never leaves an installer to launch; a failed
// download leaves nothing behind and launches nothing.
//
// Thread contract: StartDownload, Cancel and the destructor on the owner's thread (the UI
// thread); the worker posts WM_DOWNLOAD_PROGRESS and WM_DOWNLOAD_RESULT to the host and
// WM_SYSCOMMAND to the owner, so both receive them on their own threads. Done, Running and
// Percent may be read from any thread.
class DownLoadCore {
 public:
  // Pieces in which the body is written and the progress reported.
  static constexpr std::size_t kPieceSize = 10240;
  static constexpr long kConnectTimeoutMs = 2000;
  // A transfer that delivers nothing for this long has failed.
  static constexpr std::chrono::milliseconds kStallTimeout{30000};

  DownLoadCore(MessageTargetRef host, MessageTargetRef owner);
  // Cancels a running download and waits for its thread.
  ~DownLoadCore();
  DownLoadCore(const DownLoadCore&) = delete;
  DownLoadCore& operator=(const DownLoadCore&) = delete;

  // Whether a complete download opens the installer and asks the owner to close (the
  // program: yes; the command line: no). Set before StartDownload.
  void SetLaunchWhenDone(bool launch) { m_bLaunch = launch; }
  void SetStallTimeout(std::chrono::milliseconds timeout) { m_nStallMs = timeout.count(); }

  // Starts the download thread for `url`. False while a download is running.
  bool StartDownload(const std::string& url);
  // Asks a running download to stop; it ends with DownloadResult::Cancelled within about a
  // second.
  void Cancel() { m_bCancel = true; }

  bool Running() const { return m_bRunning; }
  // The done flag: set when a download has completed.
  bool Done() const { return m_bDone; }
  // The last percentage reported (-1 when unknown or not started).
  int Percent() const { return m_nPercent; }

  // "<DownloadFolder>BriselVR助手.exe".
  static std::string InstallerPath();

  // The download itself, on the calling thread: creates the folder of `path` with its
  // parents, GETs `url` (following redirects, http and https only), requires status 200, logs
  // "下载文件长度:%0.2f, 下载路径 %s", writes the body in pieces of kPieceSize bytes and
  // posts the progress after each piece, then checks the length and moves the file into
  // place. `status` receives the HTTP status when one arrived, `reason` a diagnostic.
  DownloadResult DownloadFile(const std::string& url, const std::string& path,
                              long* status = nullptr, std::string* reason = nullptr);

 private:
  void DownloadThread(std::string url);

  MessageTargetRef m_host;
  MessageTargetRef m_owner;
  std::thread m_thread;
  std::atomic<bool> m_bRunning{false};
  std::atomic<bool> m_bDone{false};
  std::atomic<bool> m_bCancel{false};
  std::atomic<bool> m_bLaunch{true};
  std::atomic<long long> m_nStallMs{kStallTimeout.count()};
  std::atomic<int> m_nPercent{-1};
};

}  // namespace brisel
