#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisel::test {

// One HTTP response as it arrived.
struct HttpReply {
  int status = 0;  // 0: no response
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string raw;

  // The first header of that name (any case), or "" when it is missing.
  std::string Header(const std::string& name) const;
  bool HasHeader(const std::string& name) const;
};

// Raw HTTP over real sockets, byte for byte, for tests of the media server.
class HttpConnection {
 public:
  HttpConnection() = default;
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // The local address to connect from (set before connecting), e.g. "127.0.0.2".
  void SetSourceAddress(const std::string& address) { m_source = address; }
  bool Connect(const std::string& address, std::uint16_t port, int timeoutMs = 3000);
  void Close();
  int Fd() const { return m_fd; }
  bool Send(const std::string& bytes);
  // Reads one response: the header, then Content-Length bytes of body (none for HEAD, 1xx,
  // 204 and 304), or everything until the server closes when there is no length.
  HttpReply ReadResponse(bool headRequest = false, int timeoutMs = 5000);

 private:
  bool Fill(int timeoutMs);
  int m_fd = -1;
  std::string m_pending;
  std::string m_source;
};

// Sends "METHOD target HTTP/1.1" with Host, the extra header lines and "Connection: close"
// on a fresh connection and reads the response.
HttpReply HttpRequest(const std::string& method, const std::string& target,
                      const std::vector<std::string>& headerLines = {},
                      const std::string& address = "127.0.0.1", std::uint16_t port = 11717,
                      const std::string& body = {});

}  // namespace brisel::test
