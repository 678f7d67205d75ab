#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brisel {

class Service;

// The shared videos as the headset players DeoVR and HereSphere browse a PC over HTTP, in
// their published JSON formats:
//   GET/POST /deovr             {"authorized":"1","scenes":[{"name","list":[{"title",
//                               "videoLength","thumbnailUrl","video_url"}]}]}
//   GET/POST /deovr/KEY         one video: id, title, format, length, thumbnail, encodings
//   GET/POST /heresphere        {"access":1,"library":[{"name","list":[URL of each video]}]}
//   GET/POST /heresphere/KEY    one video: title, thumbnail, duration, format, media
// One scene (library section) per catalogue list, empty lists left out; videos whose file is
// gone are left out too. Streams and thumbnails are the media server's own paths ("/KEY",
// "/image/KEY.jpg"), so seeking works as it does for phones. Every URL is absolute, built
// from the request's Host header when it is a plain host[:port], else from the server's own
// address. Nothing a player sends is ever acted on: bodies (credentials, ratings, deletion
// requests) are read and dropped by the media server.
//
// Thread contract: Answer may be called from any thread, many at once (CivetWeb's workers).
// It takes the service mutex only to copy the lists, and probes media values (once per file
// version, MediaValuesCache) outside it. The service must outlive this object.
class HeadsetLibrary {
 public:
  struct Reply {
    int status = 200;
    bool hereSphere = false;  // answered with the header "HereSphere-JSON-Version: 1"
    std::string body;         // JSON, UTF-8
  };

  // `address` and `port` are the server's own, for requests without a usable Host.
  HeadsetLibrary(Service& service, std::string address, int port);

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

  // Names of the two scenes (catalogue lists 1 and 2).
  static constexpr const char* kOrdinaryScene = "视频";
  static constexpr const char* kConvertedScene = "转码视频";

 private:
  struct Video;
  // The videos of both lists whose files exist (only the one with `onlyKey` when it is set).
  std::vector<Video> Videos(std::string_view onlyKey) const;
  Reply Index(bool deoVr, const std::string& authority) const;
  Reply OneVideo(bool deoVr, std::string_view key, const std::string& authority) const;

  Service& m_service;
  std::string m_strOwnAuthority;
  std::string m_strPort;
};

}  // namespace brisel
