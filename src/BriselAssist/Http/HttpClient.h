#pragma once

#include <atomic>
#include <string>

namespace brisel {

inline constexpr const char* kHttpClientTag = "BriselAssist\\Http\\HttpClient";

// Sends one form-encoded HTTP POST at a time to the update service and returns the reply
// body as text (libcurl). https verifies the server's certificate chain and host name.
//
// Thread contract: one request at a time, on the caller's thread, which blocks until the
// reply has been read or a time-out expired. No callbacks. A client may be used from one
// thread after another, never from two at once.
class CHttpClient {
 public:
  // Results of HttpPost.
  static constexpr int POST_OK = 0;       // sent, and the whole reply read
  static constexpr int POST_FAILED = 1;   // not http or https, or a network step failed
  static constexpr int POST_TIMEOUT = 2;  // connecting or the whole request took too long

  // Time-outs of a request: connecting, and the whole request from start to last byte.
  static constexpr long kConnectTimeoutMs = 10000;
  static constexpr long kRequestTimeoutMs = 30000;

  CHttpClient();
  virtual ~CHttpClient();
  CHttpClient(const CHttpClient&) = delete;
  CHttpClient& operator=(const CHttpClient&) = delete;

  // Stores the texts; the user-agent text is the value of the request's User-Agent header.
  void SetRequestInfo(const std::string& url, const std::string& body,
                      const std::string& userAgent);

  // POSTs `body` (UTF-8, sent whole) to `url` with the headers Content-Type
  // (application/x-www-form-urlencoded), User-Agent (the text of SetRequestInfo, the only
  // User-Agent sent), Accept-Encoding (gzip, deflate) and Accept-Language (zh-cn,en,*), and
  // logs "SendRequest::::<body>". The reply is the body as received, any HTTP status: read
  // in pieces of up to 1024 bytes, each piece kept up to its first zero byte, not decoded
  // even when the server compressed it. `reply` is emptied first, so it stays empty after a
  // failure. A URL that is not http or https fails before any network access.
  int HttpPost(const std::string& url, const std::string& body, std::string* reply);

  // Replaces the time-outs above (milliseconds, > 0).
  void SetTimeouts(long connectTimeoutMs, long requestTimeoutMs);
  // Trust anchors other than the system's (a PEM file); empty restores the system's.
  void SetCaFile(const std::string& pemPath);
  // While `*cancel` is true (another thread may set it), a request ends within about a
  // second with POST_FAILED. Null (the default): requests end only by their time-outs. The
  // flag must outlive the client's requests.
  void SetCancelFlag(const std::atomic<bool>* cancel) { m_pCancel = cancel; }

  const std::string& Url() const { return m_strUrl; }
  const std::string& Body() const { return m_strBody; }
  const std::string& UserAgent() const { return m_strUserAgent; }

 private:
  void* m_pSession = nullptr;  // the CURL easy handle, kept for its connection cache
  std::string m_strUrl, m_strBody, m_strUserAgent;
  long m_nConnectTimeoutMs = kConnectTimeoutMs;
  long m_nRequestTimeoutMs = kRequestTimeoutMs;
  std::string m_strCaFile;
  const std::atomic<bool>* m_pCancel = nullptr;
};

}  // namespace brisel
