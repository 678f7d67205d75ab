#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/HttpProbe.h"

// A small UPnP control point of our own for tests: SSDP search and listening on plain
// sockets, SOAP actions over raw HTTP, DIDL-Lite read back with pugixml. It shares no code
// with the server, so it checks what a player would see.
namespace brisel::test {

// One SSDP message: the start line and its header fields (names in upper case).
struct SsdpMessage {
  std::string startLine;
  std::map<std::string, std::string> fields;
  std::string from;  // "address:port" it came from
  std::string Field(const std::string& name) const;
};

// Sends an M-SEARCH for `searchTarget` out of the interface that has `localAddress` and
// collects the answers that arrive within `wait`.
std::vector<SsdpMessage> SsdpSearch(const std::string& localAddress,
                                    const std::string& searchTarget,
                                    std::chrono::milliseconds wait);

// Listens for SSDP multicast (NOTIFY) on the interface that has `localAddress`.
class SsdpListener {
 public:
  explicit SsdpListener(const std::string& localAddress);
  ~SsdpListener();
  SsdpListener(const SsdpListener&) = delete;
  SsdpListener& operator=(const SsdpListener&) = delete;
  bool Ok() const { return m_fd >= 0; }
  // Messages that arrive within `wait` (all of them; M-SEARCHes of others included).
  std::vector<SsdpMessage> Collect(std::chrono::milliseconds wait);

 private:
  int m_fd = -1;
};

struct SoapReply {
  int httpStatus = 0;
  std::map<std::string, std::string> out;  // output arguments
  int upnpErrorCode = 0;                   // from a SOAP fault
  std::string raw;
};

// Calls `action` of `serviceType` at http://address:port`controlPath` with the arguments in
// the order given.
SoapReply SoapCall(const std::string& address, std::uint16_t port, const std::string& controlPath,
                   const std::string& serviceType, const std::string& action,
                   const std::vector<std::pair<std::string, std::string>>& arguments);

// Browse of the ContentDirectory at http://address:port/ContentDirectory/control.
SoapReply Browse(const std::string& address, std::uint16_t port, const std::string& objectId,
                 const std::string& flag, std::uint32_t start = 0, std::uint32_t count = 0,
                 const std::string& filter = "*");

// One object of a DIDL-Lite document.
struct DidlObject {
  bool container = false;
  std::string id, parentId, title, upnpClass, childCount;
  std::string resUrl, resProtocolInfo, resSize, resDuration, resResolution;
  std::string albumArtUrl, albumArtProfile;
};
// Nothing when the document does not parse as DIDL-Lite.
std::optional<std::vector<DidlObject>> ParseDidl(const std::string& xml);

// Splits "http://host:port/path" into its parts; nothing for other texts.
struct UrlParts {
  std::string host;
  std::uint16_t port = 80;
  std::string path;
};
std::optional<UrlParts> SplitHttpUrl(const std::string& url);

}  // namespace brisel::test
