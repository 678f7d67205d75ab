#include "support/TlsFrontEnd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace brisel::test {
namespace {

void SetTimeouts(int fd, int seconds) {
  timeval tv{seconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

}  // namespace

TlsFrontEnd::TlsFrontEnd(const std::string& pemPath, int backendPort) : m_backendPort(backendPort) {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  if (!ctx) return;
  m_ctx = ctx;
  if (SSL_CTX_use_certificate_chain_file(ctx, pemPath.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx, pemPath.c_str(), SSL_FILETYPE_PEM) != 1)
    return;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(fd, 16) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0 ||
      pipe2(m_wake, O_CLOEXEC) != 0) {
    if (fd >= 0) close(fd);
    return;
  }
  m_port = ntohs(addr.sin_port);
  m_listenFd = fd;
  m_thread = std::thread(&TlsFrontEnd::Loop, this);
}

TlsFrontEnd::~TlsFrontEnd() {
  m_stop = true;
  if (m_wake[1] >= 0) (void)!write(m_wake[1], "x", 1);
  if (m_thread.joinable()) m_thread.join();
  for (int fd : {m_listenFd, m_wake[0], m_wake[1]})
    if (fd >= 0) close(fd);
  if (m_ctx) SSL_CTX_free(static_cast<SSL_CTX*>(m_ctx));
}

void TlsFrontEnd::Loop() {
  while (!m_stop) {
    pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    if (poll(fds, 2, -1) <= 0) continue;
    if (fds[1].revents) break;
    int client = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    Serve(client);
    close(client);
  }
}

void TlsFrontEnd::Serve(int client) {
  SetTimeouts(client, 5);
  SSL* ssl = SSL_new(static_cast<SSL_CTX*>(m_ctx));
  SSL_set_fd(ssl, client);
  if (SSL_accept(ssl) != 1) {
    ERR_clear_error();
    SSL_free(ssl);
    return;
  }
  ++m_handshakes;
  int backend = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(m_backendPort));
  if (backend >= 0 && connect(backend, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    SetTimeouts(backend, 5);
    char buffer[16384];
    bool clientOpen = true;
    while (!m_stop) {
      pollfd fds[3] = {{client, static_cast<short>(clientOpen ? POLLIN : 0), 0},
                       {backend, POLLIN, 0},
                       {m_wake[0], POLLIN, 0}};
      if (SSL_pending(ssl) == 0 && poll(fds, 3, 200) <= 0) continue;
      if (fds[2].revents) break;
      if (clientOpen && (SSL_pending(ssl) > 0 || fds[0].revents)) {
        int n = SSL_read(ssl, buffer, sizeof buffer);
        if (n > 0) {
          (void)!write(backend, buffer, static_cast<std::size_t>(n));
        } else {
          clientOpen = false;
          shutdown(backend, SHUT_WR);
        }
      }
      if (fds[1].revents) {
        ssize_t n = read(backend, buffer, sizeof buffer);
        if (n <= 0) break;  // the backend answered and closed
        if (SSL_write(ssl, buffer, static_cast<int>(n)) <= 0) break;
      }
    }
    SSL_shutdown(ssl);
  }
  if (backend >= 0) close(backend);
  ERR_clear_error();
  SSL_free(ssl);
}

}  // namespace brisel::test
