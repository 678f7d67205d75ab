#include "support/UpnpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <pugixml.hpp>
#include <sstream>

namespace brisel::test {
namespace {

constexpr const char* kSsdpGroup = "239.255.255.250";
constexpr std::uint16_t kSsdpPort = 1900;

std::string Trim(const std::string& text) {
  std::size_t first = text.find_first_not_of(" \t");
  std::size_t last = text.find_last_not_of(" \t\r");
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

SsdpMessage ParseSsdp(const std::string& datagram, const sockaddr_in& from) {
  SsdpMessage message;
  char address[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &from.sin_addr, address, sizeof address);
  message.from = std::string(address) + ":" + std::to_string(ntohs(from.sin_port));
  std::size_t pos = 0;
  bool first = true;
  while (pos < datagram.size()) {
    std::size_t end = datagram.find("\r\n", pos);
    if (end == std::string::npos) end = datagram.size();
    const std::string line = datagram.substr(pos, end - pos);
    pos = end + 2;
    if (first) {
      message.startLine = line;
      first = false;
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    message.fields[name] = Trim(line.substr(colon + 1));
  }
  return message;
}

std::vector<SsdpMessage> Receive(int fd, std::chrono::milliseconds wait) {
  std::vector<SsdpMessage> messages;
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) != 1) continue;
    char buffer[4096];
    sockaddr_in from{};
    socklen_t length = sizeof from;
    ssize_t n = recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
    if (n > 0)
      messages.push_back(ParseSsdp(std::string(buffer, static_cast<std::size_t>(n)), from));
  }
  return messages;
}

std::string Escape(const std::string& text) {
  pugi::xml_document doc;
  doc.append_child(pugi::node_pcdata).set_value(text.c_str());
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw | pugi::format_no_declaration);
  return out.str();
}

}  // namespace

std::string SsdpMessage::Field(const std::string& name) const {
  auto it = fields.find(name);
  return it == fields.end() ? std::string() : it->second;
}

std::vector<SsdpMessage> SsdpSearch(const std::string& localAddress,
                                    const std::string& searchTarget,
                                    std::chrono::milliseconds wait) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return {};
  sockaddr_in local{};
  local.sin_family = AF_INET;
  inet_pton(AF_INET, localAddress.c_str(), &local.sin_addr);
  in_addr interfaceAddress = local.sin_addr;
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &interfaceAddress, sizeof interfaceAddress);
  std::vector<SsdpMessage> answers;
  if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0) {
    const std::string request =
        "M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\n"
        "MAN: \"ssdp:discover\"\r\nMX: 1\r\nST: " +
        searchTarget + "\r\n\r\n";
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(kSsdpPort);
    inet_pton(AF_INET, kSsdpGroup, &group.sin_addr);
    sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&group),
           sizeof group);
    answers = Receive(fd, wait);
  }
  close(fd);
  return answers;
}

SsdpListener::SsdpListener(const std::string& localAddress) {
  m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (m_fd < 0) return;
  int one = 1;
  setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  // Only what arrives on this interface: without this Linux hands the socket every group
  // message that any socket of the host joined.
  int zero = 0;
  setsockopt(m_fd, IPPROTO_IP, IP_MULTICAST_ALL, &zero, sizeof zero);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(kSsdpPort);
  inet_pton(AF_INET, kSsdpGroup, &any.sin_addr);
  ip_mreq join{};
  inet_pton(AF_INET, kSsdpGroup, &join.imr_multiaddr);
  inet_pton(AF_INET, localAddress.c_str(), &join.imr_interface);
  if (bind(m_fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0 ||
      setsockopt(m_fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join) != 0) {
    close(m_fd);
    m_fd = -1;
  }
}

SsdpListener::~SsdpListener() {
  if (m_fd >= 0) close(m_fd);
}

std::vector<SsdpMessage> SsdpListener::Collect(std::chrono::milliseconds wait) {
  return m_fd >= 0 ? Receive(m_fd, wait) : std::vector<SsdpMessage>{};
}

SoapReply SoapCall(const std::string& address, std::uint16_t port, const std::string& controlPath,
                   const std::string& serviceType, const std::string& action,
                   const std::vector<std::pair<std::string, std::string>>& arguments) {
  std::string body =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
      "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\"><s:Body><u:" +
      action + " xmlns:u=\"" + serviceType + "\">";
  for (const auto& [name, value] : arguments)
    body += "<" + name + ">" + Escape(value) + "</" + name + ">";
  body += "</u:" + action + "></s:Body></s:Envelope>";

  HttpConnection connection;
  SoapReply reply;
  if (!connection.Connect(address, port)) return reply;
  const std::string request =
      "POST " + controlPath + " HTTP/1.1\r\nHost: " + address + ":" + std::to_string(port) +
      "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nSOAPAction: \"" + serviceType + "#" +
      action + "\"\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\nConnection: close\r\n\r\n" + body;
  if (!connection.Send(request)) return reply;
  HttpReply http = connection.ReadResponse();
  reply.httpStatus = http.status;
  reply.raw = http.body;
  pugi::xml_document doc;
  if (!doc.load_string(http.body.c_str())) return reply;
  pugi::xml_node envelopeBody = doc.first_child().child("s:Body");
  if (!envelopeBody) envelopeBody = doc.first_child().first_child();
  pugi::xml_node response = envelopeBody.first_child();
  if (std::string(response.name()).find("Fault") != std::string::npos) {
    pugi::xpath_node code = doc.select_node("//*[local-name()='errorCode']");
    if (code) reply.upnpErrorCode = code.node().text().as_int();
    return reply;
  }
  for (pugi::xml_node arg : response.children()) reply.out[arg.name()] = arg.text().get();
  return reply;
}

SoapReply Browse(const std::string& address, std::uint16_t port, const std::string& objectId,
                 const std::string& flag, std::uint32_t start, std::uint32_t count,
                 const std::string& filter) {
  return SoapCall(address, port, "/ContentDirectory/control",
                  "urn:schemas-upnp-org:service:ContentDirectory:1", "Browse",
                  {{"ObjectID", objectId},
                   {"BrowseFlag", flag},
                   {"Filter", filter},
                   {"StartingIndex", std::to_string(start)},
                   {"RequestedCount", std::to_string(count)},
                   {"SortCriteria", ""}});
}

std::optional<std::vector<DidlObject>> ParseDidl(const std::string& xml) {
  pugi::xml_document doc;
  if (!doc.load_string(xml.c_str()) || std::string(doc.first_child().name()) != "DIDL-Lite")
    return std::nullopt;
  std::vector<DidlObject> objects;
  for (pugi::xml_node node : doc.first_child().children()) {
    DidlObject object;
    object.container = std::string(node.name()) == "container";
    object.id = node.attribute("id").value();
    object.parentId = node.attribute("parentID").value();
    object.childCount = node.attribute("childCount").value();
    object.title = node.child("dc:title").text().get();
    object.upnpClass = node.child("upnp:class").text().get();
    pugi::xml_node res = node.child("res");
    object.resUrl = res.text().get();
    object.resProtocolInfo = res.attribute("protocolInfo").value();
    object.resSize = res.attribute("size").value();
    object.resDuration = res.attribute("duration").value();
    object.resResolution = res.attribute("resolution").value();
    pugi::xml_node art = node.child("upnp:albumArtURI");
    object.albumArtUrl = art.text().get();
    object.albumArtProfile = art.attribute("dlna:profileID").value();
    objects.push_back(object);
  }
  return objects;
}

std::optional<UrlParts> SplitHttpUrl(const std::string& url) {
  const std::string scheme = "http://";
  if (url.compare(0, scheme.size(), scheme) != 0) return std::nullopt;
  UrlParts parts;
  const std::size_t slash = url.find('/', scheme.size());
  std::string authority = url.substr(scheme.size(), slash - scheme.size());
  parts.path = slash == std::string::npos ? "/" : url.substr(slash);
  const std::size_t colon = authority.find(':');
  parts.host = authority.substr(0, colon);
  if (colon != std::string::npos) {
    parts.port = static_cast<std::uint16_t>(std::stoi(authority.substr(colon + 1)));
  }
  return parts;
}

}  // namespace brisel::test
