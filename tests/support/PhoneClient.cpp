#include "support/PhoneClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace brisel::test {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::uint16_t Le16(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) |
                                    (static_cast<std::uint8_t>(s[at + 1]) << 8));
}

std::uint32_t Le32(const std::string& s, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(s[at + i]);
  return v;
}

}  // namespace

PhoneClient::~PhoneClient() { Close(); }

bool PhoneClient::Connect(const std::string& address, std::uint16_t port, int timeoutMs) {
  Close();
  m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_fd < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return false;
  int one = 1;
  setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (m_receiveBuffer > 0)
    setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &m_receiveBuffer, sizeof m_receiveBuffer);
  if (!m_source.empty() && !BindSource(m_fd, m_source)) {
    Close();
    return false;
  }
  if (connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    if (errno != EINPROGRESS) {
      Close();
      return false;
    }
    pollfd p{m_fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (poll(&p, 1, timeoutMs) != 1 ||
        getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
      Close();
      return false;
    }
  }
  return true;
}

void PhoneClient::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

bool PhoneClient::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd p{m_fd, POLLOUT, 0};
      if (poll(&p, 1, 3000) != 1) return false;
      continue;
    }
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string PhoneClient::Read(std::size_t n, int timeoutMs) {
  std::string out;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[65536];
  while (out.size() < n && m_fd >= 0) {
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, RemainingMs(deadline)) != 1) break;
    ssize_t got = recv(m_fd, buffer, std::min(sizeof buffer, n - out.size()), 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got <= 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return out;
}

std::string PhoneClient::ReadUntilQuiet(int quietMs, int timeoutMs) {
  std::string out;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[65536];
  while (m_fd >= 0) {
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, std::min(quietMs, RemainingMs(deadline))) != 1) break;
    ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (got <= 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return out;
}

bool PhoneClient::WaitForClose(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[4096];
  while (m_fd >= 0) {
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, RemainingMs(deadline)) != 1) return false;
    ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return true;
  }
  return false;
}

std::string PhoneClient::ListRequest(std::uint8_t listType, std::uint32_t stamp) {
  std::string request = "qmtk";
  request += '\x01';
  request += static_cast<char>(listType == 2 ? 0x01 : 0x00);  // command 0x0100 or 0x0101
  request += '\x01';
  for (int i = 0; i < 4; ++i) request += static_cast<char>((stamp >> (8 * i)) & 0xFF);
  return request;
}

PhoneListReply PhoneClient::RequestList(std::uint8_t listType, std::uint32_t stamp, int timeoutMs) {
  if (!Send(ListRequest(listType, stamp))) return {};
  return ReadListReply(timeoutMs);
}

PhoneListReply PhoneClient::ReadListReply(int timeoutMs) {
  PhoneListReply reply;
  reply.raw = Read(15, timeoutMs);
  if (reply.raw.size() < 15 || reply.raw.compare(0, 4, "qmtk") != 0 || reply.raw[4] != 1)
    return reply;
  reply.command = Le16(reply.raw, 5);
  reply.stamp = Le32(reply.raw, 7);
  if (reply.raw.compare(11, 4, "ktmq") == 0) {
    reply.ok = true;
    return reply;
  }
  reply.hasList = true;
  const std::uint32_t count = Le32(reply.raw, 11);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string head = Read(4, timeoutMs);
    if (head.size() < 4) return reply;
    reply.raw += head;
    PhoneListEntry entry;
    entry.hasVideo = static_cast<std::uint8_t>(head[0]);
    entry.hasImage = static_cast<std::uint8_t>(head[1]);
    const std::size_t n = Le16(head, 2);
    std::string rest = Read(n + 2 + 32, timeoutMs);
    reply.raw += rest;
    if (rest.size() < n + 34 || Le16(rest, n) != 32) return reply;
    entry.name = rest.substr(0, n);
    entry.key = rest.substr(n + 2, 32);
    reply.entries.push_back(std::move(entry));
  }
  std::string trailer = Read(4, timeoutMs);
  reply.raw += trailer;
  reply.ok = trailer == "ktmq";
  return reply;
}

int OpenDatagramListener(std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &one, sizeof one);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool BindSource(int fd, const std::string& address) {
  sockaddr_in from{};
  from.sin_family = AF_INET;
  return inet_pton(AF_INET, address.c_str(), &from.sin_addr) == 1 &&
         bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0;
}

int OpenStreamListener(std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int one = 1;  // earlier connections may linger in TIME_WAIT on the port
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 || listen(fd, 1) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

std::optional<std::string> NextDatagram(int fd, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  if (poll(&p, 1, timeoutMs) != 1) return std::nullopt;
  char buffer[2048];
  ssize_t n = recv(fd, buffer, sizeof buffer, 0);
  if (n < 0) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(n));
}

std::optional<std::string> ReceiveDatagram(int timeoutMs, std::string* from, std::uint16_t port) {
  int fd = OpenDatagramListener(port);
  if (fd < 0) return std::nullopt;
  pollfd p{fd, POLLIN, 0};
  std::optional<std::string> result;
  if (poll(&p, 1, timeoutMs) == 1) {
    char buffer[2048];
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    ssize_t n =
        recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
    if (n >= 0) {
      result = std::string(buffer, static_cast<std::size_t>(n));
      if (from) {
        char text[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text);
        *from = text;
      }
    }
  }
  close(fd);
  return result;
}

}  // namespace brisel::test
