#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brisel::test {

// One list entry as a phone reads it.
struct PhoneListEntry {
  std::uint8_t hasVideo = 0;
  std::uint8_t hasImage = 0;
  std::string name;
  std::string key;
};

// A list reply as a phone reads it.
struct PhoneListReply {
  bool ok = false;  // well-formed: magic, 1, header, optional list, trailer
  std::uint16_t command = 0;
  std::uint32_t stamp = 0;
  bool hasList = false;  // the reply carried the list (the stamp differed)
  std::vector<PhoneListEntry> entries;
  std::string raw;  // every byte of the reply
};

// The phone side of the list protocol over a real TCP connection: what the phone VR player
// does, for tests and for the end-to-end probe.
class PhoneClient {
 public:
  PhoneClient() = default;
  ~PhoneClient();
  PhoneClient(const PhoneClient&) = delete;
  PhoneClient& operator=(const PhoneClient&) = delete;

  bool Connect(const std::string& address, std::uint16_t port = 11718, int timeoutMs = 3000);
  // A small receive buffer (set before connecting) makes the server's sends block early.
  void SetReceiveBuffer(int bytes) { m_receiveBuffer = bytes; }
  // The local address to connect from (set before connecting), e.g. "127.0.0.2": on loopback
  // each such address stands for another phone on the LAN.
  void SetSourceAddress(const std::string& address) { m_source = address; }
  void Close();
  int Fd() const { return m_fd; }

  bool Send(std::string_view bytes);
  // Exactly `n` bytes, or fewer when the connection ends or `timeoutMs` passes.
  std::string Read(std::size_t n, int timeoutMs = 3000);
  // Everything that arrives until nothing more comes for `quietMs`.
  std::string ReadUntilQuiet(int quietMs = 200, int timeoutMs = 3000);
  // True when the server closed the connection within `timeoutMs`.
  bool WaitForClose(int timeoutMs = 3000);

  // Sends a list request for list 1 or 2 with `stamp` and reads the reply.
  PhoneListReply RequestList(std::uint8_t listType, std::uint32_t stamp, int timeoutMs = 3000);
  // Reads one list reply from the connection.
  PhoneListReply ReadListReply(int timeoutMs = 3000);

  // The 11-byte list request.
  static std::string ListRequest(std::uint8_t listType, std::uint32_t stamp);

 private:
  int m_fd = -1;
  int m_receiveBuffer = 0;
  std::string m_source;
};

// Listens on UDP `port` of every local address and returns the first datagram that arrives
// within `timeoutMs`; `from` gets the sender's address.
std::optional<std::string> ReceiveDatagram(int timeoutMs, std::string* from = nullptr,
                                           std::uint16_t port = 7171);

// A socket listening on UDP `port` (SO_REUSEADDR), for tests that count datagrams; -1 on
// failure. The caller closes it.
int OpenDatagramListener(std::uint16_t port = 7171);
// Binds `fd` to `address` (any port) before it connects; true when it did.
bool BindSource(int fd, const std::string& address);
// A TCP socket listening on 127.0.0.1:`port` (SO_REUSEADDR), for tests that need the port
// taken; -1 on failure. The caller closes it.
int OpenStreamListener(std::uint16_t port);
// The next datagram on a listener opened above, waiting up to `timeoutMs`.
std::optional<std::string> NextDatagram(int fd, int timeoutMs);

}  // namespace brisel::test
