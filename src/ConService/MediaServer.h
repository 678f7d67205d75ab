#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

struct mg_connection;
struct mg_context;

namespace brisel {

class HeadsetLibrary;

// The media HTTP server on CivetWeb: a static file server over a document root (directory
// listings, WebDAV listing, ETag, 304s, byte ranges) whose files the catalogue may stand in
// for: the catalogue's record files are answered with the videos they name (the Mediator
// decides which file answers a request). CivetWeb parses the requests, lists folders,
// answers 304s, WebDAV and errors; files themselves are answered here, because CivetWeb gets
// unsatisfiable, overlong and suffix ranges wrong, writes a header line by line, and gives up
// sendfile at the first full socket buffer. Small bodies leave with their header in one write;
// large ones go by sendfile. Writes (PUT, DELETE, MKCOL, MOVE, COPY) are refused with a
// digest challenge, since no password file exists. With a headset library set, its paths
// ("/deovr", "/heresphere" and below) are answered by it, for GET, HEAD and POST. Temporary
// files of record saves are hidden.
//
// A peer on the LAN cannot keep the phones from being served: a connection has a bounded time
// to send its request head, and one peer address holds at most half the workers; its newest
// connections beyond that are closed as soon as the server is that busy.
//
// Thread contract: Start and Stop on one thread (the service's HTTP thread); requests are
// served on CivetWeb's worker threads, which touch only files, this object's constant fields,
// the mediator and the headset library (both called from many workers at once) and its
// connection count (atomic; the peer limit takes its own lock).
class MediaServer {
 public:
  // The file a request is answered with, open for reading; closed with this object.
  struct ServedFile {
    enum class Kind {
      NotOurs,   // the server answers as a plain static server (folders, missing files)
      NotFound,  // it stands for a file that cannot be sent: 404
      File,      // `fd` is sent
    };
    Kind kind = Kind::NotOurs;
    int fd = -1;
    struct stat status {};
    std::string path;  // of the file sent: its extension gives the content type

    ServedFile() = default;
    explicit ServedFile(Kind k) : kind(k) {}
    ServedFile(ServedFile&& other) noexcept;
    ServedFile& operator=(ServedFile&& other) noexcept;
    ~ServedFile();
  };

  // What the server needs of the catalogue whose document root it serves.
  class Mediator {
   public:
    virtual ~Mediator() = default;
    // The file that answers a GET or HEAD of `uri`: a path below the document root, decoded,
    // without "." or ".." segments. Called on CivetWeb's workers, many at once.
    virtual ServedFile OpenServedFile(std::string_view uri) const = 0;
  };

  // Worker threads: one per keep-alive connection, so 64 phones streaming and fetching
  // thumbnails at once are all served.
  static constexpr int kWorkerThreads = 128;
  // Connections one peer address may hold at once: the other half of the workers is always
  // there for everyone else (a phone streams over a few connections).
  static constexpr int kMaxConnectionsPerPeer = kWorkerThreads / 2;
  // A request head must arrive within this time of the connection (CivetWeb's request
  // timeout, which also bounds a small answer's wait for the phone to read it).
  static constexpr int kRequestTimeoutMs = 10000;
  // How long a kept-alive connection waits for its next request. A player plays from what it
  // holds before it asks for the next range, and the end of a large answer may still be on its
  // way to the phone when our last write returns; CivetWeb's own half second closed
  // connections the phone was about to use.
  static constexpr int kKeepAliveTimeoutMs = 10000;

  // `catalogue` must outlive the server's run (Stop or the destructor).
  explicit MediaServer(const Mediator& catalogue) : m_catalogue(catalogue) {}
  ~MediaServer();  // Stop
  MediaServer(const MediaServer&) = delete;
  MediaServer& operator=(const MediaServer&) = delete;

  // The library headset players browse; set it before Start. It must outlive the server's
  // run (Stop or the destructor).
  void SetHeadsetLibrary(const HeadsetLibrary* library) { m_pLibrary = library; }

  // Listens on address:port only, serving `documentRoot` (the catalogue's). False, with `error`
  // telling why (address not local, port taken), when the server cannot start.
  bool Start(const std::string& address, int port, const std::string& documentRoot,
             std::string* error);
  // Closes the listener and every connection (downloads in progress are cut).
  void Stop();
  bool Running() const { return m_pContext != nullptr; }

 private:
  static int HandleRequest(mg_connection* conn, void* self);
  static int OnNewConnection(const mg_connection* conn, void** data);
  static void OnConnectionClose(const mg_connection* conn);
  // Closes the newest connections of every peer that holds more than its share.
  void LimitPeers();
  static int HandleHttpError(mg_connection* conn, int status, const char* message);
  int Serve(mg_connection* conn);
  int ServeLibrary(mg_connection* conn, bool headOnly);
  int SendFile(mg_connection* conn, int fd, const struct stat& st, const char* mime, bool partial,
               std::uint64_t first, std::uint64_t length, bool headOnly);

  const Mediator& m_catalogue;
  mg_context* m_pContext = nullptr;
  const HeadsetLibrary* m_pLibrary = nullptr;
  std::string m_strRoot;
  std::string m_strAddress;
  int m_nPort = 0;
  std::atomic<bool> m_bStopping{false};  // transfers in progress end when it is set
  std::atomic<int> m_nConnections{0};    // connections a worker has taken up
  std::mutex m_limitMutex;               // one LimitPeers at a time
};

}  // namespace brisel
