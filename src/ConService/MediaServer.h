#pragma once

#include <string>
#include <string_view>

struct mg_connection;
struct mg_context;

namespace brisel {

// The media HTTP server on CivetWeb: a static file server over file_root (directory
// listings, WebDAV listing, ETag, 304s, byte ranges, sendfile) that answers a record file
// ("qmtk" at its start) with the video the record names. Ranges are decided here, because
// CivetWeb gets unsatisfiable, overlong and suffix ranges wrong; writes (PUT, DELETE, MKCOL,
// MOVE, COPY) are refused with a digest challenge, since no password file exists.
//
// Thread contract: Start and Stop on one thread (the service's HTTP thread); requests are
// served on CivetWeb's worker threads, which touch only files and this object's constant
// fields.
class MediaServer {
 public:
  // Worker threads: one per keep-alive connection, so 64 phones streaming and fetching
  // thumbnails at once are all served.
  static constexpr int kWorkerThreads = 128;

  MediaServer() = default;
  ~MediaServer();  // Stop
  MediaServer(const MediaServer&) = delete;
  MediaServer& operator=(const MediaServer&) = delete;

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

  mg_context* m_pContext = nullptr;
  std::string m_strRoot;
  std::string m_strAddress;
  int m_nPort = 0;
};

}  // namespace brisel
