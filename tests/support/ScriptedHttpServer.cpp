#include "support/ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "support/TlsFrontEnd.h"

namespace brisel::test {
namespace {

void AddToNoProxy(const char* variable) {
  std::string value = getenv(variable) ? getenv(variable) : "";
  for (const char* host : {"127.0.0.1", "localhost"}) {
    if (value.find(host) != std::string::npos) continue;
    if (!value.empty()) value += ",";
    value += host;
  }
  setenv(variable, value.c_str(), 1);
}

}  // namespace

HttpReply HttpReply::Answer(int status, std::string body,
                            std::vector<std::pair<std::string, std::string>> headers) {
  HttpReply r;
  r.status = status;
  r.body = std::move(body);
  r.headers = std::move(headers);
  return r;
}

HttpReply HttpReply::WithoutLength(std::string body) {
  HttpReply r = Answer(200, std::move(body));
  r.contentLength = kNoLength;
  return r;
}

HttpReply HttpReply::CutShort(std::string body, long long advertised) {
  HttpReply r = Answer(200, std::move(body));
  r.contentLength = advertised;
  return r;
}

HttpReply HttpReply::StallingAfter(std::string body, std::size_t bytes) {
  HttpReply r = Answer(200, std::move(body));
  r.stallAfter = bytes;
  return r;
}

HttpReply HttpReply::Silent() {
  HttpReply r;
  r.silent = true;
  return r;
}

std::vector<std::string> HttpRequestRecord::HeaderValues(const std::string& name) const {
  std::vector<std::string> values;
  for (const auto& [key, value] : headers)
    if (strcasecmp(key.c_str(), name.c_str()) == 0) values.push_back(value);
  return values;
}

ScriptedHttpServer::ScriptedHttpServer(const std::string& certificatePem) {
  AddToNoProxy("no_proxy");
  AddToNoProxy("NO_PROXY");
  mg_init_library(0);
  const char* options[] = {
      "listening_ports", "127.0.0.1:0",       "num_threads", "16",    "request_timeout_ms",
      "10000",           "enable_keep_alive", "no",          nullptr,
  };
  mg_callbacks callbacks{};
  callbacks.begin_request = &ScriptedHttpServer::OnBeginRequest;
  callbacks.init_connection = &ScriptedHttpServer::OnInitConnection;
  m_ctx = mg_start(&callbacks, this, options);
  if (m_ctx) {
    mg_server_port ports[4];
    if (mg_get_server_ports(m_ctx, 4, ports) > 0) m_port = ports[0].port;
  }
  if (m_ctx && !certificatePem.empty()) {
    m_tls = std::make_unique<TlsFrontEnd>(certificatePem, m_port);
    if (!m_tls->Running()) Stop();
  }
}

ScriptedHttpServer::~ScriptedHttpServer() {
  Stop();
  mg_exit_library();
}

void ScriptedHttpServer::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_changed.notify_all();
  m_tls.reset();
  if (!m_ctx) return;
  // CivetWeb's accepting thread notices the stop only when its poll ends, which takes two
  // seconds in a namespace with nothing but loopback; a connection ends the poll at once.
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    mg_stop(m_ctx);
    stopped = true;
  });
  while (!stopped) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(m_port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0) {
      connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
      close(fd);
    }
  }
  stopper.join();
  m_ctx = nullptr;
}

std::string ScriptedHttpServer::BaseUrl() const {
  if (m_tls) return "https://127.0.0.1:" + std::to_string(m_tls->Port()) + "/";
  return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

std::string ScriptedHttpServer::Url(const std::string& path) const {
  return BaseUrl() + (path.rfind("/", 0) == 0 ? path.substr(1) : path);
}

void ScriptedHttpServer::Script(const std::string& path, HttpReply reply) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_replies[path] = std::move(reply);
}

std::vector<HttpRequestRecord> ScriptedHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests;
}

int ScriptedHttpServer::Connections() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_connections;
}

bool ScriptedHttpServer::WaitForRequests(std::size_t count, int timeoutMs) const {
  std::unique_lock<std::mutex> lock(m_mutex);
  return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return m_requests.size() >= count; });
}

int ScriptedHttpServer::OnInitConnection(const mg_connection* conn, void** data) {
  *data = nullptr;
  auto* self = static_cast<ScriptedHttpServer*>(mg_get_user_data(mg_get_context(conn)));
  std::lock_guard<std::mutex> lock(self->m_mutex);
  ++self->m_connections;
  return 0;
}

int ScriptedHttpServer::OnBeginRequest(mg_connection* conn) {
  auto* self = static_cast<ScriptedHttpServer*>(mg_get_user_data(mg_get_context(conn)));
  return self->Answer(conn);
}

void ScriptedHttpServer::StallUntilStopped() {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait(lock, [this] { return m_stopping; });
}

int ScriptedHttpServer::Answer(mg_connection* conn) {
  const mg_request_info* ri = mg_get_request_info(conn);
  HttpRequestRecord record;
  record.method = ri->request_method ? ri->request_method : "";
  record.uri = ri->local_uri ? ri->local_uri : "";
  record.query = ri->query_string ? ri->query_string : "";
  for (int i = 0; i < ri->num_headers; ++i)
    record.headers.emplace_back(ri->http_headers[i].name, ri->http_headers[i].value);
  char buffer[8192];
  int n;
  while ((n = mg_read(conn, buffer, sizeof buffer)) > 0) record.body.append(buffer, n);

  HttpReply reply;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_replies.find(record.uri);
    if (it != m_replies.end()) {
      reply = it->second;
    } else {
      reply.status = 404;
      reply.body = "not found";
    }
    m_requests.push_back(std::move(record));
  }
  m_changed.notify_all();

  if (reply.silent) {
    StallUntilStopped();
    return 200;
  }
  std::ostringstream head;
  head << "HTTP/1.1 " << reply.status << " " << mg_get_response_code_text(conn, reply.status)
       << "\r\n";
  for (const auto& [name, value] : reply.headers) head << name << ": " << value << "\r\n";
  if (reply.contentLength == -1)
    head << "Content-Length: " << reply.body.size() << "\r\n";
  else if (reply.contentLength >= 0)
    head << "Content-Length: " << reply.contentLength << "\r\n";
  head << "Connection: close\r\n\r\n";
  std::string text = head.str();
  mg_write(conn, text.data(), text.size());
  std::size_t send = std::min(reply.stallAfter, reply.body.size());
  if (send > 0) mg_write(conn, reply.body.data(), send);
  if (reply.stallAfter != HttpReply::kWhole) StallUntilStopped();
  return reply.status;
}

std::string MakeSelfSignedCertificate(const std::string& folder, const std::string& name,
                                      const std::string& subjectAltName) {
  const std::string key = folder + "/" + name + ".key";
  const std::string crt = folder + "/" + name + ".pem.crt";
  const std::string pem = folder + "/" + name + ".pem";
  ProcessResult r =
      RunProcess({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                  "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", crt, "-days",
                  "2", "-subj", "/CN=brisel-test", "-addext", "subjectAltName=" + subjectAltName},
                 30000);
  if (r.exitCode != 0) return "";
  auto keyText = ReadWholeFile(key);
  auto crtText = ReadWholeFile(crt);
  if (!keyText || !crtText) return "";
  if (!WriteFileAtomically(pem, *keyText + *crtText)) return "";
  return pem;
}

}  // namespace brisel::test
