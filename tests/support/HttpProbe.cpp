#include "support/HttpProbe.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

#include "support/PhoneClient.h"

namespace brisel::test {

std::string HttpReply::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return {};
}

bool HttpReply::HasHeader(const std::string& name) const {
  for (const auto& header : headers) {
    if (strcasecmp(header.first.c_str(), name.c_str()) == 0) return true;
  }
  return false;
}

HttpConnection::~HttpConnection() { Close(); }

bool HttpConnection::Connect(const std::string& address, std::uint16_t port, int timeoutMs) {
  Close();
  m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (m_fd < 0 || inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return false;
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  setsockopt(m_fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  if ((!m_source.empty() && !BindSource(m_fd, m_source)) ||
      connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    Close();
    return false;
  }
  return true;
}

void HttpConnection::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
  m_pending.clear();
}

bool HttpConnection::Send(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool HttpConnection::Fill(int timeoutMs) {
  pollfd p{m_fd, POLLIN, 0};
  if (m_fd < 0 || poll(&p, 1, timeoutMs) != 1) return false;
  char buffer[65536];
  ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
  if (n <= 0) return false;
  m_pending.append(buffer, static_cast<std::size_t>(n));
  return true;
}

HttpReply HttpConnection::ReadResponse(bool headRequest, int timeoutMs) {
  HttpReply reply;
  std::size_t end;
  while ((end = m_pending.find("\r\n\r\n")) == std::string::npos) {
    if (!Fill(timeoutMs)) return reply;
  }
  const std::string head = m_pending.substr(0, end + 4);
  m_pending.erase(0, end + 4);
  reply.raw = head;
  std::size_t lineEnd = head.find("\r\n");
  const std::string statusLine = head.substr(0, lineEnd);
  std::size_t space = statusLine.find(' ');
  if (space == std::string::npos) return reply;
  reply.status = std::atoi(statusLine.c_str() + space + 1);
  std::size_t pos = lineEnd + 2;
  while (pos < head.size()) {
    std::size_t next = head.find("\r\n", pos);
    if (next == std::string::npos || next == pos) break;
    std::string line = head.substr(pos, next - pos);
    std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::string value = line.substr(colon + 1);
      while (!value.empty() && value.front() == ' ') value.erase(0, 1);
      reply.headers.emplace_back(line.substr(0, colon), value);
    }
    pos = next + 2;
  }
  const bool noBody =
      headRequest || reply.status / 100 == 1 || reply.status == 204 || reply.status == 304;
  if (noBody) return reply;
  if (reply.HasHeader("Content-Length")) {
    const std::size_t length = std::strtoull(reply.Header("Content-Length").c_str(), nullptr, 10);
    while (m_pending.size() < length && Fill(timeoutMs)) {
    }
    reply.body = m_pending.substr(0, length);
    m_pending.erase(0, reply.body.size());
  } else {
    while (Fill(timeoutMs)) {
    }
    reply.body = std::move(m_pending);
    m_pending.clear();
  }
  reply.raw += reply.body;
  return reply;
}

HttpReply HttpRequest(const std::string& method, const std::string& target,
                      const std::vector<std::string>& headerLines, const std::string& address,
                      std::uint16_t port, const std::string& body) {
  HttpConnection connection;
  if (!connection.Connect(address, port)) return {};
  std::string request = method + " " + target + " HTTP/1.1\r\nHost: " + address + "\r\n";
  for (const std::string& line : headerLines) request += line + "\r\n";
  if (!body.empty()) request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  request += "Connection: close\r\n\r\n" + body;
  if (!connection.Send(request)) return {};
  return connection.ReadResponse(method == "HEAD");
}

}  // namespace brisel::test
