#pragma once

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

struct mg_connection;
struct mg_context;

namespace brisel {

class HeadsetLibrary;

// The media HTTP server on CivetWeb: a static file server over file_root (directory
// listings, WebDAV listing, ETag, 304s, byte ranges) that answers a record file ("qmtk" at
// its start) with the video the record names. CivetWeb parses the requests, lists folders,
// answers 304s, WebDAV and errors; files themselves are answered here, because CivetWeb gets
// unsatisfiable, overlong and suffix ranges wrong, writes a header line by line, and gives up
// sendfile at the first full socket buffer. Small bodies leave with their header in one write;
// large ones go by sendfile. Writes (PUT, DELETE, MKCOL, MOVE, COPY) are refused with a
// digest challenge, since no password file exists. With a headset library set, its paths
// ("/deovr", "/heresphere" and below) are answered by it, for GET, HEAD and POST. Temporary
// files of record saves are hidden.
//
// Thread contract: Start and Stop on one thread (the service's HTTP thread); requests are
// served on CivetWeb's worker threads, which touch only files, this object's constant fields
// and the headset library (whose Answer may run on many threads at once).
class MediaServer {
 public:
  // Worker threads: one per keep-alive connection, so 64 phones streaming and fetching
  // thumbnails at once are all served.
  static constexpr int kWorkerThreads = 128;

  MediaServer() = default;
  ~MediaServer();  // Stop
  MediaServer(const MediaServer&) = delete;
  MediaServer& operator=(const MediaServer&) = delete;

  // The library headset players browse; set it before Start. It must outlive the server's
  // run (Stop or the destructor).
  void SetHeadsetLibrary(const HeadsetLibrary* library) { m_pLibrary = library; }

  // Listens on address:port only, serving `documentRoot`. False, with `error` telling why
  // (address not local, port taken), when the server cannot start.
  bool Start(const std::string& address, int port, const std::string& documentRoot,
             std::string* error);
  // Closes the listener and every connection (downloads in progress are cut).
  void Stop();
  bool Running() const { return m_pContext != nullptr; }

  // Content type of a video by its extension (mp4 mkv flv rmvb wmv avi mpeg 3gp ts m4v mov
  // webm, any case), or null for other files.
  static const char* VideoMimeType(std::string_view path);

 private:
  static int HandleRequest(mg_connection* conn, void* self);
  static int HandleHttpError(mg_connection* conn, int status, const char* message);
  int Serve(mg_connection* conn);
  int ServeLibrary(mg_connection* conn, bool headOnly);
  int SendFile(mg_connection* conn, int fd, const struct stat& st, const char* mime, bool partial,
               std::uint64_t first, std::uint64_t length, bool headOnly);

  mg_context* m_pContext = nullptr;
  const HeadsetLibrary* m_pLibrary = nullptr;
  std::string m_strRoot;
  std::string m_strAddress;
  int m_nPort = 0;
  std::atomic<bool> m_bStopping{false};  // transfers in progress end when it is set
};

}  // namespace brisel
