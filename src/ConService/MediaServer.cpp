#include "ConService/MediaServer.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <thread>

#include "ConService/HttpRange.h"
#include "ConService/ListProtocol.h"
#include "ConService/ShareRecord.h"

namespace brisel {
namespace {

struct VideoType {
  const char* extension;
  const char* mime;
};
constexpr VideoType kVideoTypes[] = {
    {".mp4", "video/mp4"},       {".mkv", "video/x-matroska"},
    {".flv", "video/x-flv"},     {".rmvb", "application/vnd.rn-realmedia-vbr"},
    {".wmv", "video/x-ms-wmv"},  {".avi", "video/x-msvideo"},
    {".mpeg", "video/mpeg"},     {".3gp", "video/3gpp"},
    {".ts", "video/mp2t"},       {".m4v", "video/x-m4v"},
    {".mov", "video/quicktime"}, {".webm", "video/webm"},
};

// The realm CivetWeb itself uses for the challenges it sends (its default domain).
constexpr const char* kAuthRealm = "mydomain.com";

std::string ExtraMimeTypes() {
  std::string option;
  for (const VideoType& type : kVideoTypes) {
    if (!option.empty()) option += ',';
    option += std::string(type.extension) + "=" + type.mime;
  }
  return option;
}

// CivetWeb's own validators, so that what we decide agrees with what it sends.
std::string ETagOf(const struct stat& st) {
  char text[64];
  std::snprintf(text, sizeof text, "\"%lx.%" PRId64 "\"", static_cast<unsigned long>(st.st_mtime),
                static_cast<std::int64_t>(st.st_size));
  return text;
}

std::string HttpDate(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[64];
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return text;
}

bool ParseHttpDate(const char* text, std::time_t* out) {
  std::tm tm{};
  const char* end = strptime(text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  if (!end) return false;
  *out = timegm(&tm);
  return true;
}

// The answer CivetWeb gives as 304 (it checks these before anything else).
bool IsNotModified(mg_connection* conn, const struct stat& st) {
  const char* inm = mg_get_header(conn, "If-None-Match");
  const char* ims = mg_get_header(conn, "If-Modified-Since");
  std::time_t since = 0;
  return (inm && strcasecmp(ETagOf(st).c_str(), inm) == 0) ||
         (ims && ParseHttpDate(ims, &since) && st.st_mtime <= since);
}

// If-Range: the range applies only while the file is the one the client knows.
bool IfRangeHolds(mg_connection* conn, const struct stat& st) {
  const char* value = mg_get_header(conn, "If-Range");
  if (!value) return true;
  if (value[0] == '"' || value[0] == 'W') return ETagOf(st) == value;  // weak never matches
  return HttpDate(st.st_mtime) == value;
}

// CivetWeb reads request headers through mg_get_header from the request info it keeps for
// the connection; the decided range is put there before the file is sent, so its own
// sendfile path sends exactly that range.
void SetRequestHeader(mg_connection* conn, const char* name, const char* value) {
  auto* info = const_cast<mg_request_info*>(mg_get_request_info(conn));
  for (int i = 0; i < info->num_headers; ++i) {
    if (strcasecmp(info->http_headers[i].name, name) != 0) continue;
    if (value) {
      info->http_headers[i].value = value;
    } else {
      info->http_headers[i].name = "X-Ignored-Range";
    }
  }
}

bool HasDotDotSegment(std::string_view uri) {
  std::size_t start = 0;
  while (start <= uri.size()) {
    std::size_t end = uri.find('/', start);
    if (end == std::string_view::npos) end = uri.size();
    if (uri.substr(start, end - start) == "..") return true;
    start = end + 1;
  }
  return false;
}

void SendNotFound(mg_connection* conn) { mg_send_http_error(conn, 404, "Error: File not found"); }

void SendDigestChallenge(mg_connection* conn) {
  static std::atomic<std::uint64_t> counter{std::random_device{}()};
  char response[512];
  int n = std::snprintf(response, sizeof response,
                        "HTTP/1.1 401 Unauthorized\r\n"
                        "Content-Length: 0\r\n"
                        "WWW-Authenticate: Digest qop=\"auth\", realm=\"%s\", nonce=\"%" PRIu64
                        "\"\r\n"
                        "Connection: close\r\n\r\n",
                        kAuthRealm, counter.fetch_add(0x9E3779B97F4A7C15ull));
  mg_write(conn, response, static_cast<std::size_t>(n));
}

std::once_flag g_libraryInit;

}  // namespace

const char* MediaServer::VideoMimeType(std::string_view path) {
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos)
    return nullptr;
  std::string_view extension = path.substr(dot);
  for (const VideoType& type : kVideoTypes) {
    if (extension.size() == std::strlen(type.extension) &&
        strncasecmp(extension.data(), type.extension, extension.size()) == 0)
      return type.mime;
  }
  return nullptr;
}

MediaServer::~MediaServer() { Stop(); }

bool MediaServer::Start(const std::string& address, int port, const std::string& documentRoot,
                        std::string* error) {
  std::call_once(g_libraryInit, [] { mg_init_library(0); });
  Stop();
  m_strRoot = documentRoot;
  m_strAddress = address;
  m_nPort = port;
  const std::string listening = address + ":" + std::to_string(port);
  const std::string threads = std::to_string(kWorkerThreads);
  const std::string mimeTypes = ExtraMimeTypes();
  const char* options[] = {
      "listening_ports",
      listening.c_str(),
      "document_root",
      m_strRoot.c_str(),
      "enable_directory_listing",
      "yes",
      "enable_keep_alive",
      "yes",
      // CivetWeb writes a response's header lines one by one: without this every small
      // answer waits for the peer's delayed ACK.
      "tcp_nodelay",
      "1",
      "num_threads",
      threads.c_str(),
      // No program in the shared folder ever runs: patterns that match no path.
      "cgi_pattern",
      "-",
      "ssi_pattern",
      "-",
      "extra_mime_types",
      mimeTypes.c_str(),
      nullptr,
  };
  mg_callbacks callbacks{};
  callbacks.http_error = &MediaServer::HandleHttpError;
  mg_init_data init{};
  init.callbacks = &callbacks;
  init.user_data = this;
  init.configuration_options = options;
  char text[256] = "";
  unsigned code = 0;
  mg_error_data failure{&code, text, sizeof text};
  m_pContext = mg_start2(&init, &failure);
  if (!m_pContext) {
    if (error) *error = "cannot serve HTTP on " + listening + ": " + (text[0] ? text : "failed");
    return false;
  }
  mg_set_request_handler(m_pContext, "/", &MediaServer::HandleRequest, this);
  return true;
}

void MediaServer::Stop() {
  if (!m_pContext) return;
  // CivetWeb's listener notices the stop request only when its poll wakes, which it does
  // every two seconds; a few connections to our own listener wake it at once. Bounded: at
  // most two seconds of knocking, to our own address only.
  std::atomic<bool> stopped{false};
  std::thread knocker([this, &stopped] {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(m_nPort));
    if (inet_pton(AF_INET, m_strAddress.c_str(), &to.sin_addr) != 1) return;
    for (int i = 0; i < 100 && !stopped.load(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      if (fd < 0) continue;
      connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);
      close(fd);
    }
  });
  mg_stop(m_pContext);
  stopped = true;
  knocker.join();
  m_pContext = nullptr;
}

int MediaServer::HandleHttpError(mg_connection* conn, int status, const char*) {
  // CivetWeb does not know MOVE and COPY and calls them bad requests; like every other
  // change to the shared folder they need credentials nobody has.
  const mg_request_info* info = mg_get_request_info(conn);
  if (status == 400 && info && info->request_method &&
      (std::strcmp(info->request_method, "MOVE") == 0 ||
       std::strcmp(info->request_method, "COPY") == 0)) {
    SendDigestChallenge(conn);
    return 0;
  }
  return 1;
}

int MediaServer::HandleRequest(mg_connection* conn, void* self) {
  return static_cast<MediaServer*>(self)->Serve(conn);
}

int MediaServer::Serve(mg_connection* conn) {
  const mg_request_info* info = mg_get_request_info(conn);
  const bool get = std::strcmp(info->request_method, "GET") == 0;
  if (!get && std::strcmp(info->request_method, "HEAD") != 0) return 0;  // CivetWeb's own
  if (!info->local_uri || info->local_uri[0] != '/') return 0;
  const std::string_view uri(info->local_uri);
  // CivetWeb has already resolved "." and ".." segments; anything left is refused.
  if (HasDotDotSegment(uri)) {
    SendNotFound(conn);
    return 404;
  }
  std::string path = m_strRoot + std::string(uri);
  struct stat st;
  // Folders (listings, the redirect to "/"), missing files and CivetWeb's hidden files are
  // answered by CivetWeb.
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  if (uri.size() >= 10 && uri.substr(uri.size() - 10) == ".htpasswd") return 0;

  const char* mime = VideoMimeType(path);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  char head[kMaxRecordFileBytes];
  ssize_t n = read(fd, head, sizeof head);
  close(fd);
  if (n >= 4 && std::memcmp(head, kLanMagic, 4) == 0) {
    // A record file: the request is for the video it names.
    std::string video;
    if (!ShareRecord::VideoPathOfRecordFile(std::string_view(head, static_cast<std::size_t>(n)),
                                            &video) ||
        stat(video.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
      SendNotFound(conn);
      return 404;
    }
    path = std::move(video);
    mime = VideoMimeType(path);
    if (!mime) mime = mg_get_builtin_mime_type(path.c_str());
  }

  char range[64];
  if (mg_get_header(conn, "Range") && !IsNotModified(conn, st)) {
    HttpRange decided =
        HttpRange::Decide(mg_get_header(conn, "Range"), static_cast<std::uint64_t>(st.st_size));
    if (!IfRangeHolds(conn, st)) decided.kind = HttpRange::Kind::Whole;
    switch (decided.kind) {
      case HttpRange::Kind::Whole:
        SetRequestHeader(conn, "Range", nullptr);
        break;
      case HttpRange::Kind::Partial:
        std::snprintf(range, sizeof range, "bytes=%" PRIu64 "-%" PRIu64, decided.first,
                      decided.last);
        SetRequestHeader(conn, "Range", range);
        break;
      case HttpRange::Kind::Unsatisfiable: {
        char contentRange[64];
        std::snprintf(contentRange, sizeof contentRange, "bytes */%" PRId64,
                      static_cast<std::int64_t>(st.st_size));
        mg_response_header_start(conn, 416);
        mg_response_header_add(conn, "Content-Range", contentRange, -1);
        mg_response_header_add(conn, "Accept-Ranges", "bytes", -1);
        mg_response_header_add(conn, "Content-Length", "0", -1);
        mg_response_header_send(conn);
        return 416;
      }
    }
  }
  mg_send_mime_file2(conn, path.c_str(), mime, nullptr);
  return 200;
}

}  // namespace brisel
