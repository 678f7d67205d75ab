#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ConService/CatalogueSnapshot.h"
#include "ConService/MediaValuesCache.h"

namespace brisel {

// The shared videos as the headset players DeoVR and HereSphere browse a PC over HTTP, in
// their published JSON formats:
//   GET/POST /deovr             {"authorized":"1","scenes":[{"name","list":[{"title",
//                               "videoLength","thumbnailUrl","video_url"}]}]}
//   GET/POST /deovr/KEY         one video: id, title, format, length, thumbnail, encodings
//   GET/POST /heresphere        {"access":1,"library":[{"name","list":[URL of each video]}]}
//   GET/POST /heresphere/KEY    one video: title, thumbnail, duration, format, media
// One scene (library section) per catalogue section, empty ones left out; videos whose file is
// gone are left out too. Streams and thumbnails are the media server's own paths ("/KEY",
// "/image/KEY.jpg" for a shared video), so seeking works as it does for phones; one video
// ("/deovr/KEY") is the video the media server streams under that key. Every URL is absolute, built
// from the request's Host header when it is a plain host[:port], else from the server's own
// address. Nothing a player sends is ever acted on: bodies (credentials, ratings, deletion
// requests) are read and dropped by the media server.
//
// Thread contract: Answer may be called from any thread, many at once (CivetWeb's workers),
// and calls the mediator there. The catalogue must outlive this object.
class HeadsetLibrary {
 public:
  // What the library needs of the catalogue.
  class Mediator {
   public:
    virtual ~Mediator() = default;
    // Every section with its videos, as they are now (a copy).
    virtual CatalogueSnapshot Snapshot() const = 0;
    // The video the media server streams by `key` (`key` is as the player sent it); nothing
    // when it streams none.
    virtual std::optional<CatalogueVideo> ResolveKey(std::string_view key) const = 0;
    // What players are told about the video's file; `exists` is false when it is gone. May
    // probe the file (once per file version).
    virtual MediaFacts Facts(const CatalogueVideo& video) = 0;
  };

  struct Reply {
    int status = 200;
    bool hereSphere = false;  // answered with the header "HereSphere-JSON-Version: 1"
    std::string body;         // JSON, UTF-8
  };

  // `address` and `port` are the server's own, for requests without a usable Host.
  HeadsetLibrary(Mediator& catalogue, std::string address, int port);

  // Whether a request path (decoded, without the query) belongs to the library: "/deovr",
  // "/heresphere" and everything below them. No share key or file of file_root is named so.
  static bool Claims(std::string_view uri);

  // The reply to a request for `uri`; `host` is the Host header (null when absent).
  Reply Answer(std::string_view uri, const char* host) const;

  // "host[:port]" for the URLs of a reply: the Host header when it is a name, an IPv4 address
  // or a bracketed IPv6 address with an optional port, at most 255 bytes; our port is added
  // when it names none. Anything else (missing, empty, too long, other characters) gives the
  // server's own "address:port".
  std::string Authority(const char* host) const;

  // Names of the scenes of the two share lists (1 and 2).
  static constexpr const char* kOrdinaryScene = "视频";
  static constexpr const char* kConvertedScene = "转码视频";

 private:
  struct Video;
  // The video as players see it; false when its file is gone.
  bool Describe(const CatalogueVideo& entry, Video* out) const;
  Reply Index(bool deoVr, const std::string& authority) const;
  Reply OneVideo(bool deoVr, std::string_view key, const std::string& authority) const;

  Mediator& m_catalogue;
  std::string m_strOwnAuthority;
  std::string m_strPort;
};

}  // namespace brisel
