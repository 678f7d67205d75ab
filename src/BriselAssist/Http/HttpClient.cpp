#include "BriselAssist/Http/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <string_view>

#include "BriselAssist/Http/CurlSupport.h"
#include "BriselDataManager/LogRecorder.h"

namespace brisel {
namespace {

constexpr std::size_t kPieceSize = 1024;

// The reply is read in fixed pieces of 1024 bytes from the start of the body, each kept up
// to its first zero byte: the version service answers with text.
struct ReplyReader {
  std::string pending;
  std::string bytes;

  void TakePiece(std::string_view piece) {
    std::size_t zero = piece.find('\0');
    bytes.append(piece.substr(0, zero));
  }
  void Add(const char* data, std::size_t size) {
    while (size > 0) {
      std::size_t n = std::min(size, kPieceSize - pending.size());
      pending.append(data, n);
      data += n;
      size -= n;
      if (pending.size() == kPieceSize) {
        TakePiece(pending);
        pending.clear();
      }
    }
  }
  void Finish() {
    if (!pending.empty()) TakePiece(pending);
    pending.clear();
  }
};

std::size_t OnReplyData(char* data, std::size_t size, std::size_t count, void* user) {
  static_cast<ReplyReader*>(user)->Add(data, size * count);
  return size * count;
}

// Called about once a second while a request runs, and whenever data moves.
int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* cancel = static_cast<const std::atomic<bool>*>(user);
  return cancel->load() ? 1 : 0;
}

}  // namespace

CHttpClient::CHttpClient() {
  EnsureCurlGlobalInit();
  m_pSession = curl_easy_init();
}

CHttpClient::~CHttpClient() {
  if (m_pSession) curl_easy_cleanup(static_cast<CURL*>(m_pSession));
}

void CHttpClient::SetRequestInfo(const std::string& url, const std::string& body,
                                 const std::string& userAgent) {
  m_strUrl = url;
  m_strBody = body;
  m_strUserAgent = userAgent;
}

void CHttpClient::SetTimeouts(long connectTimeoutMs, long requestTimeoutMs) {
  if (connectTimeoutMs > 0) m_nConnectTimeoutMs = connectTimeoutMs;
  if (requestTimeoutMs > 0) m_nRequestTimeoutMs = requestTimeoutMs;
}

void CHttpClient::SetCaFile(const std::string& pemPath) { m_strCaFile = pemPath; }

int CHttpClient::HttpPost(const std::string& url, const std::string& body, std::string* reply) {
  reply->clear();
  if (!IsHttpUrl(url)) return POST_FAILED;
  CURL* curl = static_cast<CURL*>(m_pSession);
  if (!curl) return POST_FAILED;
  curl_easy_reset(curl);  // keeps the connection cache

  // Our header list replaces curl's own Content-Type; "Accept:" and "Expect:" drop the
  // headers curl would add on its own, and no CURLOPT_USERAGENT is set, so the one
  // User-Agent on the wire is ours.
  const std::string agent =
      m_strUserAgent.empty() ? std::string("User-Agent;") : "User-Agent: " + m_strUserAgent;
  curl_slist* headers = nullptr;
  for (const char* h :
       {"Content-Type: application/x-www-form-urlencoded", agent.c_str(),
        "Accept-Encoding: gzip, deflate", "Accept-Language: zh-cn,en,*", "Accept:", "Expect:"}) {
    curl_slist* next = curl_slist_append(headers, h);
    if (!next) {
      curl_slist_free_all(headers);
      return POST_FAILED;
    }
    headers = next;
  }

  ReplyReader reader;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, kHttpProtocols);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, m_nConnectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, m_nRequestTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!m_strCaFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, m_strCaFile.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnReplyData);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reader);
  if (m_pCancel) {
    if (m_pCancel->load()) {
      curl_slist_free_all(headers);
      return POST_FAILED;
    }
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(m_pCancel));
  }

  WriteLog("SendRequest::::" + body, kHttpClientTag);
  CURLcode rc = curl_easy_perform(curl);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(headers);
  if (rc != CURLE_OK) return rc == CURLE_OPERATION_TIMEDOUT ? POST_TIMEOUT : POST_FAILED;
  reader.Finish();
  *reply = std::move(reader.bytes);
  return POST_OK;
}

}  // namespace brisel
