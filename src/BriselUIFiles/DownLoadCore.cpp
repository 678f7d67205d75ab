#include "BriselUIFiles/DownLoadCore.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "BriselAssist/Http/CurlSupport.h"
#include "BriselAssist/Http/UpdateSignature.h"
#include "BriselDataManager/LogRecorder.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "platform/ShellOpen.h"
#include "settings/ProgramValues.h"

namespace brisel {
namespace {

// One attempt at the transfer: what the callbacks have seen and done.
struct Transfer {
  CURL* curl = nullptr;
  const std::atomic<bool>* cancel = nullptr;
  MessageTargetRef host;
  std::atomic<int>* percent = nullptr;
  std::string path, temp;

  bool headersSeen = false;
  long status = 0;
  curl_off_t length = -1;  // Content-Length; -1 when the reply has none
  int fd = -1;
  std::string piece;
  std::uint64_t total = 0;
  DownloadResult failure = DownloadResult::Ok;
  std::string reason;

  // Stall watch: when the byte count last moved.
  long long stallMs = 0;
  curl_off_t lastSeen = -1;
  std::chrono::steady_clock::time_point lastMove = std::chrono::steady_clock::now();
  bool stalled = false;

  bool Fail(DownloadResult result, std::string why) {
    failure = result;
    reason = std::move(why);
    return false;
  }

  // Status, length and file, once the final response's headers are in.
  bool OnHeaders() {
    headersSeen = true;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200)
      return Fail(DownloadResult::HttpStatus, "HTTP status " + std::to_string(status));
    curl_off_t advertised = -1;
    if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &advertised) == CURLE_OK)
      length = advertised;
    char number[64];
    std::snprintf(number, sizeof number, "%0.2f",
                  static_cast<double>(std::max<curl_off_t>(length, 0)));
    WriteLog(std::string("下载文件长度:") + number + ", 下载路径 " + path, kDownLoadDlgTag);
    fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return Fail(DownloadResult::FileError, temp + ": " + std::strerror(errno));
    return true;
  }

  bool WritePiece() {
    const char* data = piece.data();
    std::size_t left = piece.size();
    while (left > 0) {
      ssize_t n = write(fd, data, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return Fail(DownloadResult::FileError, temp + ": " + std::strerror(errno));
      data += n;
      left -= static_cast<std::size_t>(n);
      total += static_cast<std::uint64_t>(n);
    }
    piece.clear();
    int shown = -1;
    if (length > 0)
      shown = static_cast<int>(
          std::min<std::uint64_t>(total * 100 / static_cast<std::uint64_t>(length), 100));
    percent->store(shown);
    PostTo(host, Message(WM_DOWNLOAD_PROGRESS, shown, static_cast<std::intptr_t>(total)));
    return true;
  }

  bool Add(const char* data, std::size_t size) {
    if (!headersSeen && !OnHeaders()) return false;
    while (size > 0) {
      std::size_t n = std::min(size, DownLoadCore::kPieceSize - piece.size());
      piece.append(data, n);
      data += n;
      size -= n;
      if (piece.size() == DownLoadCore::kPieceSize && !WritePiece()) return false;
    }
    return true;
  }

  void Discard() {
    if (fd >= 0) close(fd);
    fd = -1;
    if (headersSeen) unlink(temp.c_str());
  }
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  if (t->cancel->load()) return 0;
  return t->Add(data, size * count) ? size * count : 0;
}

// Called about once a second, and whenever data moves: cancels, and ends a transfer that has
// received nothing for the stall time (curl's own low-speed check averages over seconds).
int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t) {
  auto* t = static_cast<Transfer*>(user);
  if (t->cancel->load()) return 1;
  auto now = std::chrono::steady_clock::now();
  if (received != t->lastSeen) {
    t->lastSeen = received;
    t->lastMove = now;
  } else if (now - t->lastMove > std::chrono::milliseconds(t->stallMs)) {
    t->stalled = true;
    return 1;
  }
  return 0;
}

// What every request of a download sets: the protocols (a redirect never leaves https), the
// redirects, the client's name, the connect time-out, the trust anchors, and the callbacks
// that take the body and watch the progress, both given `user`.
void SetCommonOptions(CURL* curl, const std::string& url, const std::string& caFile,
                      char* errorBuffer, curl_write_callback onBody,
                      curl_xferinfo_callback onProgress, void* user) {
  curl_easy_reset(curl);
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kHttpProtocols);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, RedirectProtocolsFor(url));
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "BriselVRClient");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, DownLoadCore::kConnectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
  errorBuffer[0] = '\0';
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, user);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, user);
}

// The reason a request ended with `rc`: a refused redirect in words, else curl's own.
std::string CurlFailure(CURLcode rc, const char* errorBuffer) {
  if (rc == CURLE_UNSUPPORTED_PROTOCOL) return "a redirect to another protocol was refused";
  return errorBuffer[0] ? errorBuffer : curl_easy_strerror(rc);
}

// The signature: one small body, 64 bytes and not one more.
struct SignatureFetch {
  const std::atomic<bool>* cancel = nullptr;
  std::string bytes;
  bool tooLong = false;
};

std::size_t OnSignatureBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* f = static_cast<SignatureFetch*>(user);
  if (f->cancel->load()) return 0;
  const std::size_t n = size * count;
  if (f->bytes.size() + n > kUpdateSignatureSize) {
    f->tooLong = true;
    return 0;
  }
  f->bytes.append(data, n);
  return n;
}

int OnSignatureProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<SignatureFetch*>(user)->cancel->load() ? 1 : 0;
}

// GETs the signature at `url`. Nothing when it could not be had; `reason` says why.
std::optional<std::string> FetchSignature(CURL* curl, const std::string& url,
                                          const std::string& caFile,
                                          const std::atomic<bool>* cancel, std::string* reason) {
  if (url.empty()) {
    *reason = "no signature URL";
    return std::nullopt;
  }
  char curlError[CURL_ERROR_SIZE];
  SignatureFetch f;
  f.cancel = cancel;
  SetCommonOptions(curl, url, caFile, curlError, OnSignatureBody, OnSignatureProgress, &f);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, DownLoadCore::kSignatureTimeoutMs);
  CURLcode rc = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  if (f.tooLong) {
    *reason = "the signature " + url + " is longer than 64 bytes";
  } else if (rc != CURLE_OK) {
    *reason = "the signature " + url + " could not be fetched: " + CurlFailure(rc, curlError);
  } else if (status != 200) {
    *reason = "the signature " + url + " answered HTTP status " + std::to_string(status);
  } else {
    return f.bytes;
  }
  return std::nullopt;
}

}  // namespace

DownLoadCore::DownLoadCore(MessageTargetRef host, MessageTargetRef owner)
    : m_host(std::move(host)), m_owner(std::move(owner)) {}

DownLoadCore::~DownLoadCore() {
  Cancel();
  if (m_thread.joinable()) m_thread.join();
}

std::string DownLoadCore::InstallerPath() {
  std::string folder = DownloadFolder();
  if (folder.empty()) folder = GetDataFolder() + "/appData/download/";
  return folder + "BriselVR助手.exe";
}

std::string DownLoadCore::PackagePath(const std::string& installerPath) {
  const std::string exe = ".exe";
  if (installerPath.size() >= exe.size() &&
      installerPath.compare(installerPath.size() - exe.size(), exe.size(), exe) == 0)
    return installerPath.substr(0, installerPath.size() - exe.size()) + ".deb";
  return installerPath + ".deb";
}

bool DownLoadCore::IsDebianPackage(std::string_view head) {
  // dpkg-deb writes the member name padded with spaces; GNU ar ends it with "/".
  constexpr std::string_view kStart = "!<arch>\ndebian-binary";
  return head.substr(0, kStart.size()) == kStart;
}

void DownLoadCore::SetCaFile(const std::string& pemPath) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_strCaFile = pemPath;
}

bool DownLoadCore::StartDownload(const std::string& url) {
  if (m_bRunning) return false;
  if (m_thread.joinable()) m_thread.join();
  m_bCancel = false;
  m_bDone = false;
  m_nPercent = -1;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strPackage.clear();
  }
  m_bRunning = true;
  m_thread = std::thread(&DownLoadCore::DownloadThread, this, url, UpdatePublicKey());
  return true;
}

void DownLoadCore::DownloadThread(std::string url, std::optional<std::string> publicKey) {
  Outcome outcome = DownloadFile(url, InstallerPath(), publicKey);
  switch (outcome.result) {
    case DownloadResult::Ok:
      WriteLog("下载完成", kDownLoadDlgTag);
      break;
    case DownloadResult::KeptUnverified:
      WriteLog("下载完成", kDownLoadDlgTag);
      WriteLog("not verified: " + outcome.reason, kDownLoadDlgTag);
      break;
    case DownloadResult::SignatureRejected:
      WriteLog("update not verified, deleted: " + outcome.reason, kDownLoadDlgTag);
      break;
    default:
      WriteLog("download failed: " + outcome.reason, kDownLoadDlgTag);
      break;
  }
  const bool kept =
      outcome.result == DownloadResult::Ok || outcome.result == DownloadResult::KeptUnverified;
  if (kept && m_bLaunch) {
    if (outcome.result == DownloadResult::Ok && outcome.package) {
      // The user decides in the dialog; InstallPackage opens it.
      std::lock_guard<std::mutex> lock(m_mutex);
      m_strPackage = outcome.path;
    } else if (!ShellOpen(DirName(outcome.path))) {
      WriteLog("the download folder could not be opened: " + DirName(outcome.path),
               kDownLoadDlgTag);
    }
  }
  PostTo(m_host, Message(WM_DOWNLOAD_RESULT, static_cast<int>(outcome.result), outcome.status,
                         outcome.path, outcome.reason));
  m_bRunning = false;
}

std::string DownLoadCore::PackageToInstall() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_strPackage;
}

bool DownLoadCore::InstallPackage() {
  // StartDownload forgets the package, so a download under way has none.
  const std::string package = PackageToInstall();
  if (package.empty()) return false;
  if (!ShellOpen(package)) {
    WriteLog("the installer could not be opened: " + package, kDownLoadDlgTag);
    return false;
  }
  PostTo(m_owner, Message(WM_SYSCOMMAND, SC_CLOSE));
  return true;
}

DownLoadCore::Outcome DownLoadCore::DownloadFile(const std::string& url, const std::string& path,
                                                 const std::optional<std::string>& publicKey) {
  Outcome outcome;
  outcome.path = path;
  m_bDone = false;
  auto fail = [&outcome](DownloadResult result, std::string reason) {
    outcome.result = result;
    outcome.reason = std::move(reason);
    return outcome;
  };
  if (!IsHttpUrl(url)) return fail(DownloadResult::BadUrl, "not an http or https URL: " + url);
  const std::string folder = DirName(path);
  if (!folder.empty() && !CreateDirectories(folder))
    return fail(DownloadResult::FileError, folder + ": " + std::strerror(errno));
  std::string caFile;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    caFile = m_strCaFile;
  }

  EnsureCurlGlobalInit();
  CURL* curl = curl_easy_init();
  if (!curl) return fail(DownloadResult::NetworkError, "no HTTP session");
  char curlError[CURL_ERROR_SIZE];
  Transfer t;
  // One retry when the connection could not be made at all.
  for (int attempt = 0; attempt < 2; ++attempt) {
    t = Transfer{};
    t.curl = curl;
    t.cancel = &m_bCancel;
    t.host = m_host;
    t.percent = &m_nPercent;
    t.path = path;
    t.temp = path + ".part";
    t.stallMs = m_nStallMs.load();
    SetCommonOptions(curl, url, caFile, curlError, OnBody, OnProgress, &t);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kPieceSize));
    CURLcode rc = curl_easy_perform(curl);

    if (rc == CURLE_OK) {
      if (!t.headersSeen) t.OnHeaders();  // a reply without body
      if (t.failure == DownloadResult::Ok && !t.piece.empty()) t.WritePiece();
      if (t.failure == DownloadResult::Ok) {
        if (t.total == 0)
          t.Fail(DownloadResult::Incomplete, "the reply has no body");
        else if (t.length >= 0 && t.total != static_cast<std::uint64_t>(t.length))
          t.Fail(DownloadResult::Incomplete, "received " + std::to_string(t.total) + " of " +
                                                 std::to_string(t.length) + " bytes");
      }
      break;
    }
    if (t.failure != DownloadResult::Ok) break;
    if (m_bCancel) {
      t.Fail(DownloadResult::Cancelled, "cancelled");
      break;
    }
    if (t.stalled) {
      t.Fail(DownloadResult::NetworkError,
             "nothing received for " + std::to_string(t.stallMs) + " ms");
      break;
    }
    if (rc == CURLE_PARTIAL_FILE) {
      t.Fail(DownloadResult::Incomplete, "the body ended before its Content-Length");
      break;
    }
    curl_off_t connectTime = 0;
    curl_easy_getinfo(curl, CURLINFO_CONNECT_TIME_T, &connectTime);
    t.Fail(DownloadResult::NetworkError, CurlFailure(rc, curlError));
    bool neverConnected = !t.headersSeen && connectTime == 0 &&
                          (rc == CURLE_COULDNT_CONNECT || rc == CURLE_OPERATION_TIMEDOUT);
    if (!neverConnected) break;
  }
  if (t.status == 0) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &t.status);
  outcome.status = t.status;

  if (t.failure == DownloadResult::Ok) {
    // On disk before it can take the installer's name, so a crash never leaves a torn one.
    const bool synced = fsync(t.fd) == 0;
    const int syncError = errno;
    const bool closed = close(t.fd) == 0;
    t.fd = -1;
    if (!synced || !closed)
      t.Fail(DownloadResult::FileError, t.temp + ": " + std::strerror(synced ? errno : syncError));
  }
  if (t.failure == DownloadResult::Ok) {
    char head[64] = {};
    int fd = open(t.temp.c_str(), O_RDONLY | O_CLOEXEC);
    ssize_t n = fd >= 0 ? read(fd, head, sizeof head) : -1;
    if (fd >= 0) close(fd);
    outcome.package = n > 0 && IsDebianPackage(std::string_view(head, static_cast<std::size_t>(n)));
    if (outcome.package) outcome.path = PackagePath(path);
  }
  if (t.failure == DownloadResult::Ok && publicKey) {
    // The bytes on disk are what is checked: the signature covers the very file that will be
    // kept, and an unverified one never takes the installer's name.
    std::string why;
    std::optional<std::string> signature =
        FetchSignature(curl, SignatureUrl(url), caFile, &m_bCancel, &why);
    if (m_bCancel)
      t.Fail(DownloadResult::Cancelled, "cancelled");
    else if (!signature || !VerifyUpdateFileSignature(t.temp, *publicKey, *signature, &why))
      t.Fail(DownloadResult::SignatureRejected, why);
  }
  curl_easy_cleanup(curl);
  if (t.failure == DownloadResult::Ok && rename(t.temp.c_str(), outcome.path.c_str()) != 0)
    t.Fail(DownloadResult::FileError, outcome.path + ": " + std::strerror(errno));
  if (t.failure != DownloadResult::Ok) {
    t.Discard();
    outcome.package = false;
    return fail(t.failure, t.reason);
  }
  m_bDone = true;
  if (!publicKey) {
    outcome.result = DownloadResult::KeptUnverified;
    outcome.reason = "this build has no update key";
  }
  return outcome;
}

}  // namespace brisel
