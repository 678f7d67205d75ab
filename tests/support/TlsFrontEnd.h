#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace brisel::test {

// A TLS terminator for tests (OpenSSL): listens on 127.0.0.1 and an ephemeral port, completes
// the TLS handshake with the given certificate and relays the plain bytes to a local backend
// port, one connection at a time. It lets a plain ScriptedHttpServer answer https requests
// (CivetWeb's own TLS, as Debian builds it, crashes its workers).
class TlsFrontEnd {
 public:
  // `pemPath`: a PEM file with the private key and the certificate.
  TlsFrontEnd(const std::string& pemPath, int backendPort);
  ~TlsFrontEnd();
  TlsFrontEnd(const TlsFrontEnd&) = delete;
  TlsFrontEnd& operator=(const TlsFrontEnd&) = delete;

  bool Running() const { return m_listenFd >= 0; }
  int Port() const { return m_port; }
  // Handshakes that succeeded so far.
  int Handshakes() const { return m_handshakes; }

 private:
  void Loop();
  void Serve(int client);

  void* m_ctx = nullptr;  // SSL_CTX
  int m_backendPort;
  int m_listenFd = -1;
  int m_wake[2] = {-1, -1};
  int m_port = 0;
  std::atomic<int> m_handshakes{0};
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

}  // namespace brisel::test
