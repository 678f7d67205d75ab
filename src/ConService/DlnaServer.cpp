#include "ConService/DlnaServer.h"

#include <libgupnp/gupnp.h>
#include <libsoup/soup.h>
#include <pthread.h>
#include <unistd.h>
#include <pugixml.hpp>

#include <cstdlib>
#include <map>
#include <sstream>

#include "BriselDataManager/LogRecorder.h"
#include "ConService/DlnaContentDirectory.h"
#include "ConService/DlnaResources.h"
#include "ConService/ListProtocol.h"
#include "ConService/ServiceDiagnostics.h"
#include "ConService/ShareRecord.h"
#include "ConService/SoapRequest.h"
#include "platform/FileSystem.h"
#include "platform/MachineIdentity.h"
#include "platform/ProgramFolder.h"
#include "settings/BuildConfig.h"

namespace brisel {
namespace {

constexpr const char* kTag = "ConService\\DlnaServer";
constexpr const char* kContentDirectoryType = "urn:schemas-upnp-org:service:ContentDirectory:1";
constexpr const char* kConnectionManagerType = "urn:schemas-upnp-org:service:ConnectionManager:1";
constexpr const char* kDescriptionFile = "MediaServer.xml";
// A Browse request is a few hundred bytes; anything this large is not one.
constexpr goffset kMaxRequestBody = 64 * 1024;
// Spacing of SSDP messages while saying goodbye (GSSDP's default is 120 ms), and how long the
// goodbye may take: GSSDP repeats each byebye three times.
constexpr guint kGoodbyeMessageDelayMs = 30;
constexpr gint64 kGoodbyeTimeUs = 900 * 1000;
// The titles of the share lists' containers.
constexpr const char* kOrdinaryTitle = "视频";
constexpr const char* kConvertedTitle = "已转码视频";

// GLib's messages from GUPnP, GSSDP and libsoup (refused Host headers, unreachable
// subscribers) are the service's diagnostics, not the user's terminal's warnings.
GLogWriterOutput LogWriter(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer) {
  const char* domain = nullptr;
  const char* message = nullptr;
  for (gsize i = 0; i < count; ++i) {
    if (g_strcmp0(fields[i].key, "GLIB_DOMAIN") == 0)
      domain = static_cast<const char*>(fields[i].value);
    if (g_strcmp0(fields[i].key, "MESSAGE") == 0)
      message = static_cast<const char*>(fields[i].value);
  }
  const bool ours = domain && (g_ascii_strncasecmp(domain, "gupnp", 5) == 0 ||
                               g_ascii_strncasecmp(domain, "gssdp", 5) == 0 ||
                               g_ascii_strncasecmp(domain, "libsoup", 7) == 0);
  if (!ours) return g_log_writer_default(level, fields, count, nullptr);
  if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
    ServiceDiagnostic("%s: %s\n", domain, message ? message : "");
  }
  return G_LOG_WRITER_HANDLED;
}

void RouteLibraryMessages() {
  static std::once_flag once;
  std::call_once(once, [] { g_log_set_writer_func(LogWriter, nullptr, nullptr); });
}

std::string MakePrivateFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string pattern =
      std::string(runtime && *runtime && IsDirectory(runtime) ? runtime : "/tmp") +
      "/briselvr-dlna-XXXXXX";
  return mkdtemp(pattern.data()) ? pattern : std::string();
}

void RemovePrivateFolder(const std::string& folder) {
  if (folder.empty()) return;
  for (const std::string& name : ListDirectory(folder)) RemoveFile(folder + "/" + name);
  rmdir(folder.c_str());
}

// The device description: a MediaServer:1 with its two services and the program's icons.
std::string DescriptionDocument(const std::string& udn) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("root");
  root.append_attribute("xmlns") = "urn:schemas-upnp-org:device-1-0";
  root.append_attribute("xmlns:dlna") = "urn:schemas-dlna-org:device-1-0";
  pugi::xml_node version = root.append_child("specVersion");
  version.append_child("major").text() = 1;
  version.append_child("minor").text() = 0;
  pugi::xml_node device = root.append_child("device");
  device.append_child("deviceType").text() = "urn:schemas-upnp-org:device:MediaServer:1";
  device.append_child("dlna:X_DLNADOC").text() = "DMS-1.50";
  device.append_child("friendlyName").text() = DlnaServer::FriendlyName().c_str();
  device.append_child("manufacturer").text() = "BriselVR";
  device.append_child("modelDescription").text() = "Shares the videos of BriselVR助手";
  device.append_child("modelName").text() = "BriselVR助手";
  const std::string versionText = std::to_string(build::kVersionMajor) + "." +
                                  std::to_string(build::kVersionMinor) + "." +
                                  std::to_string(build::kVersionPatch);
  device.append_child("modelNumber").text() = versionText.c_str();
  device.append_child("UDN").text() = udn.c_str();

  pugi::xml_node icons = device.append_child("iconList");
  for (int size : {48, 128}) {
    pugi::xml_node icon = icons.append_child("icon");
    icon.append_child("mimetype").text() = "image/png";
    icon.append_child("width").text() = size;
    icon.append_child("height").text() = size;
    icon.append_child("depth").text() = 32;
    icon.append_child("url").text() = ("/icon-" + std::to_string(size) + ".png").c_str();
  }

  pugi::xml_node services = device.append_child("serviceList");
  for (const char* name : {"ContentDirectory", "ConnectionManager"}) {
    const std::string n = name;
    pugi::xml_node service = services.append_child("service");
    service.append_child("serviceType").text() =
        ("urn:schemas-upnp-org:service:" + n + ":1").c_str();
    service.append_child("serviceId").text() = ("urn:upnp-org:serviceId:" + n).c_str();
    service.append_child("SCPDURL").text() = ("/" + n + ".xml").c_str();
    service.append_child("controlURL").text() = ("/" + n + "/control").c_str();
    service.append_child("eventSubURL").text() = ("/" + n + "/event").c_str();
  }
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
  return out.str();
}

bool WriteDescriptionFolder(const std::string& folder, const std::string& udn) {
  return WriteFileAtomically(folder + "/" + kDescriptionFile, DescriptionDocument(udn)) &&
         WriteFileAtomically(folder + "/ContentDirectory.xml",
                             dlna_resources::kContentDirectoryScpd) &&
         WriteFileAtomically(folder + "/ConnectionManager.xml",
                             dlna_resources::kConnectionManagerScpd) &&
         WriteFileAtomically(folder + "/icon-48.png", dlna_resources::kIcon48Png) &&
         WriteFileAtomically(folder + "/icon-128.png", dlna_resources::kIcon128Png);
}

std::string ErrorText(GError* error, const char* fallback) {
  std::string text = error && error->message ? error->message : fallback;
  g_clear_error(&error);
  return text;
}

}  // namespace

// The GUPnP objects of one run; created, used and destroyed on the server's thread only.
class DlnaServer::Device {
 public:
  Device(DlnaServer& owner, std::string address)
      : m_owner(owner), m_strAddress(std::move(address)) {}
  ~Device() { Close(); }

  bool Open(std::string* error) {
    m_strFolder = MakePrivateFolder();
    if (m_strFolder.empty()) {
      *error = "no folder for the device description";
      return false;
    }
    if (!WriteDescriptionFolder(m_strFolder, DeviceUdn(GetDataFolder()))) {
      *error = "cannot write the device description into " + m_strFolder;
      return false;
    }
    GInetAddress* address = g_inet_address_new_from_string(m_strAddress.c_str());
    if (!address) {
      *error = "not an IPv4 address: " + m_strAddress;
      return false;
    }
    GError* gerror = nullptr;
    m_pContext = gupnp_context_new_for_address(address, kPort, GSSDP_UDA_VERSION_1_0, &gerror);
    g_object_unref(address);
    if (!m_pContext) {
      *error = ErrorText(gerror, "cannot open the UPnP context");
      return false;
    }
    // Events go straight to the players on the LAN, never through a proxy the desktop may
    // configure (asking for one would also start GSettings' dconf thread).
    GProxyResolver* direct = g_simple_proxy_resolver_new(nullptr, nullptr);
    g_object_set(gupnp_context_get_session(m_pContext), "proxy-resolver", direct, nullptr);
    g_object_unref(direct);
    g_signal_connect(gupnp_context_get_server(m_pContext), "request-started",
                     G_CALLBACK(OnRequestStarted), nullptr);
    g_signal_connect(gupnp_context_get_server(m_pContext), "request-read",
                     G_CALLBACK(OnRequestRead), nullptr);
    m_pRoot = gupnp_root_device_new(m_pContext, kDescriptionFile, m_strFolder.c_str(), &gerror);
    if (!m_pRoot) {
      *error = ErrorText(gerror, "cannot create the UPnP device");
      return false;
    }
    m_pDirectory = gupnp_device_info_get_service(GUPNP_DEVICE_INFO(m_pRoot), kContentDirectoryType);
    m_pConnections =
        gupnp_device_info_get_service(GUPNP_DEVICE_INFO(m_pRoot), kConnectionManagerType);
    if (!m_pDirectory || !m_pConnections) {
      *error = "the device description names no ContentDirectory or ConnectionManager";
      return false;
    }
    g_signal_connect(m_pDirectory, "action-invoked::Browse", G_CALLBACK(OnBrowse), this);
    g_signal_connect(m_pDirectory, "action-invoked::GetSearchCapabilities",
                     G_CALLBACK(OnGetSearchCapabilities), this);
    g_signal_connect(m_pDirectory, "action-invoked::GetSortCapabilities",
                     G_CALLBACK(OnGetSortCapabilities), this);
    g_signal_connect(m_pDirectory, "action-invoked::GetSystemUpdateID",
                     G_CALLBACK(OnGetSystemUpdateId), this);
    g_signal_connect(m_pDirectory, "query-variable", G_CALLBACK(OnQueryDirectory), this);
    g_signal_connect(m_pConnections, "action-invoked::GetProtocolInfo",
                     G_CALLBACK(OnGetProtocolInfo), this);
    g_signal_connect(m_pConnections, "action-invoked::GetCurrentConnectionIDs",
                     G_CALLBACK(OnGetCurrentConnectionIds), this);
    g_signal_connect(m_pConnections, "action-invoked::GetCurrentConnectionInfo",
                     G_CALLBACK(OnGetCurrentConnectionInfo), this);
    g_signal_connect(m_pConnections, "query-variable", G_CALLBACK(OnQueryConnections), this);

    // Update ids start from the clock, so a restarted server never reports an id a player
    // has already seen for other content.
    m_nSystemUpdateId = static_cast<std::uint32_t>(g_get_real_time() / G_USEC_PER_SEC);
    for (const SectionRevision& section : m_owner.m_catalogue.Revisions())
      m_sections[section.id] = {section.revision, m_nSystemUpdateId};

    m_pPoll = g_timeout_source_new(static_cast<guint>(m_owner.m_pollInterval.count()));
    g_source_set_callback(m_pPoll, OnPoll, this, nullptr);
    g_source_attach(m_pPoll, g_main_context_get_thread_default());

    gupnp_root_device_set_available(m_pRoot, TRUE);
    m_strLocation = gupnp_device_info_get_location(GUPNP_DEVICE_INFO(m_pRoot));
    return true;
  }

  // Says goodbye and frees everything. The byebye messages leave from the main context, so
  // it runs until they are out.
  void Close() {
    if (m_pPoll) {
      g_source_destroy(m_pPoll);
      g_source_unref(m_pPoll);
      m_pPoll = nullptr;
    }
    if (m_pRoot && gupnp_root_device_get_available(m_pRoot)) {
      GSSDPResourceGroup* group = gupnp_root_device_get_ssdp_resource_group(m_pRoot);
      gssdp_resource_group_set_message_delay(group, kGoodbyeMessageDelayMs);
      gupnp_root_device_set_available(m_pRoot, FALSE);
      Pump(kGoodbyeTimeUs);
    }
    g_clear_object(&m_pDirectory);
    g_clear_object(&m_pConnections);
    g_clear_object(&m_pRoot);
    g_clear_object(&m_pContext);
    Pump(50 * 1000);  // lets the sockets' sources go
    RemovePrivateFolder(m_strFolder);
    m_strFolder.clear();
  }

  const std::string& Location() const { return m_strLocation; }

 private:
  static void Pump(gint64 microseconds) {
    GMainContext* context = g_main_context_get_thread_default();
    const gint64 end = g_get_monotonic_time() + microseconds;
    GSource* wake = g_timeout_source_new(10);
    g_source_set_callback(
        wake, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
    g_source_attach(wake, context);
    while (g_get_monotonic_time() < end) g_main_context_iteration(context, TRUE);
    g_source_destroy(wake);
    g_source_unref(wake);
  }

  // Refuses bodies too large to be a request of ours before they are read: libsoup would
  // read (and keep) any body to its end before a handler could answer. The connection is
  // taken from the server, told 413 and closed.
  static void OnRequestStarted(SoupServer*, SoupServerMessage* message, gpointer) {
    g_signal_connect(message, "got-headers", G_CALLBACK(OnGotHeaders), nullptr);
  }
  static void OnGotHeaders(SoupServerMessage* message, gpointer) {
    SoupMessageHeaders* headers = soup_server_message_get_request_headers(message);
    const bool chunked = soup_message_headers_get_encoding(headers) == SOUP_ENCODING_CHUNKED;
    if (!chunked && soup_message_headers_get_content_length(headers) <= kMaxRequestBody) return;
    GIOStream* stream = soup_server_message_steal_connection(message);
    if (!stream) return;
    static const char kTooLarge[] =
        "HTTP/1.1 413 Request Entity Too Large\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    GOutputStream* out = g_io_stream_get_output_stream(stream);
    g_pollable_output_stream_write_nonblocking(G_POLLABLE_OUTPUT_STREAM(out), kTooLarge,
                                               sizeof kTooLarge - 1, nullptr, nullptr);
    g_io_stream_close(stream, nullptr, nullptr);
    g_object_unref(stream);
  }

  // A control request that is not a well-formed call of one action is answered 400 here;
  // libsoup then skips the handlers.
  static void OnRequestRead(SoupServer*, SoupServerMessage* message, gpointer) {
    if (g_strcmp0(soup_server_message_get_method(message), "POST") != 0) return;
    const char* path = g_uri_get_path(soup_server_message_get_uri(message));
    if (!path || !g_str_has_suffix(path, "/control")) return;
    const char* soapAction = soup_message_headers_get_one(
        soup_server_message_get_request_headers(message), "SOAPAction");
    GBytes* body = soup_message_body_flatten(soup_server_message_get_request_body(message));
    gsize size = 0;
    const char* data = static_cast<const char*>(g_bytes_get_data(body, &size));
    const bool wellFormed =
        soapAction && IsWellFormedSoapRequest(std::string_view(data ? data : "", size), soapAction);
    g_bytes_unref(body);
    if (!wellFormed) soup_server_message_set_status(message, SOUP_STATUS_BAD_REQUEST, nullptr);
  }

  static gboolean OnPoll(gpointer self) {
    auto* device = static_cast<Device*>(self);
    device->NoteRevisions(device->m_owner.m_catalogue.Revisions());
    return G_SOURCE_CONTINUE;
  }

  // Advances the update ids when a section has changed since they were last given out, and
  // tells the subscribers.
  template <typename Sections>
  void NoteRevisions(const Sections& sections) {
    std::string changed;
    for (const auto& section : sections) {
      SectionState& state = m_sections[section.id];
      if (state.revision == section.revision && state.updateId != 0) continue;
      state.revision = section.revision;
      if (changed.empty()) ++m_nSystemUpdateId;
      state.updateId = m_nSystemUpdateId;
      if (!changed.empty()) changed += ",";
      changed += section.id + "," + std::to_string(m_nSystemUpdateId);
    }
    if (changed.empty()) return;
    gupnp_service_notify(GUPNP_SERVICE(m_pDirectory), "SystemUpdateID", G_TYPE_UINT,
                         m_nSystemUpdateId, "ContainerUpdateIDs", G_TYPE_STRING, changed.c_str(),
                         nullptr);
  }

  // The catalogue as the directory shows it: one container per section. File tests and probes
  // happen only for the container the request concerns.
  DlnaCatalogue Snapshot(const std::string& objectId) {
    CatalogueSnapshot snapshot = m_owner.m_catalogue.Snapshot();
    NoteRevisions(snapshot.sections);
    DlnaCatalogue catalogue;
    catalogue.mediaBaseUrl = "http://" + m_strAddress + ":" + std::to_string(kHttpPort);
    catalogue.systemUpdateId = m_nSystemUpdateId;
    for (CatalogueSection& section : snapshot.sections) {
      DlnaContainer& container = catalogue.containers.emplace_back();
      container.id = section.id;
      container.title = section.listType == SHARE_LIST_CONVERTED ? kConvertedTitle : kOrdinaryTitle;
      container.updateId = m_sections[section.id].updateId;
      const bool detailed = objectId == section.id || objectId.rfind(section.id + "$", 0) == 0;
      for (CatalogueVideo& entry : section.videos) {
        DlnaVideo video;
        if (detailed) {
          video.hasThumbnail = IsRegularFile(entry.thumbnailPath);
          video.facts = m_owner.m_catalogue.Facts(entry);
        }
        video.key = std::move(entry.key);
        video.name = std::move(entry.name);
        video.path = std::move(entry.path);
        video.urlPath = std::move(entry.urlPath);
        video.thumbnailUrlPath = std::move(entry.thumbnailUrlPath);
        container.videos.push_back(std::move(video));
      }
    }
    return catalogue;
  }

  static std::string TakeString(gchar* text) {
    std::string out = text ? text : "";
    g_free(text);
    return out;
  }

  static void OnBrowse(GUPnPService*, GUPnPServiceAction* action, gpointer self) {
    auto* device = static_cast<Device*>(self);
    gchar* objectId = nullptr;
    gchar* flag = nullptr;
    gchar* filter = nullptr;
    guint start = 0;
    guint count = 0;
    gupnp_service_action_get(action, "ObjectID", G_TYPE_STRING, &objectId, "BrowseFlag",
                             G_TYPE_STRING, &flag, "Filter", G_TYPE_STRING, &filter,
                             "StartingIndex", G_TYPE_UINT, &start, "RequestedCount", G_TYPE_UINT,
                             &count, nullptr);
    const bool complete = objectId && flag;
    DlnaBrowseRequest request;
    request.objectId = TakeString(objectId);
    request.browseFlag = TakeString(flag);
    request.filter = TakeString(filter);
    request.startingIndex = start;
    request.requestedCount = count;
    if (!complete) {
      gupnp_service_action_return_error(action, kUpnpErrorInvalidArgs, "Invalid Args");
      return;
    }
    DlnaBrowseResult result = DlnaBrowse(device->Snapshot(request.objectId), request);
    if (result.errorCode != 0) {
      gupnp_service_action_return_error(action, static_cast<guint>(result.errorCode),
                                        result.errorText.c_str());
      return;
    }
    gupnp_service_action_set(action, "Result", G_TYPE_STRING, result.result.c_str(),
                             "NumberReturned", G_TYPE_UINT, result.numberReturned, "TotalMatches",
                             G_TYPE_UINT, result.totalMatches, "UpdateID", G_TYPE_UINT,
                             result.updateId, nullptr);
    gupnp_service_action_return_success(action);
  }

  static void OnGetSearchCapabilities(GUPnPService*, GUPnPServiceAction* action, gpointer) {
    gupnp_service_action_set(action, "SearchCaps", G_TYPE_STRING, "", nullptr);
    gupnp_service_action_return_success(action);
  }

  static void OnGetSortCapabilities(GUPnPService*, GUPnPServiceAction* action, gpointer) {
    gupnp_service_action_set(action, "SortCaps", G_TYPE_STRING, "", nullptr);
    gupnp_service_action_return_success(action);
  }

  static void OnGetSystemUpdateId(GUPnPService*, GUPnPServiceAction* action, gpointer self) {
    auto* device = static_cast<Device*>(self);
    OnPoll(device);
    gupnp_service_action_set(action, "Id", G_TYPE_UINT, device->m_nSystemUpdateId, nullptr);
    gupnp_service_action_return_success(action);
  }

  static void OnQueryDirectory(GUPnPService*, const char* variable, GValue* value, gpointer self) {
    auto* device = static_cast<Device*>(self);
    if (g_strcmp0(variable, "SystemUpdateID") == 0) {
      g_value_init(value, G_TYPE_UINT);
      g_value_set_uint(value, device->m_nSystemUpdateId);
    } else if (g_strcmp0(variable, "ContainerUpdateIDs") == 0) {
      g_value_init(value, G_TYPE_STRING);
      g_value_set_string(value, "");
    }
  }

  static void OnGetProtocolInfo(GUPnPService*, GUPnPServiceAction* action, gpointer) {
    const std::string source = DlnaSourceProtocolInfo();
    gupnp_service_action_set(action, "Source", G_TYPE_STRING, source.c_str(), "Sink", G_TYPE_STRING,
                             "", nullptr);
    gupnp_service_action_return_success(action);
  }

  // Players stream by plain HTTP GET; no connection is ever prepared, so the only one is the
  // default connection 0.
  static void OnGetCurrentConnectionIds(GUPnPService*, GUPnPServiceAction* action, gpointer) {
    gupnp_service_action_set(action, "ConnectionIDs", G_TYPE_STRING, "0", nullptr);
    gupnp_service_action_return_success(action);
  }

  static void OnGetCurrentConnectionInfo(GUPnPService*, GUPnPServiceAction* action, gpointer) {
    gchar* idText = nullptr;
    gupnp_service_action_get(action, "ConnectionID", G_TYPE_STRING, &idText, nullptr);
    const std::string id = TakeString(idText);
    if (id != "0") {
      gupnp_service_action_return_error(action, 706, "Invalid connection reference");
      return;
    }
    gupnp_service_action_set(action, "RcsID", G_TYPE_INT, -1, "AVTransportID", G_TYPE_INT, -1,
                             "ProtocolInfo", G_TYPE_STRING, "", "PeerConnectionManager",
                             G_TYPE_STRING, "", "PeerConnectionID", G_TYPE_INT, -1, "Direction",
                             G_TYPE_STRING, "Output", "Status", G_TYPE_STRING, "OK", nullptr);
    gupnp_service_action_return_success(action);
  }

  static void OnQueryConnections(GUPnPService*, const char* variable, GValue* value, gpointer) {
    g_value_init(value, G_TYPE_STRING);
    if (g_strcmp0(variable, "SourceProtocolInfo") == 0) {
      g_value_set_string(value, DlnaSourceProtocolInfo().c_str());
    } else if (g_strcmp0(variable, "CurrentConnectionIDs") == 0) {
      g_value_set_string(value, "0");
    } else {
      g_value_set_string(value, "");
    }
  }

  DlnaServer& m_owner;
  std::string m_strAddress;
  std::string m_strFolder;
  std::string m_strLocation;
  GUPnPContext* m_pContext = nullptr;
  GUPnPRootDevice* m_pRoot = nullptr;
  GUPnPServiceInfo* m_pDirectory = nullptr;
  GUPnPServiceInfo* m_pConnections = nullptr;
  GSource* m_pPoll = nullptr;
  // What was last given out for a section: the revision seen and its container's update id.
  struct SectionState {
    std::uint64_t revision = 0;
    std::uint32_t updateId = 0;
  };
  std::uint32_t m_nSystemUpdateId = 0;
  std::map<std::string, SectionState> m_sections;  // by section id
};

DlnaServer::DlnaServer(Mediator& catalogue) : m_catalogue(catalogue) {}

DlnaServer::~DlnaServer() { Stop(); }

std::string DlnaServer::FriendlyName() { return "BriselVR助手 (" + HostName() + ")"; }

std::string DlnaServer::DeviceUdn(const std::string& dataFolder) {
  std::string machine = MachineId();
  if (machine.empty()) machine = HostName();
  return "uuid:" + NameBasedUuid("BriselVR DLNA\n" + machine + "\n" + dataFolder);
}

bool DlnaServer::Start(const std::string& address) {
  if (m_thread.joinable()) return false;
  RouteLibraryMessages();
  {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_state = State{};
  }
  m_bStop = false;
  m_pMainContext = g_main_context_new();
  m_thread = std::thread(&DlnaServer::Run, this, address);
  return true;
}

void DlnaServer::RequestStop() {
  m_bStop = true;
  if (m_pMainContext) g_main_context_wakeup(m_pMainContext);
}

void DlnaServer::Stop() {
  RequestStop();
  if (m_thread.joinable()) m_thread.join();
  if (m_pMainContext) {
    g_main_context_unref(m_pMainContext);
    m_pMainContext = nullptr;
  }
  std::lock_guard<std::mutex> lock(m_stateMutex);
  m_state.running = false;
  m_state.location.clear();
}

DlnaServer::State DlnaServer::WaitUntilSettled(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(m_stateMutex);
  m_stateChanged.wait_for(lock, timeout, [this] { return m_state.settled; });
  return m_state;
}

void DlnaServer::Settle(bool running, const std::string& error, const std::string& location) {
  std::lock_guard<std::mutex> lock(m_stateMutex);
  m_state.settled = true;
  m_state.running = running;
  m_state.error = error;
  m_state.location = location;
  m_stateChanged.notify_all();
}

void DlnaServer::Run(std::string address) {
  pthread_setname_np(pthread_self(), "DLNA线程");
  g_main_context_push_thread_default(m_pMainContext);
  {
    Device device(*this, address);
    std::string error;
    if (!device.Open(&error)) {
      device.Close();
      WriteLog("DLNA media server could not start on " + address + ": " + error, kTag);
      ServiceDiagnostic("DLNA: %s\n", error.c_str());
      Settle(false, error, {});
    } else {
      WriteLog("DLNA media server started: " + device.Location(), kTag);
      Settle(true, {}, device.Location());
      while (!m_bStop.load()) g_main_context_iteration(m_pMainContext, TRUE);
      device.Close();
      WriteLog("DLNA media server stopped on " + address, kTag);
    }
  }
  g_main_context_pop_thread_default(m_pMainContext);
}

}  // namespace brisel
