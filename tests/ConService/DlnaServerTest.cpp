#include "ConService/DlnaServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <pugixml.hpp>
#include <regex>

#include "ConService/ServiceFixture.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "platform/ProgramFolder.h"
#include "support/HttpProbe.h"
#include "support/LavfiClip.h"
#include "support/PhoneClient.h"
#include "support/PrivateNetwork.h"
#include "support/UpnpClient.h"

namespace brisel::test {
namespace {

constexpr const char* kDirectoryType = "urn:schemas-upnp-org:service:ContentDirectory:1";
constexpr const char* kConnectionsType = "urn:schemas-upnp-org:service:ConnectionManager:1";
constexpr std::uint16_t kPort = DlnaServer::kPort;

// Takes GENA NOTIFY requests on a loopback port and answers each with 200, as a subscribed
// control point does.
class EventReceiver {
 public:
  EventReceiver() {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    socklen_t length = sizeof address;
    if (bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_fd, 8) != 0 ||
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      close(m_fd);
      m_fd = -1;
      return;
    }
    m_nPort = ntohs(address.sin_port);
  }
  ~EventReceiver() {
    if (m_fd >= 0) close(m_fd);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(m_nPort) + "/"; }

  // The body of the next NOTIFY within `timeoutMs`, or "".
  std::string NextNotify(int timeoutMs) {
    pollfd p{m_fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) != 1) return {};
    int client = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return {};
    std::string request;
    char buffer[4096];
    std::size_t needed = std::string::npos;
    while (needed == std::string::npos || request.size() < needed) {
      pollfd c{client, POLLIN, 0};
      if (poll(&c, 1, timeoutMs) != 1) break;
      ssize_t n = recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
      const std::size_t end = request.find("\r\n\r\n");
      std::smatch m;
      if (end != std::string::npos &&
          std::regex_search(request, m, std::regex("Content-Length: *([0-9]+)", std::regex::icase)))
        needed = end + 4 + std::stoul(m[1]);
    }
    const std::string ok = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    send(client, ok.data(), ok.size(), MSG_NOSIGNAL);
    close(client);
    const std::size_t body = request.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : request.substr(body + 4);
  }

 private:
  int m_fd = -1;
  std::uint16_t m_nPort = 0;
};

std::uint32_t EventedUpdateId(const std::string& body) {
  std::smatch m;
  if (!std::regex_search(body, m, std::regex("<SystemUpdateID>([0-9]+)</SystemUpdateID>")))
    return 0;
  return static_cast<std::uint32_t>(std::stoul(m[1]));
}

class DlnaServerTest : public RunningServiceTest {
 protected:
  void StartDlna(const std::string& address = "127.0.0.1") {
    service->SetDlnaServerEnabled(true);
    ASSERT_EQ(service->SetServiceAddress(address), 1);
    Service::ThreadsState state = service->WaitForServiceThreads(std::chrono::seconds(10));
    ASSERT_TRUE(state.settled);
    ASSERT_TRUE(state.dlnaEnabled);
    ASSERT_TRUE(state.dlnaRunning) << state.dlnaError;
    location = state.dlnaLocation;
  }

  // A real clip (its media values are probed) with or without a thumbnail; returns its key.
  std::string ShareClip(const std::string& name, bool thumbnail, std::uint8_t list = 1) {
    const std::string path = sandbox.Path("videos/" + name);
    CreateDirectories(DirName(path));
    EXPECT_TRUE(MakeLavfiClip(path, ClipSpec{320, 240, 2}));
    std::string key;
    EXPECT_EQ(catalogue->AddShareRecord(path, list, &key), SHARE_ADD_OK);
    if (thumbnail) sandbox.WriteFile("file_root/image/" + key + ".jpg", "\xff\xd8jpeg");
    return key;
  }

  std::uint32_t SystemUpdateId() {
    SoapReply reply = SoapCall("127.0.0.1", kPort, "/ContentDirectory/control", kDirectoryType,
                               "GetSystemUpdateID", {});
    EXPECT_EQ(reply.httpStatus, 200) << reply.raw;
    return static_cast<std::uint32_t>(std::stoul(reply.out["Id"].empty() ? "0" : reply.out["Id"]));
  }

  bool PortOpen(const std::string& address) {
    HttpConnection connection;
    return connection.Connect(address, kPort, 1000);
  }

  std::string location;
};

TEST_F(DlnaServerTest, DescriptionNamesTheDeviceItsServicesAndIcons) {
  StartDlna();
  auto url = SplitHttpUrl(location);
  ASSERT_TRUE(url) << location;
  EXPECT_EQ(url->host, "127.0.0.1");
  EXPECT_EQ(url->port, kPort);
  HttpReply description = HttpRequest("GET", url->path, {}, "127.0.0.1", kPort);
  ASSERT_EQ(description.status, 200);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(description.body.c_str())) << description.body;
  pugi::xml_node device = doc.child("root").child("device");
  EXPECT_STREQ(device.child_value("deviceType"), "urn:schemas-upnp-org:device:MediaServer:1");
  EXPECT_EQ(std::string(device.child_value("friendlyName")), DlnaServer::FriendlyName());
  EXPECT_EQ(DlnaServer::FriendlyName().rfind("BriselVR助手 (", 0), 0u);
  EXPECT_EQ(std::string(device.child_value("UDN")), DlnaServer::DeviceUdn(sandbox.Folder()));

  std::vector<std::string> types;
  for (pugi::xml_node service : device.child("serviceList").children("service")) {
    types.push_back(service.child_value("serviceType"));
    HttpReply scpd = HttpRequest("GET", service.child_value("SCPDURL"), {}, "127.0.0.1", kPort);
    EXPECT_EQ(scpd.status, 200) << service.child_value("SCPDURL");
    pugi::xml_document scpdDoc;
    EXPECT_TRUE(scpdDoc.load_string(scpd.body.c_str()));
  }
  EXPECT_EQ(types, (std::vector<std::string>{kDirectoryType, kConnectionsType}));
  int icons = 0;
  for (pugi::xml_node icon : device.child("iconList").children("icon")) {
    HttpReply png = HttpRequest("GET", icon.child_value("url"), {}, "127.0.0.1", kPort);
    EXPECT_EQ(png.status, 200);
    EXPECT_EQ(png.body.substr(0, 4), "\x89PNG");
    ++icons;
  }
  EXPECT_GE(icons, 2);
}

TEST_F(DlnaServerTest, UdnIsStablePerInstallation) {
  EXPECT_EQ(DlnaServer::DeviceUdn("/opt/a"), DlnaServer::DeviceUdn("/opt/a"));
  EXPECT_NE(DlnaServer::DeviceUdn("/opt/a"), DlnaServer::DeviceUdn("/opt/b"));
  EXPECT_TRUE(
      std::regex_match(DlnaServer::DeviceUdn("/opt/a"),
                       std::regex("uuid:[0-9a-f]{8}-[0-9a-f]{4}-5[0-9a-f]{3}-[89ab][0-9a-f]{3}-"
                                  "[0-9a-f]{12}")));
}

TEST_F(DlnaServerTest, SearchFindsTheDeviceAndStoppingSaysGoodbye) {
  StartDlna();
  SsdpListener listener("127.0.0.1");
  ASSERT_TRUE(listener.Ok());
  std::vector<SsdpMessage> answers = SsdpSearch(
      "127.0.0.1", "urn:schemas-upnp-org:device:MediaServer:1", std::chrono::milliseconds(2500));
  ASSERT_FALSE(answers.empty());
  for (const SsdpMessage& answer : answers) {
    EXPECT_EQ(answer.startLine, "HTTP/1.1 200 OK");
    EXPECT_EQ(answer.Field("LOCATION"), location);
    EXPECT_EQ(answer.Field("USN"), DlnaServer::DeviceUdn(sandbox.Folder()) +
                                       "::urn:schemas-upnp-org:device:MediaServer:1");
  }
  listener.Collect(std::chrono::milliseconds(0));

  service->StopServiceThreads();
  bool byebye = false;
  for (const SsdpMessage& message : listener.Collect(std::chrono::milliseconds(1500))) {
    if (message.Field("NTS") == "ssdp:byebye" && message.Field("NT") == "upnp:rootdevice")
      byebye = true;
  }
  EXPECT_TRUE(byebye);
  EXPECT_FALSE(PortOpen("127.0.0.1"));
}

TEST_F(DlnaServerTest, BrowseListsBothListsWithStreamsThumbnailsAndPaging) {
  const std::string a = ShareClip("a.mp4", true);
  const std::string b = ShareClip("b.mkv", false);
  const std::string c = ShareClip("c.mp4", true, 2);
  StartDlna();

  SoapReply root = Browse("127.0.0.1", kPort, "0", "BrowseDirectChildren");
  ASSERT_EQ(root.httpStatus, 200) << root.raw;
  auto containers = ParseDidl(root.out["Result"]);
  ASSERT_TRUE(containers);
  ASSERT_EQ(containers->size(), 2u);
  EXPECT_EQ((*containers)[0].childCount, "2");
  EXPECT_EQ((*containers)[1].childCount, "1");

  SoapReply videos = Browse("127.0.0.1", kPort, "1", "BrowseDirectChildren");
  ASSERT_EQ(videos.httpStatus, 200);
  EXPECT_EQ(videos.out["NumberReturned"], "2");
  EXPECT_EQ(videos.out["TotalMatches"], "2");
  auto items = ParseDidl(videos.out["Result"]);
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 2u);
  EXPECT_EQ((*items)[0].title, "a.mp4");
  EXPECT_EQ((*items)[0].resUrl, "http://127.0.0.1:11717/" + a);
  EXPECT_EQ((*items)[0].resResolution, "320x240");
  EXPECT_EQ((*items)[0].resDuration.substr(0, 7), "0:00:02");
  EXPECT_EQ((*items)[0].resSize, std::to_string(*FileSize(sandbox.Path("videos/a.mp4"))));
  EXPECT_EQ((*items)[0].albumArtUrl, "http://127.0.0.1:11717/image/" + a + ".jpg");
  EXPECT_TRUE((*items)[1].albumArtUrl.empty());
  EXPECT_EQ((*items)[1].resUrl, "http://127.0.0.1:11717/" + b);

  // The resource streams from the media server, with ranges; the album art is the thumbnail.
  HttpReply part = HttpRequest("GET", "/" + a, {"Range: bytes=100-199"});
  EXPECT_EQ(part.status, 206);
  EXPECT_EQ(part.body.size(), 100u);
  EXPECT_EQ(HttpRequest("GET", "/image/" + a + ".jpg").status, 200);

  SoapReply page = Browse("127.0.0.1", kPort, "1", "BrowseDirectChildren", 1, 1);
  auto second = ParseDidl(page.out["Result"]);
  ASSERT_TRUE(second);
  ASSERT_EQ(second->size(), 1u);
  EXPECT_EQ((*second)[0].id, "1$" + b);
  EXPECT_EQ(page.out["TotalMatches"], "2");

  SoapReply converted = Browse("127.0.0.1", kPort, "2$" + c, "BrowseMetadata");
  auto item = ParseDidl(converted.out["Result"]);
  ASSERT_TRUE(item);
  ASSERT_EQ(item->size(), 1u);
  EXPECT_EQ((*item)[0].parentId, "2");

  EXPECT_EQ(Browse("127.0.0.1", kPort, "1$" + c, "BrowseMetadata").upnpErrorCode, 701);
}

TEST_F(DlnaServerTest, CatalogueChangesAdvanceAndEventTheUpdateIds) {
  service->SetDlnaServerEnabled(true);
  StartDlna();
  EventReceiver receiver;
  HttpConnection connection;
  ASSERT_TRUE(connection.Connect("127.0.0.1", kPort));
  ASSERT_TRUE(connection.Send(
      "SUBSCRIBE /ContentDirectory/event HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(kPort) +
      "\r\nCALLBACK: <" + receiver.Url() + ">\r\nNT: upnp:event\r\nTIMEOUT: Second-300\r\n\r\n"));
  HttpReply subscribed = connection.ReadResponse();
  ASSERT_EQ(subscribed.status, 200) << subscribed.raw;
  EXPECT_FALSE(subscribed.Header("SID").empty());
  const std::uint32_t first = SystemUpdateId();

  const std::string container1Before =
      Browse("127.0.0.1", kPort, "1", "BrowseMetadata").out["UpdateID"];
  const std::string container2Before =
      Browse("127.0.0.1", kPort, "2", "BrowseMetadata").out["UpdateID"];
  ShareClip("new.mp4", false);
  // Events arrive in order; the first may carry the id of the subscription time (or nothing,
  // while the server still reads its own service description), a later one the new id.
  std::vector<std::uint32_t> evented;
  ASSERT_TRUE(WaitFor([&] {
    if (std::uint32_t id = EventedUpdateId(receiver.NextNotify(500))) evented.push_back(id);
    return !evented.empty() && evented.back() > first;
  }));
  EXPECT_TRUE(std::is_sorted(evented.begin(), evented.end()));
  EXPECT_GE(evented.front(), first);
  EXPECT_EQ(SystemUpdateId(), evented.back());
  EXPECT_NE(Browse("127.0.0.1", kPort, "1", "BrowseMetadata").out["UpdateID"], container1Before);
  EXPECT_EQ(Browse("127.0.0.1", kPort, "2", "BrowseMetadata").out["UpdateID"], container2Before);

  // A Browse right after a change already sees the new id, without waiting for the poll.
  catalogue->RemoveShareRecord(1, sandbox.Path("videos/new.mp4"));
  SoapReply after = Browse("127.0.0.1", kPort, "1", "BrowseDirectChildren");
  EXPECT_EQ(after.out["TotalMatches"], "0");
  EXPECT_GT(SystemUpdateId(), evented.back());
}

TEST_F(DlnaServerTest, OtherActionsAnswerAsAMediaServerDoes) {
  StartDlna();
  const std::string cd = "/ContentDirectory/control", cm = "/ConnectionManager/control";
  SoapReply search = SoapCall("127.0.0.1", kPort, cd, kDirectoryType, "GetSearchCapabilities", {});
  EXPECT_EQ(search.httpStatus, 200);
  EXPECT_TRUE(search.out.count("SearchCaps"));
  SoapReply sort = SoapCall("127.0.0.1", kPort, cd, kDirectoryType, "GetSortCapabilities", {});
  EXPECT_EQ(sort.httpStatus, 200);
  EXPECT_TRUE(sort.out.count("SortCaps"));
  SoapReply protocols = SoapCall("127.0.0.1", kPort, cm, kConnectionsType, "GetProtocolInfo", {});
  EXPECT_EQ(protocols.httpStatus, 200);
  EXPECT_NE(protocols.out["Source"].find("http-get:*:video/mp4:DLNA.ORG_OP=01"), std::string::npos);
  EXPECT_EQ(protocols.out["Sink"], "");
  SoapReply ids = SoapCall("127.0.0.1", kPort, cm, kConnectionsType, "GetCurrentConnectionIDs", {});
  EXPECT_EQ(ids.out["ConnectionIDs"], "0");
  SoapReply info = SoapCall("127.0.0.1", kPort, cm, kConnectionsType, "GetCurrentConnectionInfo",
                            {{"ConnectionID", "0"}});
  EXPECT_EQ(info.httpStatus, 200);
  EXPECT_EQ(info.out["Direction"], "Output");
  EXPECT_EQ(info.out["Status"], "OK");
  EXPECT_EQ(SoapCall("127.0.0.1", kPort, cm, kConnectionsType, "GetCurrentConnectionInfo",
                     {{"ConnectionID", "7"}})
                .upnpErrorCode,
            706);
}

TEST_F(DlnaServerTest, MalformedAndHugeRequestsAreRefusedAndTheServerGoesOn) {
  ShareClip("a.mp4", false);
  StartDlna();
  const std::string host = "Host: 127.0.0.1:" + std::to_string(kPort);
  const std::string action =
      "Content-Type: text/xml; charset=\"utf-8\"\r\n"
      "SOAPAction: \"urn:schemas-upnp-org:service:ContentDirectory:1#Browse\"";
  const std::string envelope =
      "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
      "<s:Body>";
  struct Case {
    std::string name;
    std::string request;  // everything after the request line
  };
  auto post = [&](const std::string& headers, const std::string& body) {
    return headers + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  };
  const std::string browseNoId =
      envelope + "<u:Browse xmlns:u=\"" + kDirectoryType +
      "\"><BrowseFlag>BrowseMetadata</BrowseFlag></u:Browse></s:Body></s:Envelope>";
  const Case cases[] = {
      {"not XML", post(host + "\r\n" + action, "this is not xml <<<")},
      {"no body element", post(host + "\r\n" + action, envelope + "</s:Envelope>")},
      {"truncated XML", post(host + "\r\n" + action, envelope + "<u:Browse xmlns:u=\"")},
      {"missing ObjectID", post(host + "\r\n" + action, browseNoId)},
      {"unknown action",
       post(host + "\r\nContent-Type: text/xml\r\n"
                   "SOAPAction: \"urn:schemas-upnp-org:service:ContentDirectory:1#Frob\"",
            envelope + "<u:Frob xmlns:u=\"" + kDirectoryType + "\"/></s:Body></s:Envelope>")},
      {"no SOAPAction",
       post(host + "\r\nContent-Type: text/xml", envelope + "</s:Body></s:Envelope>")},
      {"deep nesting", post(host + "\r\n" + action, envelope + std::string(20000, '<') + "a")},
      {"foreign Host (DNS rebinding)",
       post("Host: evil.example:" + std::to_string(kPort) + "\r\n" + action, browseNoId)},
      {"announced 1 GB body",
       host + "\r\n" + action + "\r\nContent-Length: 1000000000\r\n\r\n" + std::string(70000, 'x')},
      {"chunked body", host + "\r\n" + action + "\r\nTransfer-Encoding: chunked\r\n\r\n" +
                           "10000\r\n" + std::string(65536, 'x')},
      {"huge header", host + "\r\n" + action + "\r\nX-Pad: " + std::string(200000, 'p') +
                          "\r\nContent-Length: 0\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HttpConnection connection;
    ASSERT_TRUE(connection.Connect("127.0.0.1", kPort));
    connection.Send("POST /ContentDirectory/control HTTP/1.1\r\n" + c.request);
    HttpReply reply = connection.ReadResponse(false, 10000);
    // A refusal (4xx, or a SOAP fault's 500) or a closed connection; never a success.
    EXPECT_TRUE(reply.status == 0 || (reply.status >= 400 && reply.status <= 500)) << reply.status;
    SoapReply fine = Browse("127.0.0.1", kPort, "1", "BrowseDirectChildren");
    ASSERT_EQ(fine.httpStatus, 200) << "the server no longer answers";
    EXPECT_EQ(fine.out["TotalMatches"], "1");
  }
  EXPECT_EQ(Browse("127.0.0.1", kPort, "0", "NotAFlag").upnpErrorCode, 402);
  EXPECT_EQ(SoapCall("127.0.0.1", kPort, "/ContentDirectory/control", kDirectoryType, "Browse",
                     {{"BrowseFlag", "BrowseMetadata"}})
                .upnpErrorCode,
            402);
  EXPECT_EQ(SoapCall("127.0.0.1", kPort, "/ContentDirectory/control", kDirectoryType, "Frob", {})
                .upnpErrorCode,
            401);
  EXPECT_EQ(Browse("127.0.0.1", kPort, "nothing", "BrowseMetadata").upnpErrorCode, 701);
}

TEST_F(DlnaServerTest, FollowsTheServiceAddressAndStaysOffWhenDisabled) {
  // SSDP needs an interface that holds the address: give loopback a second one, which only
  // the suite's private network namespace allows.
  if (!OnlyLoopbackNetwork() || geteuid() != 0)
    GTEST_SKIP() << "needs root in a private network namespace (scripts/test, lan-sandbox)";
  RunProcess({"ip", "addr", "add", "127.0.0.2/8", "dev", "lo"}, 5000);
  StartDlna("127.0.0.1");
  EXPECT_TRUE(PortOpen("127.0.0.1"));
  EXPECT_FALSE(PortOpen("127.0.0.2"));  // bound to the service address only

  ASSERT_EQ(service->SetServiceAddress("127.0.0.2"), 1);
  Service::ThreadsState moved = service->WaitForServiceThreads(std::chrono::seconds(10));
  ASSERT_TRUE(moved.dlnaRunning) << moved.dlnaError;
  EXPECT_EQ(SplitHttpUrl(moved.dlnaLocation)->host, "127.0.0.2");
  EXPECT_TRUE(PortOpen("127.0.0.2"));
  EXPECT_FALSE(PortOpen("127.0.0.1"));

  service->SetDlnaServerEnabled(false);
  ASSERT_EQ(service->SetServiceAddress("127.0.0.1"), 1);
  Service::ThreadsState off = service->WaitForServiceThreads(std::chrono::seconds(10));
  EXPECT_TRUE(off.httpRunning);
  EXPECT_FALSE(off.dlnaEnabled);
  EXPECT_FALSE(PortOpen("127.0.0.1"));
  EXPECT_FALSE(PortOpen("127.0.0.2"));
  EXPECT_TRUE(SsdpSearch("127.0.0.1", "ssdp:all", std::chrono::milliseconds(1500)).empty());
}

TEST_F(DlnaServerTest, ATakenPortLeavesThePhonesServed) {
  int taken = OpenStreamListener(kPort);
  ASSERT_GE(taken, 0);
  service->SetDlnaServerEnabled(true);
  ASSERT_EQ(service->SetServiceAddress("127.0.0.1"), 1);
  Service::ThreadsState state = service->WaitForServiceThreads(std::chrono::seconds(10));
  close(taken);
  EXPECT_TRUE(state.udpRunning);
  EXPECT_TRUE(state.httpRunning);
  EXPECT_FALSE(state.dlnaRunning);
  EXPECT_FALSE(state.dlnaError.empty());
  PhoneClient phone;
  ASSERT_TRUE(phone.Connect("127.0.0.1"));
  EXPECT_EQ(phone.RequestList(1, 0).entries.size(), 0u);
}

}  // namespace
}  // namespace brisel::test
