// The media server's own request handling, reached the way a phone reaches it: a request over
// a real connection to the server on loopback (CivetWeb parses it; the server answers files,
// records, ranges, If-Range and If-Modified-Since itself). Whatever is asked, nothing outside
// file_root but the shared video is ever sent, record files and half-written files are never
// sent as they are, and nothing is read or written out of bounds.
//
// Input: the first byte chooses the method; the rest, split at line ends, is the request
// target and then header lines. With the first byte's top bit set the rest is sent as it is.
// "{key}", "{etag}" and "{date}" stand for the shared video's key, ETag and Last-Modified date,
// which change with every run. Needs loopback: CI runs it in a network namespace of its own
// with lo up.
#include <arpa/inet.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "CatalogueFixture.h"
#include "ConService/MediaServer.h"
#include "ConService/ShareRecord.h"
#include "platform/FileSystem.h"

namespace {

constexpr int kPort = 21717;
constexpr const char* kSecret = "SECRET-OUTSIDE-THE-ROOT";
constexpr const char* kHalf = "HALF-WRITTEN-RECORD";

// The record file is written as another process would: the catalogue in memory holds nothing,
// and the media server answers from file_root alone.
struct Fixture : brisel::fuzz::CatalogueFixture {
  Fixture() {
    const std::string root = catalogue->DocumentRoot();
    brisel::CreateDirectories(folder + "/videos");
    std::string video(5000, '\0');
    for (std::size_t i = 0; i < video.size(); ++i) video[i] = static_cast<char>('a' + i % 26);
    brisel::WriteFileAtomically(folder + "/videos/a.mp4", video);
    brisel::WriteFileAtomically(folder + "/secret.txt", kSecret);
    brisel::WriteFileAtomically(folder + "/videos/secret.txt", kSecret);
    brisel::ShareRecord record;
    record.type = 1;
    record.name = "a.mp4";
    record.path = folder + "/videos/a.mp4";
    record.key = brisel::ShareRecord::MakeKey(record.path);
    brisel::WriteFileAtomically(root + "/" + record.key, record.RecordFileBytes());
    brisel::WriteFileAtomically(root + "/" + record.key + ".tmp-Ab12Cd", kHalf);
    brisel::WriteFileAtomically(root + "/image/" + record.key + ".jpg", "\xff\xd8 a picture");
    brisel::WriteFileAtomically(root + "/readme.txt", "plain");
    key = record.key;
    struct stat st;
    stat(record.path.c_str(), &st);
    char text[64];
    std::snprintf(text, sizeof text, "\"%lx.%lld\"", static_cast<unsigned long>(st.st_mtime),
                  static_cast<long long>(st.st_size));
    etag = text;
    std::tm tm{};
    gmtime_r(&st.st_mtime, &tm);
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    date = text;
    std::string error;
    if (!server.Start("127.0.0.1", kPort, root, &error)) {
      std::fprintf(stderr, "media server: %s (is loopback up?)\n", error.c_str());
      std::abort();
    }
  }
  ~Fixture() { server.Stop(); }
  std::string key, etag, date;
  brisel::MediaServer server{*catalogue};
};

void ReplaceAll(std::string* text, const std::string& token, const std::string& value) {
  for (std::size_t at = text->find(token); at != std::string::npos;
       at = text->find(token, at + value.size()))
    text->replace(at, token.size(), value);
}

std::string RequestOf(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return "GET / HTTP/1.1\r\n\r\n";
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] & 0x80) return rest;
  static const char* const kMethods[] = {"GET", "HEAD", "GET", "OPTIONS", "PROPFIND", "PUT"};
  std::string request = kMethods[data[0] % (sizeof kMethods / sizeof *kMethods)];
  std::size_t end = rest.find('\n');
  request += " " + rest.substr(0, end) + " HTTP/1.1\r\nHost: pc\r\n";
  while (end != std::string::npos) {
    std::size_t next = rest.find('\n', end + 1);
    request += rest.substr(end + 1, next == std::string::npos ? next : next - end - 1) + "\r\n";
    end = next;
  }
  return request + "\r\n";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kPort);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) __builtin_trap();
  std::string request = RequestOf(data, size);
  ReplaceAll(&request, "{key}", fixture.key);
  ReplaceAll(&request, "{etag}", fixture.etag);
  ReplaceAll(&request, "{date}", fixture.date);
  send(fd, request.data(), request.size(), MSG_NOSIGNAL);
  shutdown(fd, SHUT_WR);  // no further request: the server answers and closes
  std::string response;
  char buffer[65536];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 100) == 1) {
      ssize_t n = recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      response.append(buffer, static_cast<std::size_t>(n));
    } else if (std::chrono::steady_clock::now() > deadline) {
      break;  // an answer that never ends is the server's business; a leak is not
    }
  }
  close(fd);
  // A marker counts only when the request did not carry it: CivetWeb's answer to a malformed
  // request line repeats part of that line, and the fuzzer learns the markers from these
  // very comparisons.
  for (const char* marker : {kSecret, kHalf, "qmtk"}) {
    if (response.find(marker) != std::string::npos && request.find(marker) == std::string::npos)
      __builtin_trap();
  }
  return 0;
}
