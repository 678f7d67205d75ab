#include "ConService/MediaServer.h"

#include <arpa/inet.h>
#include <civetweb.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "ConService/HeadsetLibrary.h"
#include "ConService/HttpRange.h"
#include "ConService/ServiceDiagnostics.h"
#include "ConService/VideoTypes.h"
#include "platform/FileSystem.h"

namespace brisel {
namespace {

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

// Bodies up to this size go out in the same write as the header: one segment, one
// syscall, which is what makes thumbnails and small ranges fast.
constexpr std::uint64_t kInlineBodyLimit = 64 * 1024;
// Without progress for this long a stalled download is given up (a paused player may stop
// reading for a while).
constexpr int kStallLimitMs = 30000;

// Whether CivetWeb keeps this connection open after the answer; our answers say the same.
bool KeepsAlive(mg_connection* conn) {
  const char* connection = mg_get_header(conn, "Connection");
  if (connection) {
    for (const char* p = connection; *p; ++p) {
      if (strncasecmp(p, "keep-alive", 10) == 0) return true;
    }
    return false;
  }
  const char* version = mg_get_request_info(conn)->http_version;
  return !version || std::strcmp(version, "1.0") != 0;
}

// Whether `fd` is a connection accepted on address:port, and from whom.
bool AcceptedOn(int fd, const in_addr& address, int port, sockaddr_in* peer) {
  sockaddr_in local{};
  socklen_t localLength = sizeof local, peerLength = sizeof *peer;
  return getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) == 0 &&
         local.sin_family == AF_INET && ntohs(local.sin_port) == port &&
         local.sin_addr.s_addr == address.s_addr &&
         getpeername(fd, reinterpret_cast<sockaddr*>(peer), &peerLength) == 0 &&
         peer->sin_family == AF_INET;
}

struct AcceptedConnection {
  std::uint32_t peer;  // the peer's address, network order
  ino_t inode;         // grows with every socket made: the newest come last
  int pinned;          // our own copy of the descriptor, so it stays this socket until closed
};

// Every connection accepted on address:port, found among our own descriptors: CivetWeb tells
// a connection's peer only once its request head has arrived and never hands out its sockets.
// The caller closes each `pinned`.
std::vector<AcceptedConnection> AcceptedConnections(const std::string& address, int port) {
  std::vector<AcceptedConnection> connections;
  in_addr listening{};
  if (inet_pton(AF_INET, address.c_str(), &listening) != 1) return connections;
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return connections;
  const int listing = dirfd(dir);
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const int fd = std::atoi(entry->d_name);
    if (fd == listing) continue;
    // A worker may close the descriptor at any time and the number be reused: every look and
    // any shutdown go through a copy made first.
    const int pinned = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (pinned < 0) continue;
    sockaddr_in peer{};
    struct stat st;
    if (AcceptedOn(pinned, listening, port, &peer) && fstat(pinned, &st) == 0)
      connections.push_back({peer.sin_addr.s_addr, st.st_ino, pinned});
    else
      close(pinned);
  }
  closedir(dir);
  return connections;
}

// The socket of this connection: CivetWeb does not hand it out, so it is found once per
// connection among our own descriptors by its two addresses, and then remembered.
bool SocketMatches(int fd, const mg_request_info* info, int localPort) {
  sockaddr_storage local{}, peer{};
  socklen_t localLength = sizeof local, peerLength = sizeof peer;
  if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 ||
      local.ss_family != AF_INET ||
      ntohs(reinterpret_cast<sockaddr_in*>(&local)->sin_port) != localPort)
    return false;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0 ||
      peer.ss_family != AF_INET)
    return false;
  const auto* p = reinterpret_cast<sockaddr_in*>(&peer);
  char text[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &p->sin_addr, text, sizeof text);
  return ntohs(p->sin_port) == info->remote_port && std::strcmp(text, info->remote_addr) == 0;
}

int ConnectionSocket(mg_connection* conn, int localPort) {
  const mg_request_info* info = mg_get_request_info(conn);
  auto remembered = reinterpret_cast<std::intptr_t>(mg_get_user_connection_data(conn));
  if (remembered > 0 && SocketMatches(static_cast<int>(remembered - 1), info, localPort))
    return static_cast<int>(remembered - 1);
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int found = -1;
  const int listing = dirfd(dir);
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    int fd = std::atoi(entry->d_name);
    if (fd == listing || !SocketMatches(fd, info, localPort)) continue;
    found = fd;
    break;
  }
  closedir(dir);
  if (found >= 0) {
    mg_set_user_connection_data(conn,
                                reinterpret_cast<void*>(static_cast<std::intptr_t>(found) + 1));
  }
  return found;
}

bool PreadAll(int fd, char* out, std::uint64_t length, std::uint64_t offset) {
  while (length > 0) {
    ssize_t n = pread(fd, out, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    length -= static_cast<std::uint64_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

// Players send small JSON bodies (credentials, ratings); anything beyond this is refused.
constexpr long long kMaxLibraryBodyBytes = 1 << 20;

// Reads and drops a request body; false when it is longer than the limit. A request that gives
// neither a length nor chunks has no body to read.
bool DiscardBody(mg_connection* conn) {
  const mg_request_info* info = mg_get_request_info(conn);
  const char* encoding = mg_get_header(conn, "Transfer-Encoding");
  const bool chunked = encoding && strcasecmp(encoding, "chunked") == 0;
  if (info->content_length > kMaxLibraryBodyBytes) return false;
  if (info->content_length <= 0 && !chunked) return true;
  char buffer[16384];
  long long total = 0;
  for (;;) {
    const int n = mg_read(conn, buffer, sizeof buffer);
    if (n <= 0) return true;
    total += n;
    if (total > kMaxLibraryBodyBytes) return false;
  }
}

std::once_flag g_libraryInit;

}  // namespace

MediaServer::ServedFile::ServedFile(ServedFile&& other) noexcept
    : kind(other.kind),
      fd(std::exchange(other.fd, -1)),
      status(other.status),
      path(std::move(other.path)) {}

MediaServer::ServedFile& MediaServer::ServedFile::operator=(ServedFile&& other) noexcept {
  if (this != &other) {
    if (fd >= 0) close(fd);
    kind = other.kind;
    fd = std::exchange(other.fd, -1);
    status = other.status;
    path = std::move(other.path);
  }
  return *this;
}

MediaServer::ServedFile::~ServedFile() {
  if (fd >= 0) close(fd);
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
  const std::string requestTimeout = std::to_string(kRequestTimeoutMs);
  const std::string keepAliveTimeout = std::to_string(kKeepAliveTimeoutMs);
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
      // From the connection's start: a peer that sends its request head slowly, or half of it
      // and then nothing, frees its worker after this long.
      "request_timeout_ms",
      requestTimeout.c_str(),
      "keep_alive_timeout_ms",
      keepAliveTimeout.c_str(),
      // No program in the shared folder ever runs: patterns that match no path.
      "cgi_pattern",
      "-",
      "ssi_pattern",
      "-",
      // Half-written record files are neither listed nor served.
      "hide_files_patterns",
      "**.tmp-??????$",
      "extra_mime_types",
      mimeTypes.c_str(),
      nullptr,
  };
  mg_callbacks callbacks{};
  callbacks.http_error = &MediaServer::HandleHttpError;
  callbacks.init_connection = &MediaServer::OnNewConnection;
  callbacks.connection_close = &MediaServer::OnConnectionClose;
  m_nConnections = 0;
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
  // every two seconds; a few connections to our own listener wake it at once. Its workers
  // waiting on a kept-alive connection look every two seconds as well: cutting the
  // connections wakes them. Bounded: at most two seconds of knocking, to our own address only.
  m_bStopping = true;
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
      for (const AcceptedConnection& c : AcceptedConnections(m_strAddress, m_nPort)) {
        shutdown(c.pinned, SHUT_RDWR);
        close(c.pinned);
      }
    }
  });
  mg_stop(m_pContext);
  stopped = true;
  knocker.join();
  m_pContext = nullptr;
  m_bStopping = false;
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

int MediaServer::OnNewConnection(const mg_connection* conn, void** data) {
  *data = nullptr;  // no remembered socket yet
  auto* self = static_cast<MediaServer*>(mg_get_user_data(mg_get_context(conn)));
  // Only a server this busy can have a peer beyond its share.
  if (self && self->m_nConnections.fetch_add(1) + 1 > kMaxConnectionsPerPeer) self->LimitPeers();
  return 0;
}

void MediaServer::OnConnectionClose(const mg_connection* conn) {
  auto* self = static_cast<MediaServer*>(mg_get_user_data(mg_get_context(conn)));
  if (self) self->m_nConnections.fetch_sub(1);
}

void MediaServer::LimitPeers() {
  std::lock_guard<std::mutex> lock(m_limitMutex);
  std::map<std::uint32_t, std::vector<AcceptedConnection>> byPeer;
  for (const AcceptedConnection& c : AcceptedConnections(m_strAddress, m_nPort))
    byPeer[c.peer].push_back(c);
  for (auto& [peer, connections] : byPeer) {
    if (connections.size() > static_cast<std::size_t>(kMaxConnectionsPerPeer)) {
      std::sort(connections.begin(), connections.end(),
                [](const AcceptedConnection& a, const AcceptedConnection& b) {
                  return a.inode < b.inode;
                });
      char text[INET_ADDRSTRLEN] = "";
      in_addr address{peer};
      inet_ntop(AF_INET, &address, text, sizeof text);
      ServiceDiagnostic("Too many connections from %s: %zu closed\n", text,
                        connections.size() - kMaxConnectionsPerPeer);
      // Each one's worker sees the end at once and lets it go.
      for (std::size_t i = kMaxConnectionsPerPeer; i < connections.size(); ++i)
        shutdown(connections[i].pinned, SHUT_RDWR);
    }
    for (const AcceptedConnection& c : connections) close(c.pinned);
  }
}

int MediaServer::HandleRequest(mg_connection* conn, void* self) {
  return static_cast<MediaServer*>(self)->Serve(conn);
}

int MediaServer::Serve(mg_connection* conn) {
  const mg_request_info* info = mg_get_request_info(conn);
  const bool get = std::strcmp(info->request_method, "GET") == 0;
  if (m_pLibrary && info->local_uri && HeadsetLibrary::Claims(info->local_uri)) {
    const bool head = std::strcmp(info->request_method, "HEAD") == 0;
    if (get || head || std::strcmp(info->request_method, "POST") == 0)
      return ServeLibrary(conn, head);
    return 0;  // CivetWeb's own answer: changes need credentials nobody has
  }
  if (!get && std::strcmp(info->request_method, "HEAD") != 0) return 0;  // CivetWeb's own
  if (!info->local_uri || info->local_uri[0] != '/') return 0;
  const std::string_view uri(info->local_uri);
  // CivetWeb has already resolved "." and ".." segments; anything left is refused.
  if (HasDotDotSegment(uri)) {
    SendNotFound(conn);
    return 404;
  }
  // CivetWeb's own rules for the files it never sends: its password files, and its hidden
  // files (half-written record files), which it answers 404.
  if (uri.size() >= 10 && uri.substr(uri.size() - 10) == ".htpasswd") return 0;
  if (IsAtomicWriteTemporaryName(uri.substr(uri.rfind('/') + 1))) return 0;
  const ServedFile file = m_catalogue.OpenServedFile(uri);
  // Folders (listings, the redirect to "/"), missing and unreadable files: CivetWeb's answer.
  if (file.kind == ServedFile::Kind::NotOurs) return 0;
  if (file.kind == ServedFile::Kind::NotFound) {
    SendNotFound(conn);
    return 404;
  }
  const struct stat& st = file.status;
  const std::string& path = file.path;
  const char* mime = VideoMimeType(path);
  if (!mime) mime = mg_get_builtin_mime_type(path.c_str());

  // A copy the client already holds: CivetWeb's 304.
  if (IsNotModified(conn, st)) {
    mg_send_mime_file2(conn, path.c_str(), mime, nullptr);
    return 304;
  }
  const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
  HttpRange range;
  if (const char* header = mg_get_header(conn, "Range")) {
    range = HttpRange::Decide(header, size);
    if (!IfRangeHolds(conn, st)) range.kind = HttpRange::Kind::Whole;
  }
  if (range.kind == HttpRange::Kind::Unsatisfiable) {
    char contentRange[64];
    std::snprintf(contentRange, sizeof contentRange, "bytes */%" PRIu64, size);
    mg_response_header_start(conn, 416);
    mg_response_header_add(conn, "Content-Range", contentRange, -1);
    mg_response_header_add(conn, "Accept-Ranges", "bytes", -1);
    mg_response_header_add(conn, "Content-Length", "0", -1);
    mg_response_header_send(conn);
    return 416;
  }
  const bool partial = range.kind == HttpRange::Kind::Partial;
  const std::uint64_t first = partial ? range.first : 0;
  const std::uint64_t length = partial ? range.last - range.first + 1 : size;
  return SendFile(conn, file.fd, st, mime, partial, first, length, !get);
}

int MediaServer::ServeLibrary(mg_connection* conn, bool headOnly) {
  const mg_request_info* info = mg_get_request_info(conn);
  // Whatever a player sends (credentials, ratings, a request to delete the file) is read and
  // dropped: nothing is ever changed through these paths.
  HeadsetLibrary::Reply reply;
  const bool tooLarge = !DiscardBody(conn);
  if (tooLarge) {
    reply.status = 413;
    reply.body = R"({"error":"request body too large"})";
  } else {
    reply = m_pLibrary->Answer(info->local_uri, mg_get_header(conn, "Host"));
  }
  // CivetWeb keeps a connection only when the request's body was read to its known end.
  const bool keepAlive = !tooLarge && info->content_length >= 0 && KeepsAlive(conn);
  char line[128];
  std::snprintf(line, sizeof line, "HTTP/1.1 %d %s\r\n", reply.status,
                mg_get_response_code_text(conn, reply.status));
  std::string out = line;
  out += "Content-Type: application/json; charset=utf-8\r\n";
  out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  out += "Cache-Control: no-store\r\n";
  if (reply.hereSphere) out += "HereSphere-JSON-Version: 1\r\n";
  out += "Date: " + HttpDate(std::time(nullptr)) + "\r\n";
  out += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
  if (!headOnly) out += reply.body;
  mg_write(conn, out.data(), out.size());
  return reply.status;
}

int MediaServer::SendFile(mg_connection* conn, int fd, const struct stat& st, const char* mime,
                          bool partial, std::uint64_t first, std::uint64_t length, bool headOnly) {
  // The header CivetWeb itself would send for this file.
  thread_local std::string out;
  out.clear();
  char line[256];
  std::snprintf(line, sizeof line, "HTTP/1.1 %s\r\nCache-Control: max-age=3600\r\n",
                partial ? "206 Partial Content" : "200 OK");
  out += line;
  out += "Content-Type: ";
  out += mime;
  out += "\r\nLast-Modified: " + HttpDate(st.st_mtime) + "\r\nEtag: " + ETagOf(st) + "\r\n";
  std::snprintf(line, sizeof line, "Content-Length: %" PRIu64 "\r\nAccept-Ranges: bytes\r\n",
                length);
  out += line;
  if (partial) {
    std::snprintf(line, sizeof line, "Content-Range: bytes %" PRIu64 "-%" PRIu64 "/%" PRIu64 "\r\n",
                  first, first + length - 1, static_cast<std::uint64_t>(st.st_size));
    out += line;
  }
  out += "Date: " + HttpDate(std::time(nullptr)) + "\r\n";
  out += KeepsAlive(conn) ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
  const int status = partial ? 206 : 200;
  if (headOnly) {
    mg_write(conn, out.data(), out.size());
    return status;
  }

  if (length <= kInlineBodyLimit) {
    const std::size_t headSize = out.size();
    out.resize(headSize + length);
    if (!PreadAll(fd, out.data() + headSize, length, first)) {
      // The file shrank under us: what was promised cannot be sent.
      mg_send_http_error(conn, 500, "Error: Cannot read file");
      return 500;
    }
    mg_write(conn, out.data(), out.size());
    return status;
  }

  if (mg_write(conn, out.data(), out.size()) != static_cast<int>(out.size())) return status;
  const int sock = ConnectionSocket(conn, m_nPort);
  if (sock < 0) {
    // No socket to hand the file to: copy it through CivetWeb in large pieces.
    std::string buffer(1 << 20, '\0');
    while (length > 0 && !m_bStopping) {
      const std::uint64_t piece = std::min<std::uint64_t>(length, buffer.size());
      if (!PreadAll(fd, buffer.data(), piece, first) ||
          mg_write(conn, buffer.data(), piece) != static_cast<int>(piece))
        break;
      first += piece;
      length -= piece;
    }
    return status;
  }
  // The body goes from the page cache straight to the socket. The socket is CivetWeb's and
  // stays non-blocking; we wait for room ourselves, a little at a time, so a stop request or a
  // stalled phone ends the transfer.
  const int flags = fcntl(sock, F_GETFL);
  if (flags >= 0 && !(flags & O_NONBLOCK)) fcntl(sock, F_SETFL, flags | O_NONBLOCK);
  off_t offset = static_cast<off_t>(first);
  int stalledMs = 0;
  while (length > 0 && !m_bStopping) {
    ssize_t sent = sendfile(sock, fd, &offset, std::min<std::uint64_t>(length, 1u << 30));
    if (sent > 0) {
      length -= static_cast<std::uint64_t>(sent);
      stalledMs = 0;
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && stalledMs < kStallLimitMs) {
      pollfd p{sock, POLLOUT, 0};
      if (poll(&p, 1, 200) == 0) stalledMs += 200;
      continue;
    }
    break;  // the phone went away, the file shrank, or the phone stopped reading
  }
  if (flags >= 0 && !(flags & O_NONBLOCK)) fcntl(sock, F_SETFL, flags);
  // A body cut short leaves the stream unusable: make CivetWeb close the connection.
  if (length > 0) shutdown(sock, SHUT_RDWR);
  return status;
}

}  // namespace brisel
