#include "ConService/ListProtocolHandler.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "ConService/ClientSlot.h"
#include "ConService/ListProtocol.h"
#include "ConService/ServiceDiagnostics.h"
#include "ConService/ShareRecord.h"

namespace brisel {
namespace {

std::uint64_t SystemMilliseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace

ListProtocolHandler::ListProtocolHandler(Mediator& catalogue) : m_catalogue(catalogue) {}

void ListProtocolHandler::SetStampClockForTesting(std::function<std::uint64_t()> clock) {
  m_stampClock = std::move(clock);
}

std::uint32_t ListProtocolHandler::NextStamp() {
  std::uint32_t now =
      static_cast<std::uint32_t>(m_stampClock ? m_stampClock() : SystemMilliseconds());
  if (m_nLastStamp != 0 && static_cast<std::int32_t>(now - m_nLastStamp) <= 0) {
    now = m_nLastStamp + 1;
  }
  if (now == 0) now = 1;
  m_nLastStamp = now;
  return now;
}

std::size_t ListProtocolHandler::BuildListReply(std::uint8_t listType, ClientSlot& connection,
                                                std::uint32_t phoneStamp) {
  std::uint64_t revision = 0;
  if (!m_catalogue.SerializeForReply(listType, &m_wire, &revision)) return 0;
  const std::uint16_t command = listType == SHARE_LIST_ORDINARY ? kCommandList1 : kCommandList2;
  std::uint64_t& seen = m_seenRevisions[listType - 1];
  // The list and its revision were taken together: a change made after them moves the
  // revision again, so the next reply renews once more.
  if (revision != seen && !m_connections.empty()) {
    seen = revision;
    const std::uint32_t now = NextStamp();
    for (ClientSlot& slot : m_connections) {
      if (slot.InUse()) slot.stamp = now;
    }
  }
  if (connection.stamp == 0) connection.stamp = NextStamp();

  const bool withList = connection.stamp != phoneStamp;
  const std::size_t length = kListReplyHeaderSize + (withList ? m_wire.size() : 0) + 4;
  if (m_reply.size() < length) m_reply.resize(length);
  std::uint8_t* out = m_reply.data();
  std::memcpy(out, kLanMagic, 4);
  out[4] = kLanVersion;
  WriteLe16(out + 5, command);
  WriteLe32(out + 7, connection.stamp);
  std::size_t pos = kListReplyHeaderSize;
  if (withList) {
    std::memcpy(out + pos, m_wire.data(), m_wire.size());
    pos += m_wire.size();
  }
  std::memcpy(out + pos, kLanTrailer, 4);
  return pos + 4;
}

void ListProtocolHandler::HandlePacket(ClientSlot& connection, int length) {
  if (length <= 0) return;
  const std::size_t received =
      std::min<std::size_t>(static_cast<std::size_t>(length), connection.buffer.size());
  ServiceHexDump("请求数据", connection.buffer.data(), received);
  // Bytes the phone did not send read as 0.
  std::uint8_t request[kListRequestSize] = {};
  std::memcpy(request, connection.buffer.data(), std::min(received, sizeof request));
  if (std::memcmp(request, kLanMagic, 4) == 0 && request[4] == kLanVersion) {
    const std::uint16_t command = ReadLe16(request + 5);
    if (command == kCommandList1 || command == kCommandList2) {
      const std::size_t n =
          BuildListReply(command == kCommandList1 ? SHARE_LIST_ORDINARY : SHARE_LIST_CONVERTED,
                         connection, ReadLe32(request + 7));
      SendAll(connection.socket, m_reply.data(), n);
      return;
    }
  }
  static const std::uint8_t kGenericReply[kGenericReplySize] = {'q',  'm',  't', 'k', 1,
                                                                0xFF, 0xFF, 0,   0,   0};
  SendAll(connection.socket, kGenericReply, sizeof kGenericReply);
}

void ListProtocolHandler::SendAll(int socket, const std::uint8_t* data, std::size_t length) {
  // The connection is non-blocking: a phone that does not read loses the rest of this reply
  // rather than stalling every other phone.
  while (length > 0) {
    ssize_t n = send(socket, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
}

}  // namespace brisel
