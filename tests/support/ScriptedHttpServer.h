#pragma once

#include <condition_variable>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

struct mg_context;
struct mg_connection;

namespace brisel::test {

class TlsFrontEnd;

// One scripted answer of the ScriptedHttpServer.
struct HttpReply {
  static constexpr std::size_t kWhole = static_cast<std::size_t>(-1);

  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;  // sent in this order
  std::string body;
  // Content-Length: the body's size (-1), another number (a longer one cuts the body short),
  // or none at all (-2): the body then ends when the connection closes.
  long long contentLength = -1;
  static constexpr long long kNoLength = -2;
  // A silent server: it reads the request and answers nothing until Stop().
  bool silent = false;
  // Sends this many bytes of the body, then stalls until Stop().
  std::size_t stallAfter = kWhole;

  // A reply with this status and body (and headers).
  static HttpReply Answer(int status, std::string body,
                          std::vector<std::pair<std::string, std::string>> headers = {});
  // 200 with this body and no Content-Length.
  static HttpReply WithoutLength(std::string body);
  // 200 advertising `advertised` bytes but sending the body only.
  static HttpReply CutShort(std::string body, long long advertised);
  // 200 with this body, of which only `bytes` are sent before the server stalls.
  static HttpReply StallingAfter(std::string body, std::size_t bytes);
  // No answer at all.
  static HttpReply Silent();
};

// A request as the server received it.
struct HttpRequestRecord {
  std::string method;
  std::string uri;                                           // path, without the query
  std::string query;                                         // after "?", empty when none
  std::vector<std::pair<std::string, std::string>> headers;  // in order, duplicates kept
  std::string body;

  // Every value of the header `name` (any case).
  std::vector<std::string> HeaderValues(const std::string& name) const;
};

// A local HTTP server for tests on 127.0.0.1 and an ephemeral port (CivetWeb). It answers
// each scripted path with its scripted reply and everything else with 404, records every
// request, and can stall or cut replies short to play a faulty update service. With a
// certificate it speaks https instead (through a TlsFrontEnd).
//
// Requests to it never go through a proxy: it adds 127.0.0.1 and localhost to no_proxy.
// Thread contract: Script, Requests and the rest from any thread; replies run on CivetWeb's
// worker threads.
class ScriptedHttpServer {
 public:
  // `certificatePem`: a PEM file holding the certificate and its key (https); empty: http.
  explicit ScriptedHttpServer(const std::string& certificatePem = "");
  // Stops the server, waking any stalled reply.
  ~ScriptedHttpServer();
  ScriptedHttpServer(const ScriptedHttpServer&) = delete;
  ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

  bool Running() const { return m_ctx != nullptr; }
  int Port() const { return m_port; }  // the plain HTTP port
  // "http://127.0.0.1:PORT/" (https:// with a certificate).
  std::string BaseUrl() const;
  // BaseUrl() + path without its leading "/".
  std::string Url(const std::string& path) const;

  // Answers `path` (e.g. "/lanclient/last-version") with `reply` from now on.
  void Script(const std::string& path, HttpReply reply);

  std::vector<HttpRequestRecord> Requests() const;
  // TCP connections accepted so far.
  int Connections() const;
  // Waits until `count` requests have arrived.
  bool WaitForRequests(std::size_t count, int timeoutMs = 10000) const;

  void Stop();

 private:
  static int OnBeginRequest(mg_connection* conn);
  static int OnInitConnection(const mg_connection* conn, void** data);
  int Answer(mg_connection* conn);
  void StallUntilStopped();

  mg_context* m_ctx = nullptr;
  int m_port = 0;
  std::unique_ptr<TlsFrontEnd> m_tls;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  bool m_stopping = false;
  int m_connections = 0;
  std::map<std::string, HttpReply> m_replies;
  std::vector<HttpRequestRecord> m_requests;
};

// Makes a self-signed certificate and its key in `folder` with openssl for the given
// subjectAltName (e.g. "IP:127.0.0.1" or "DNS:other.example"). Returns the path of a PEM
// file holding both (for the server); the certificate alone, which a client can trust as
// its own CA, is `<that path>.crt`. Empty on failure.
std::string MakeSelfSignedCertificate(const std::string& folder, const std::string& name,
                                      const std::string& subjectAltName);

}  // namespace brisel::test
