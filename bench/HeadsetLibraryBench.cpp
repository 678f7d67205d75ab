// What a headset player waits for when it opens the library: the DeoVR and HereSphere indexes
// and one video's page for a full catalogue of 70 videos (35 per list), built in-process and
// fetched over HTTP from the media server on loopback (a keep-alive connection, as players
// keep one). The media values are probed before timing, as the service's prober does after
// start.
// The HTTP cases listen on 127.0.0.1 only; run inside a private network namespace anyway,
// e.g. /work/shared/tools/lan-sandbox isolated build/bench/headset_library_bench
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "ConService/HeadsetLibrary.h"
#include "ConService/MediaServer.h"
#include "ConService/ServiceDiagnostics.h"
#include "ConService/ShareCatalogue.h"
#include "platform/ChildProcess.h"
#include "platform/ProgramFolder.h"

namespace {

constexpr int kPort = 11817;  // not the service's own, so a running program is no obstacle

struct Library {
  std::string folder;
  std::unique_ptr<brisel::ShareCatalogue> catalogue;
  std::unique_ptr<brisel::HeadsetLibrary> library;
  std::unique_ptr<brisel::MediaServer> server;
  std::string someKey;

  Library() {
    char pattern[] = "/tmp/brisel-bench-XXXXXX";
    folder = mkdtemp(pattern);
    brisel::SetProgramFolderOverride(folder);
    brisel::SetServiceDiagnosticsEnabled(false);
    catalogue = std::make_unique<brisel::ShareCatalogue>();
    const std::string clip = folder + "/clip.mp4";
    brisel::RunProcess({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                        "testsrc2=size=640x320:rate=25:duration=2", clip},
                       60000);
    const char* formats[] = {"", "_180_LR", "_360", "_MKX200", "_360_TB"};
    for (int i = 0; i < 70; ++i) {
      const std::string path = folder + "/v" + std::to_string(i) + formats[i % 5] + ".mp4";
      std::filesystem::copy_file(clip, path);
      catalogue->AddShareRecord(path, i < 35 ? 1 : 2, &someKey);
      catalogue->MediaCache().Lookup(path);
    }
    library = std::make_unique<brisel::HeadsetLibrary>(*catalogue, "127.0.0.1", kPort);
    server = std::make_unique<brisel::MediaServer>(*catalogue);
    server->SetHeadsetLibrary(library.get());
    std::string error;
    if (!server->Start("127.0.0.1", kPort, catalogue->DocumentRoot(), &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
    }
  }
  ~Library() {
    server.reset();
    library.reset();
    catalogue.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

Library& TheLibrary() {
  static Library library;
  return library;
}

void InProcess(benchmark::State& state, const std::string& uri) {
  Library& l = TheLibrary();
  const std::string target = uri == "video" ? "/deovr/" + l.someKey : uri;
  std::size_t bytes = 0;
  for (auto _ : state) {
    brisel::HeadsetLibrary::Reply reply = l.library->Answer(target, "192.168.1.20:11717");
    bytes = reply.body.size();
    benchmark::DoNotOptimize(reply.body.data());
  }
  state.counters["reply_bytes"] = static_cast<double>(bytes);
}
BENCHMARK_CAPTURE(InProcess, deovr_index, std::string("/deovr"))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(InProcess, heresphere_index, std::string("/heresphere"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(InProcess, deovr_video, std::string("video"))->Unit(benchmark::kMicrosecond);

// One request and its whole reply on an open connection.
bool RoundTrip(int fd, const std::string& request, std::string* buffer) {
  if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(request.size()))
    return false;
  buffer->clear();
  std::size_t need = std::string::npos;
  char chunk[65536];
  while (need == std::string::npos || buffer->size() < need) {
    ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer->append(chunk, static_cast<std::size_t>(n));
    std::size_t end = buffer->find("\r\n\r\n");
    if (need == std::string::npos && end != std::string::npos) {
      std::size_t length = buffer->find("Content-Length: ");
      if (length == std::string::npos) return false;
      need = end + 4 + std::strtoull(buffer->c_str() + length + 16, nullptr, 10);
    }
  }
  return true;
}

void OverHttp(benchmark::State& state, const std::string& method, const std::string& uri) {
  Library& l = TheLibrary();
  const std::string target = uri == "video" ? "/heresphere/" + l.someKey : uri;
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int one = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kPort);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    state.SkipWithError("cannot connect to the media server");
    close(fd);
    return;
  }
  const std::string body = method == "POST" ? R"({"username":"","password":""})" : "";
  const std::string request =
      method + " " + target +
      " HTTP/1.1\r\nHost: 192.168.1.20:11717\r\nContent-Length: " + std::to_string(body.size()) +
      "\r\n\r\n" + body;
  std::string reply;
  for (auto _ : state) {
    if (!RoundTrip(fd, request, &reply)) {
      state.SkipWithError("the connection failed");
      break;
    }
  }
  state.counters["reply_bytes"] = static_cast<double>(reply.size());
  close(fd);
}
BENCHMARK_CAPTURE(OverHttp, deovr_index, std::string("GET"), std::string("/deovr"))
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(OverHttp, heresphere_index, std::string("POST"), std::string("/heresphere"))
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(OverHttp, heresphere_video, std::string("POST"), std::string("video"))
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace
