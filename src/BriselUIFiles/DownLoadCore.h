#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "platform/Messages.h"

namespace brisel {

inline constexpr const char* kDownLoadDlgTag = "BriselUIFiles\\DownLoadDlg";

// How an update download ended (wParam of WM_DOWNLOAD_RESULT).
enum class DownloadResult : int {
  Ok = 0,                 // complete and its signature verified; at its path
  BadUrl = 1,             // not an http or https URL
  NetworkError = 2,       // no connection, a broken or stalled transfer, a redirect from https
  HttpStatus = 3,         // the server answered with a status other than 200 (lParam)
  Incomplete = 4,         // the body is empty, or shorter or longer than its Content-Length
  FileError = 5,          // the folder or the file could not be made or written
  Cancelled = 6,          // Cancel, or the owner went away
  SignatureRejected = 7,  // its signature is missing, malformed or wrong: the file is deleted
  KeptUnverified = 8,     // the build has no key to verify with: kept at its path, never opened
};

// The logic of the update download dialog: fetches the installer over HTTP on a worker
// thread into "<DownloadFolder>BriselVR助手.exe" (".deb" when it is a Debian package),
// verifies it and reports its progress and outcome to the host.
//
// Nothing downloaded is opened unless its Ed25519 signature, fetched from the download URL
// with ".sig" appended, verifies under the key built into the program (UpdateSignature.h).
// The body goes to a temporary file beside the installer and takes the installer's name only
// once it is complete and, where a key is built in, verified; a failed or rejected download
// leaves nothing behind. A redirect never leads from https to http.
//
// When the download is acted on (SetLaunchWhenDone), the worker opens the download folder
// for a file it may not open itself: one kept unverified (no key built in) or a verified file
// that is not a Debian package (an .exe is never handed to the desktop's opener). A verified
// Debian package waits for InstallPackage, which the dialog calls once the user agreed: it
// goes to the desktop's opener (its software installer) and the owner (the main window) is
// asked to close with WM_SYSCOMMAND / SC_CLOSE.
//
// Thread contract: StartDownload, Cancel, InstallPackage and the destructor on the owner's
// thread (the UI thread); the worker posts WM_DOWNLOAD_PROGRESS and WM_DOWNLOAD_RESULT to the
// host and InstallPackage WM_SYSCOMMAND to the owner, so both receive them on their own
// threads. Done, Running and Percent may be read from any thread.
class DownLoadCore {
 public:
  // Pieces in which the body is written and the progress reported.
  static constexpr std::size_t kPieceSize = 10240;
  static constexpr long kConnectTimeoutMs = 2000;
  // A transfer that delivers nothing for this long has failed.
  static constexpr std::chrono::milliseconds kStallTimeout{30000};
  // The whole fetch of the 64-byte signature.
  static constexpr long kSignatureTimeoutMs = 30000;

  // What DownloadFile did.
  struct Outcome {
    DownloadResult result = DownloadResult::Ok;
    long status = 0;       // the installer's HTTP status when one arrived
    std::string path;      // where the installer is, or would have been
    std::string reason;    // a diagnostic (empty on success)
    bool package = false;  // a Debian package, kept at PackagePath
  };

  DownLoadCore(MessageTargetRef host, MessageTargetRef owner);
  // Cancels a running download and waits for its thread.
  ~DownLoadCore();
  DownLoadCore(const DownLoadCore&) = delete;
  DownLoadCore& operator=(const DownLoadCore&) = delete;

  // Whether a finished download is acted on: its folder opened, or a verified package
  // offered to InstallPackage (the program: yes; the command line: no). Set before
  // StartDownload.
  void SetLaunchWhenDone(bool launch) { m_bLaunch = launch; }
  void SetStallTimeout(std::chrono::milliseconds timeout) { m_nStallMs = timeout.count(); }
  // Trust anchors other than the system's for https (a PEM file; tests). Empty: the system's.
  void SetCaFile(const std::string& pemPath);

  // Starts the download thread for `url`, verifying with the key UpdatePublicKey gives now.
  // False while a download is running.
  bool StartDownload(const std::string& url);
  // Asks a running download to stop; it ends with DownloadResult::Cancelled within about a
  // second.
  void Cancel() { m_bCancel = true; }

  // After a download that ended Ok with a Debian package, and only then: hands the package
  // to the desktop's opener and, when it started, asks the owner to close. False when there
  // is no such package or the opener could not be started.
  bool InstallPackage();
  // The path of the verified package InstallPackage would open; empty when there is none.
  std::string PackageToInstall() const;

  bool Running() const { return m_bRunning; }
  // The done flag: set when a download has completed (verified or kept unverified).
  bool Done() const { return m_bDone; }
  // The last percentage reported (-1 when unknown or not started).
  int Percent() const { return m_nPercent; }

  // "<DownloadFolder>BriselVR助手.exe".
  static std::string InstallerPath();
  // The name a Debian package takes instead of `installerPath`: its ".exe" becomes ".deb".
  static std::string PackagePath(const std::string& installerPath);
  // True when `head` starts like a Debian package (an ar archive whose first member is
  // "debian-binary").
  static bool IsDebianPackage(std::string_view head);

  // The download itself, on the calling thread: creates the folder of `path` with its
  // parents, GETs `url` (following redirects, http and https only, never from https to
  // http), requires status 200, logs "下载文件长度:%0.2f, 下载路径 %s", writes the body in
  // pieces of kPieceSize bytes and posts the progress after each piece, checks the length,
  // verifies the signature against `publicKey` (none: the file is kept unverified) and moves
  // the file into place: at `path`, or at PackagePath(path) for a Debian package.
  Outcome DownloadFile(const std::string& url, const std::string& path,
                       const std::optional<std::string>& publicKey);

 private:
  void DownloadThread(std::string url, std::optional<std::string> publicKey);

  MessageTargetRef m_host;
  MessageTargetRef m_owner;
  std::thread m_thread;
  std::atomic<bool> m_bRunning{false};
  std::atomic<bool> m_bDone{false};
  std::atomic<bool> m_bCancel{false};
  std::atomic<bool> m_bLaunch{true};
  std::atomic<long long> m_nStallMs{kStallTimeout.count()};
  std::atomic<int> m_nPercent{-1};
  mutable std::mutex m_mutex;  // guards the two texts below
  std::string m_strCaFile;
  std::string m_strPackage;  // a verified Debian package waiting for InstallPackage
};

}  // namespace brisel
