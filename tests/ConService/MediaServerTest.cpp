#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "ConService/MediaServer.h"
#include "ConService/ServiceFixture.h"
#include "platform/ChildProcess.h"
#include "platform/FileSystem.h"
#include "support/HttpProbe.h"
#include "support/LavfiClip.h"

namespace brisel::test {
namespace {

// 1000 bytes whose every position is recognisable.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return bytes;
}

class MediaServerTest : public RunningServiceTest {
 protected:
  // A shared video of `size` pattern bytes; returns its key.
  std::string Share(const std::string& name, std::size_t size = 1000, std::uint8_t list = 1) {
    const std::string path = sandbox.WriteFile("videos/" + name, Pattern(size));
    std::string key;
    EXPECT_EQ(catalogue->AddShareRecord(path, list, &key), SHARE_ADD_OK);
    return key;
  }
};

TEST_F(MediaServerTest, VideoByKeyWithTheTypeOfTheVideo) {
  struct Case {
    const char* name;
    const char* type;
  } cases[] = {
      {"a.mp4", "video/mp4"},
      {"b.MKV", "video/x-matroska"},
      {"c.ts", "video/mp2t"},
      {"d.3gp", "video/3gpp"},
      {"e.flv", "video/x-flv"},
      {"f.wmv", "video/x-ms-wmv"},
      {"g.rmvb", "application/vnd.rn-realmedia-vbr"},
      {"h.mov", "video/quicktime"},
      {"视频 一.webm", "video/webm"},
  };
  std::vector<std::string> keys;
  for (const Case& c : cases) keys.push_back(Share(c.name));
  Start();
  for (std::size_t i = 0; i < keys.size(); ++i) {
    HttpReply reply = HttpRequest("GET", "/" + keys[i]);
    ASSERT_EQ(reply.status, 200) << cases[i].name;
    EXPECT_EQ(reply.Header("Content-Type"), cases[i].type) << cases[i].name;
    EXPECT_EQ(reply.Header("Content-Length"), "1000");
    EXPECT_EQ(reply.Header("Accept-Ranges"), "bytes");
    EXPECT_TRUE(reply.HasHeader("ETag"));
    EXPECT_TRUE(reply.HasHeader("Last-Modified"));
    EXPECT_EQ(reply.body, Pattern(1000)) << cases[i].name;
  }
  HttpReply head = HttpRequest("HEAD", "/" + keys[0]);
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("Content-Length"), "1000");
  EXPECT_EQ(head.raw.find("\r\n\r\n") + 4, head.raw.size());  // no body
}

TEST_F(MediaServerTest, RangesAreAnsweredCorrectly) {
  const std::string key = Share("a.mp4");
  sandbox.WriteFile("file_root/image/" + key + ".jpg", Pattern(1000));
  Start();
  struct Case {
    std::string header;
    int status;
    const char* contentRange;
    std::size_t first, length;
  };
  for (const std::string& target : {"/" + key, "/image/" + key + ".jpg"}) {
    // Each file has its own validator: the two may be written in different seconds.
    const std::string etag = HttpRequest("HEAD", target).Header("ETag");
    ASSERT_FALSE(etag.empty());
    const Case cases[] = {
        {"Range: bytes=100-199", 206, "bytes 100-199/1000", 100, 100},
        {"Range: bytes=990-2000", 206, "bytes 990-999/1000", 990, 10},
        {"Range: bytes=-500", 206, "bytes 500-999/1000", 500, 500},
        {"Range: bytes=0-", 206, "bytes 0-999/1000", 0, 1000},
        {"Range: bytes=1000-1200", 416, "bytes */1000", 0, 0},
        {"Range: bytes=-0", 416, "bytes */1000", 0, 0},
        {"Range: bytes=5-2", 200, "", 0, 1000},
        {"Range: bytes=0-1,5-6", 200, "", 0, 1000},
        {"Range: bytes=100-199\r\nIf-Range: " + etag, 206, "bytes 100-199/1000", 100, 100},
        {"Range: bytes=100-199\r\nIf-Range: \"other\"", 200, "", 0, 1000},
    };
    for (const Case& c : cases) {
      HttpReply reply = HttpRequest("GET", target, {c.header});
      ASSERT_EQ(reply.status, c.status) << target << " " << c.header;
      EXPECT_EQ(reply.Header("Content-Range"), c.contentRange) << c.header;
      EXPECT_EQ(reply.Header("Content-Length"), std::to_string(c.length)) << c.header;
      EXPECT_EQ(reply.body, Pattern(1000).substr(c.first, c.length)) << c.header;
    }
  }
  // Conditional requests: a current copy is not sent again, whatever the range.
  const std::string etag = HttpRequest("HEAD", "/" + key).Header("ETag");
  for (const std::string& extra : {std::string(), std::string("\r\nRange: bytes=5000-6000")}) {
    HttpReply notModified = HttpRequest("GET", "/" + key, {"If-None-Match: " + etag + extra});
    EXPECT_EQ(notModified.status, 304);
    EXPECT_TRUE(notModified.body.empty());
  }
}

TEST_F(MediaServerTest, ThumbnailsListingsAndPlainFiles) {
  const std::string key = Share("a.mp4");
  sandbox.WriteFile("file_root/readme.txt", "plain text, no magic");
  // Half a record file, as a save that is going on (or was killed) holds it.
  sandbox.WriteFile("file_root/" + key + ".tmp-Ab12Cd", "qmtk half");
  Start();
  EXPECT_EQ(HttpRequest("GET", "/" + key + ".tmp-Ab12Cd").status, 404);
  EXPECT_EQ(HttpRequest("GET", "/image/" + key + ".jpg").status, 404);
  sandbox.WriteFile("file_root/image/" + key + ".jpg", "\xff\xd8jpeg");
  HttpReply thumbnail = HttpRequest("GET", "/image/" + key + ".jpg");
  EXPECT_EQ(thumbnail.status, 200);
  EXPECT_EQ(thumbnail.Header("Content-Type"), "image/jpeg");
  EXPECT_EQ(thumbnail.body, "\xff\xd8jpeg");

  HttpReply plain = HttpRequest("GET", "/readme.txt");
  EXPECT_EQ(plain.status, 200);
  EXPECT_EQ(plain.body, "plain text, no magic");

  HttpReply root = HttpRequest("GET", "/");
  EXPECT_EQ(root.status, 200);
  EXPECT_NE(root.body.find(key), std::string::npos);
  EXPECT_NE(root.body.find("image/"), std::string::npos);
  EXPECT_EQ(root.body.find(".tmp-"), std::string::npos);
  HttpReply folder = HttpRequest("GET", "/image");
  EXPECT_EQ(folder.status, 301);
  EXPECT_EQ(folder.Header("Location"), "/image/");
  EXPECT_EQ(HttpRequest("GET", "/image/").status, 200);
  HttpReply dav = HttpRequest("PROPFIND", "/", {"Depth: 1"});
  EXPECT_EQ(dav.status, 207);
  EXPECT_NE(dav.body.find(key), std::string::npos);
  EXPECT_EQ(dav.body.find(".tmp-"), std::string::npos);
  EXPECT_EQ(HttpRequest("OPTIONS", "/").status, 200);
  EXPECT_EQ(HttpRequest("GET", "/" + std::string(32, '0')).status, 404);
}

TEST_F(MediaServerTest, ChangesAreRefusedWithADigestChallenge) {
  const std::string key = Share("a.mp4");
  Start();
  const std::vector<std::string> destination = {"Destination: http://127.0.0.1:11717/moved"};
  struct Case {
    const char* method;
    std::string target;
    std::vector<std::string> headers;
    std::string body;
  } cases[] = {
      {"PUT", "/new.bin", {}, "data"},      {"PUT", "/" + key, {}, "data"},
      {"DELETE", "/" + key, {}, ""},        {"MKCOL", "/folder", {}, ""},
      {"MOVE", "/" + key, destination, ""}, {"COPY", "/" + key, destination, ""},
  };
  for (const Case& c : cases) {
    HttpReply reply = HttpRequest(c.method, c.target, c.headers, "127.0.0.1", 11717, c.body);
    EXPECT_EQ(reply.status, 401) << c.method;
    EXPECT_EQ(reply.Header("WWW-Authenticate").rfind("Digest ", 0), 0u) << c.method;
  }
  EXPECT_FALSE(PathExists(sandbox.Path("file_root/new.bin")));
  EXPECT_FALSE(PathExists(sandbox.Path("file_root/folder")));
  EXPECT_FALSE(PathExists(sandbox.Path("file_root/moved")));
  EXPECT_EQ(HttpRequest("GET", "/" + key).status, 200);
}

TEST_F(MediaServerTest, NothingOutsideTheRootIsServedExceptSharedVideos) {
  sandbox.WriteFile("secret.txt", "TOP-SECRET");
  sandbox.WriteFile("file_root/image/x.jpg", "x");
  Start();
  for (const char* target :
       {"/../secret.txt", "/%2e%2e/secret.txt", "/image/../../secret.txt",
        "/image/..%2f..%2fsecret.txt", "/%2e%2e%2fsecret.txt", "/..%5csecret.txt",
        "//../secret.txt", "/image/%2E%2E/%2E%2E/secret.txt", "/./../secret.txt"}) {
    HttpReply reply = HttpRequest("GET", target);
    EXPECT_NE(reply.status, 200) << target;
    EXPECT_EQ(reply.raw.find("TOP-SECRET"), std::string::npos) << target;
  }
  // A raw request line that is not a path at all.
  HttpConnection raw;
  ASSERT_TRUE(raw.Connect("127.0.0.1", 11717));
  raw.Send("GET ../secret.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  HttpReply reply = raw.ReadResponse();
  EXPECT_NE(reply.status, 200);
  EXPECT_EQ(reply.raw.find("TOP-SECRET"), std::string::npos);
}

TEST_F(MediaServerTest, RecordsWhoseVideoIsGoneOrUnusableGive404) {
  const std::string key = Share("a.mp4");
  auto record = [&](const std::string& path) {
    ShareRecord r;
    r.type = 1;
    r.name = "x";
    r.key = std::string(32, 'f');
    r.path = path;
    return r.RecordFileBytes();
  };
  sandbox.WriteFile("file_root/" + std::string(32, 'f'), record(sandbox.Path("videos")));
  sandbox.WriteFile("file_root/" + std::string(32, 'e'), "qmtk\x01\x01\x01\xff\xff");
  Start();
  ASSERT_EQ(HttpRequest("GET", "/" + key).status, 200);
  unlink(sandbox.Path("videos/a.mp4").c_str());
  EXPECT_EQ(HttpRequest("GET", "/" + key).status, 404);
  EXPECT_EQ(HttpRequest("GET", "/" + std::string(32, 'f')).status, 404);  // names a folder
  EXPECT_EQ(HttpRequest("GET", "/" + std::string(32, 'e')).status, 404);  // malformed
}

TEST_F(MediaServerTest, KeepAliveServesSmallAndLargeAnswersOnOneConnection) {
  const std::size_t size = 3 << 20;
  const std::string key = Share("a.mp4", size);
  const std::string video = Pattern(size);
  Start();
  HttpConnection connection;
  ASSERT_TRUE(connection.Connect("127.0.0.1", 11717));
  struct Case {
    std::size_t first, last;
  } cases[] = {{0, 9}, {1 << 20, (2 << 20) - 1}, {20, 29}, {size - 5, size - 1}, {0, size - 1}};
  for (const Case& c : cases) {
    ASSERT_TRUE(connection.Send("GET /" + key +
                                " HTTP/1.1\r\nHost: x\r\nRange: bytes=" + std::to_string(c.first) +
                                "-" + std::to_string(c.last) + "\r\n\r\n"));
    HttpReply reply = connection.ReadResponse();
    ASSERT_EQ(reply.status, 206) << c.first;
    EXPECT_EQ(reply.Header("Connection"), "keep-alive");
    EXPECT_TRUE(reply.body == video.substr(c.first, c.last - c.first + 1)) << c.first;
  }
  // A player that plays for a while from what it holds before it asks again keeps its
  // connection.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  ASSERT_TRUE(connection.Send("GET /" + key + " HTTP/1.1\r\nHost: x\r\n\r\n"));
  HttpReply whole = connection.ReadResponse();
  EXPECT_EQ(whole.status, 200);
  EXPECT_TRUE(whole.body == video);

  // HTTP/1.0 without keep-alive is answered and closed.
  HttpConnection old;
  ASSERT_TRUE(old.Connect("127.0.0.1", 11717));
  ASSERT_TRUE(old.Send("GET /" + key + " HTTP/1.0\r\nRange: bytes=0-9\r\n\r\n"));
  HttpReply reply = old.ReadResponse();
  EXPECT_EQ(reply.status, 206);
  EXPECT_EQ(reply.Header("Connection"), "close");
  EXPECT_EQ(reply.body, video.substr(0, 10));
}

// 128 connections from one peer that send half a request head and then nothing: a phone
// elsewhere on the LAN (another loopback address) is served at once all the same, and the
// peer's connections that kept a worker end when the head's time is up.
TEST_F(MediaServerTest, SlowRequestHeadsOfOnePeerNeverKeepAPhoneWaiting) {
  const std::string key = Share("a.mp4", 100000);
  Start();
  std::vector<std::unique_ptr<HttpConnection>> slow;
  for (int i = 0; i < MediaServer::kWorkerThreads; ++i) {
    auto connection = std::make_unique<HttpConnection>();
    ASSERT_TRUE(connection->Connect("127.0.0.1", 11717)) << i;
    ASSERT_TRUE(connection->Send("GET /" + key + " HTTP/1.1\r\n")) << i;
    slow.push_back(std::move(connection));
  }
  HttpConnection phone;
  phone.SetSourceAddress("127.0.0.2");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(phone.Connect("127.0.0.1", 11717));
  ASSERT_TRUE(phone.Send("GET /" + key + " HTTP/1.1\r\nHost: pc\r\nRange: bytes=100-199\r\n\r\n"));
  HttpReply reply = phone.ReadResponse(false, 10000);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(reply.status, 206);
  EXPECT_EQ(reply.body, Pattern(100000).substr(100, 100));
  EXPECT_LT(elapsed, std::chrono::seconds(2));
  std::printf("phone fetch during 128 slow request heads: %lld ms\n",
              static_cast<long long>(
                  std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));

  // The peer keeps half the workers; the heads it never finishes end with the head's time.
  auto ended = [&] {
    std::size_t n = 0;
    for (auto& c : slow) {
      pollfd p{c->Fd(), POLLIN, 0};
      n += poll(&p, 1, 0) == 1 ? 1 : 0;
    }
    return n;
  };
  const std::size_t kept = MediaServer::kMaxConnectionsPerPeer;
  EXPECT_TRUE(WaitFor([&] { return ended() >= slow.size() - kept; }, std::chrono::seconds(5)));
  EXPECT_TRUE(WaitFor([&] { return ended() == slow.size(); },
                      std::chrono::milliseconds(MediaServer::kRequestTimeoutMs + 10000)));
  EXPECT_EQ(HttpRequest("GET", "/" + key).status, 200);
}

TEST_F(MediaServerTest, StreamGoesOnWhenTheRecordIsRemoved) {
  const std::size_t size = 8 << 20;
  const std::string key = Share("big.mp4", size);
  Start();
  HttpConnection connection;
  ASSERT_TRUE(connection.Connect("127.0.0.1", 11717));
  ASSERT_TRUE(connection.Send("GET /" + key + " HTTP/1.1\r\nHost: x\r\n\r\n"));
  // Let the answer start, then take the video out of the catalogue mid-way.
  std::string all;
  char buffer[65536];
  ssize_t n;
  while (all.find("\r\n\r\n") == std::string::npos &&
         (n = recv(connection.Fd(), buffer, 1024, 0)) > 0) {
    all.append(buffer, static_cast<std::size_t>(n));
  }
  const std::size_t bodyStart = all.find("\r\n\r\n") + 4;
  ASSERT_TRUE(catalogue->RemoveShareRecord(1, sandbox.Path("videos/big.mp4")));
  EXPECT_FALSE(PathExists(catalogue->RecordFilePath(key)));
  while (all.size() - bodyStart < size &&
         (n = recv(connection.Fd(), buffer, sizeof buffer, 0)) > 0) {
    all.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(all.size() - bodyStart, size);
  EXPECT_EQ(all.substr(bodyStart, 1000), Pattern(size).substr(0, 1000));
  EXPECT_EQ(HttpRequest("GET", "/" + key).status, 404);
}

TEST_F(MediaServerTest, RealPlayerReadsARealClipByItsKey) {
  const std::string clip = sandbox.Path("videos/片段 1.mp4");
  CreateDirectories(sandbox.Path("videos"));
  ClipSpec spec;
  spec.width = 160;
  spec.height = 120;
  ASSERT_TRUE(MakeLavfiClip(clip, spec));
  std::string key;
  ASSERT_EQ(catalogue->AddShareRecord(clip, 1, &key), SHARE_ADD_OK);
  Start();
  ProcessResult probe =
      RunProcess({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name,width,height",
                  "-of", "default=nw=1", "http://127.0.0.1:11717/" + key},
                 30000);
  EXPECT_EQ(probe.exitCode, 0) << probe.output;
  EXPECT_NE(probe.output.find("codec_name=h264"), std::string::npos) << probe.output;
  EXPECT_NE(probe.output.find("width=160"), std::string::npos) << probe.output;
  // Seeking reads the end of the file by range.
  ProcessResult seek =
      RunProcess({"ffmpeg", "-nostdin", "-v", "error", "-ss", "1.5", "-i",
                  "http://127.0.0.1:11717/" + key, "-frames:v", "1", "-f", "null", "-"},
                 30000);
  EXPECT_EQ(seek.exitCode, 0) << seek.output;
}

TEST_F(MediaServerTest, TakenPortStopsOnlyTheHttpLoop) {
  MediaServer squatter(*catalogue);
  std::string error;
  ASSERT_TRUE(squatter.Start("127.0.0.1", 11717, sandbox.Path("file_root"), &error)) << error;
  ASSERT_EQ(service->SetServiceAddress("127.0.0.1"), 1);
  Service::ThreadsState state = service->WaitForServiceThreads(std::chrono::seconds(5));
  EXPECT_TRUE(state.settled);
  EXPECT_TRUE(state.udpRunning);
  EXPECT_FALSE(state.httpRunning);
  EXPECT_NE(state.httpError.find("11717"), std::string::npos) << state.httpError;
  EXPECT_EQ(service->Flags(), SERVICE_UDP_RUNNING);
  service->StopServiceThreads();
  EXPECT_EQ(service->Flags(), 0u);
}

}  // namespace
}  // namespace brisel::test
