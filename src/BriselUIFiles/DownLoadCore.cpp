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

bool DownLoadCore::StartDownload(const std::string& url) {
  if (m_bRunning) return false;
  if (m_thread.joinable()) m_thread.join();
  m_bCancel = false;
  m_bDone = false;
  m_nPercent = -1;
  m_bRunning = true;
  m_thread = std::thread(&DownLoadCore::DownloadThread, this, url);
  return true;
}

void DownLoadCore::DownloadThread(std::string url) {
  const std::string path = InstallerPath();
  long status = 0;
  std::string reason;
  DownloadResult result = DownloadFile(url, path, &status, &reason);
  if (result == DownloadResult::Ok)
    WriteLog("下载完成", kDownLoadDlgTag);
  else
    WriteLog("download failed: " + reason, kDownLoadDlgTag);
  PostTo(m_host, Message(WM_DOWNLOAD_RESULT, static_cast<int>(result), status, path, reason));
  if (result == DownloadResult::Ok && m_bLaunch) {
    if (ShellOpen(path))
      PostTo(m_owner, Message(WM_SYSCOMMAND, SC_CLOSE));
    else
      WriteLog("the installer could not be opened: " + path, kDownLoadDlgTag);
  }
  m_bRunning = false;
}

DownloadResult DownLoadCore::DownloadFile(const std::string& url, const std::string& path,
                                          long* status, std::string* reason) {
  long ignoredStatus = 0;
  std::string ignoredReason;
  if (!status) status = &ignoredStatus;
  if (!reason) reason = &ignoredReason;
  *status = 0;
  reason->clear();
  m_bDone = false;
  if (!IsHttpUrl(url)) {
    *reason = "not an http or https URL: " + url;
    return DownloadResult::BadUrl;
  }
  const std::string folder = DirName(path);
  if (!folder.empty() && !CreateDirectories(folder)) {
    *reason = folder + ": " + std::strerror(errno);
    return DownloadResult::FileError;
  }

  EnsureCurlGlobalInit();
  CURL* curl = curl_easy_init();
  if (!curl) {
    *reason = "no HTTP session";
    return DownloadResult::NetworkError;
  }
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
    curlError[0] = '\0';
    curl_easy_reset(curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kHttpProtocols);
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, kHttpProtocols);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "BriselVRClient");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, static_cast<long>(kPieceSize));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, curlError);
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
    t.Fail(DownloadResult::NetworkError, curlError[0] ? curlError : curl_easy_strerror(rc));
    bool neverConnected = !t.headersSeen && connectTime == 0 &&
                          (rc == CURLE_COULDNT_CONNECT || rc == CURLE_OPERATION_TIMEDOUT);
    if (!neverConnected) break;
  }
  if (t.status == 0) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &t.status);
  curl_easy_cleanup(curl);
  *status = t.status;

  if (t.failure == DownloadResult::Ok) {
    // On disk before it takes the installer's name, so a crash never leaves a torn one.
    if (fsync(t.fd) != 0 || close(t.fd) != 0) {
      t.fd = -1;
      t.Fail(DownloadResult::FileError, t.temp + ": " + std::strerror(errno));
    } else {
      t.fd = -1;
      if (rename(t.temp.c_str(), path.c_str()) != 0)
        t.Fail(DownloadResult::FileError, path + ": " + std::strerror(errno));
    }
  }
  if (t.failure != DownloadResult::Ok) {
    t.Discard();
    *reason = t.reason;
    return t.failure;
  }
  m_bDone = true;
  return DownloadResult::Ok;
}

}  // namespace brisel
