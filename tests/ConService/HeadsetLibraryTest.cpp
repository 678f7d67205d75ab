#include "ConService/HeadsetLibrary.h"

#include <json/json.h>

#include <filesystem>
#include <memory>

#include "ConService/ServiceFixture.h"
#include "platform/FileSystem.h"
#include "support/HttpProbe.h"
#include "support/LavfiClip.h"

namespace brisel::test {
namespace {

// Where phones and headsets are told to fetch from: another address of the PC than the one
// the test connects to, as a PC with two networks sees it.
constexpr const char* kOtherHost = "192.168.7.9:11717";

std::optional<Json::Value> ParseJson(const std::string& text) {
  Json::CharReaderBuilder builder;
  builder["strictRoot"] = true;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value value;
  std::string errors;
  if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors)) return std::nullopt;
  return value;
}

class HeadsetLibraryTest : public RunningServiceTest {
 protected:
  // Real clips, made once for all tests of the suite.
  static void SetUpTestSuite() {
    clips = new Sandbox();
    ASSERT_TRUE(MakeLavfiClip(clips->Path("flat.mp4"), {.width = 320, .height = 240}));
    ASSERT_TRUE(MakeLavfiClip(clips->Path("vr.mp4"), {.width = 640, .height = 320}));
  }
  static void TearDownTestSuite() {
    delete clips;
    clips = nullptr;
  }

  // Shares a copy of a clip under `name`; returns its key.
  std::string Share(const std::string& clip, const std::string& name, std::uint8_t list = 1) {
    const std::string path = sandbox.Path("videos/" + name);
    CreateDirectories(sandbox.Path("videos"));
    std::filesystem::copy_file(clips->Path(clip), path,
                               std::filesystem::copy_options::overwrite_existing);
    std::string key;
    EXPECT_EQ(catalogue->AddShareRecord(path, list, &key), SHARE_ADD_OK);
    return key;
  }

  // One request with its own Host header (none when empty) on a fresh connection.
  HttpReply Ask(const std::string& method, const std::string& target,
                const std::string& host = kOtherHost, const std::string& body = {}) {
    HttpConnection connection;
    if (!connection.Connect("127.0.0.1", 11717)) return {};
    std::string request = method + " " + target + " HTTP/1.1\r\n";
    if (!host.empty()) request += "Host: " + host + "\r\n";
    request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    request += "Connection: close\r\n\r\n" + body;
    if (!connection.Send(request)) return {};
    return connection.ReadResponse(method == "HEAD");
  }

  // The parsed JSON of a 200 reply, with the headers every library reply has.
  Json::Value AskJson(const std::string& method, const std::string& target,
                      const std::string& host = kOtherHost, const std::string& body = {}) {
    HttpReply reply = Ask(method, target, host, body);
    EXPECT_EQ(reply.status, 200) << method << " " << target << "\n" << reply.raw;
    EXPECT_EQ(reply.Header("Content-Type"), "application/json; charset=utf-8");
    const bool hereSphere = target.rfind("/heresphere", 0) == 0;
    EXPECT_EQ(reply.Header("HereSphere-JSON-Version"), hereSphere ? "1" : "") << target;
    std::optional<Json::Value> json = ParseJson(reply.body);
    EXPECT_TRUE(json) << reply.body;
    return json.value_or(Json::Value());
  }

  static inline Sandbox* clips = nullptr;
};

TEST_F(HeadsetLibraryTest, IndexesListEveryVideoOfBothListsWithAbsoluteUrls) {
  const std::string flat = Share("flat.mp4", "walk.mp4");
  const std::string vr = Share("vr.mp4", "trip_180_LR.mp4");
  const std::string converted = Share("flat.mp4", "walk-out.mp4", SHARE_LIST_CONVERTED);
  const std::string gone = Share("flat.mp4", "gone.mp4");
  ASSERT_TRUE(RemoveFile(sandbox.Path("videos/gone.mp4")));
  Start();
  const std::string base = std::string("http://") + kOtherHost;

  for (const char* method : {"GET", "POST"}) {
    Json::Value deo = AskJson(method, "/deovr");
    ASSERT_TRUE(deo.isObject());
    EXPECT_TRUE(deo["authorized"].isString());
    EXPECT_EQ(deo["authorized"].asString(), "1");
    const Json::Value& scenes = deo["scenes"];
    ASSERT_EQ(scenes.size(), 2u) << deo;
    EXPECT_EQ(scenes[0]["name"].asString(), HeadsetLibrary::kOrdinaryScene);
    EXPECT_EQ(scenes[1]["name"].asString(), HeadsetLibrary::kConvertedScene);
    ASSERT_EQ(scenes[0]["list"].size(), 2u);  // the missing video is left out
    ASSERT_EQ(scenes[1]["list"].size(), 1u);
    struct Expected {
      const Json::Value& entry;
      const char* title;
      const std::string& key;
    } expected[] = {{scenes[0]["list"][0], "walk", flat},
                    {scenes[0]["list"][1], "trip_180_LR", vr},
                    {scenes[1]["list"][0], "walk-out", converted}};
    for (const Expected& e : expected) {
      EXPECT_EQ(e.entry["title"].asString(), e.title);
      EXPECT_TRUE(e.entry["videoLength"].isUInt());
      EXPECT_EQ(e.entry["videoLength"].asUInt(), 2u);
      EXPECT_EQ(e.entry["thumbnailUrl"].asString(), base + "/image/" + e.key + ".jpg");
      EXPECT_EQ(e.entry["video_url"].asString(), base + "/deovr/" + e.key);
    }

    Json::Value here = AskJson(method, "/heresphere");
    EXPECT_TRUE(here["access"].isInt());
    EXPECT_EQ(here["access"].asInt(), 1);
    const Json::Value& library = here["library"];
    ASSERT_EQ(library.size(), 2u) << here;
    EXPECT_EQ(library[0]["name"].asString(), HeadsetLibrary::kOrdinaryScene);
    ASSERT_EQ(library[0]["list"].size(), 2u);
    EXPECT_EQ(library[0]["list"][0].asString(), base + "/heresphere/" + flat);
    EXPECT_EQ(library[0]["list"][1].asString(), base + "/heresphere/" + vr);
    EXPECT_EQ(library[1]["name"].asString(), HeadsetLibrary::kConvertedScene);
    EXPECT_EQ(library[1]["list"][0].asString(), base + "/heresphere/" + converted);
  }

  // An empty list is no scene; a request without Host hears the server's own address.
  ASSERT_TRUE(
      catalogue->RemoveShareRecord(SHARE_LIST_CONVERTED, sandbox.Path("videos/walk-out.mp4")));
  Json::Value deo = AskJson("GET", "/deovr/", "");
  ASSERT_EQ(deo["scenes"].size(), 1u);
  EXPECT_EQ(deo["scenes"][0]["list"][0]["video_url"].asString(),
            "http://127.0.0.1:11717/deovr/" + flat);
  HttpReply head = Ask("HEAD", "/heresphere");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("HereSphere-JSON-Version"), "1");
  EXPECT_NE(head.Header("Content-Length"), "0");
  EXPECT_TRUE(head.body.empty());
  EXPECT_EQ(gone.size(), 32u);
}

TEST_F(HeadsetLibraryTest, EachVideoTellsItsFormatAndStreamsThroughTheMediaPath) {
  const std::string flat = Share("flat.mp4", "walk.mp4");
  const std::string vr = Share("vr.mp4", "trip_180_LR.mp4");
  const std::string converted = Share("flat.mp4", "walk-out.mp4", SHARE_LIST_CONVERTED);
  Start();
  const std::string base = std::string("http://") + kOtherHost;
  const std::string vrBytes = sandbox.ReadFile("videos/trip_180_LR.mp4");

  Json::Value deo = AskJson("POST", "/deovr/" + vr, kOtherHost, R"({"username":"","password":""})");
  EXPECT_TRUE(deo["id"].isInt());
  EXPECT_EQ(deo["title"].asString(), "trip_180_LR");
  EXPECT_EQ(deo["authorized"].asInt(), 1);
  EXPECT_TRUE(deo["fullAccess"].asBool());
  EXPECT_TRUE(deo["is3d"].asBool());
  EXPECT_EQ(deo["screenType"].asString(), "dome");
  EXPECT_EQ(deo["stereoMode"].asString(), "sbs");
  EXPECT_EQ(deo["videoLength"].asUInt(), 2u);
  EXPECT_EQ(deo["thumbnailUrl"].asString(), base + "/image/" + vr + ".jpg");
  ASSERT_EQ(deo["encodings"].size(), 1u);
  EXPECT_EQ(deo["encodings"][0]["name"].asString(), "mp4");
  ASSERT_EQ(deo["encodings"][0]["videoSources"].size(), 1u);
  const Json::Value& source = deo["encodings"][0]["videoSources"][0];
  EXPECT_EQ(source["resolution"].asUInt(), 320u);
  EXPECT_EQ(source["height"].asUInt(), 320u);
  EXPECT_EQ(source["width"].asUInt(), 640u);
  EXPECT_EQ(source["size"].asUInt64(), vrBytes.size());
  EXPECT_EQ(source["url"].asString(), base + "/" + vr);

  // The stream is the media server's own path, with ranges.
  const std::string url = source["url"].asString();
  HttpReply part = HttpRequest("GET", url.substr(base.size()), {"Range: bytes=100-1099"});
  EXPECT_EQ(part.status, 206);
  EXPECT_EQ(part.Header("Content-Type"), "video/mp4");
  EXPECT_EQ(part.body, vrBytes.substr(100, 1000));

  Json::Value here = AskJson("POST", "/heresphere/" + vr, kOtherHost,
                             R"({"username":"","password":"","needsMediaSource":true})");
  EXPECT_EQ(here["access"].asInt(), 1);
  EXPECT_EQ(here["title"].asString(), "trip_180_LR");
  EXPECT_EQ(here["thumbnailImage"].asString(), base + "/image/" + vr + ".jpg");
  EXPECT_TRUE(here["duration"].isDouble());
  EXPECT_NEAR(here["duration"].asDouble(), 2000, 100);
  EXPECT_EQ(here["projection"].asString(), "equirectangular");
  EXPECT_EQ(here["stereo"].asString(), "sbs");
  EXPECT_EQ(here["lens"].asString(), "Linear");
  EXPECT_EQ(here["fov"].asInt(), 180);
  ASSERT_EQ(here["media"].size(), 1u);
  EXPECT_EQ(here["media"][0]["sources"][0], source);
  for (const char* write : {"writeFavorite", "writeRating", "writeTags", "writeHSP"}) {
    EXPECT_TRUE(here[write].isBool() && !here[write].asBool()) << write;
  }

  // A flat video and a "3D" output of the converter.
  struct Case {
    const std::string& key;
    const char* screenType;
    const char* stereoMode;
    bool is3d;
    const char* projection;
    const char* stereo;
  } cases[] = {{flat, "flat", "off", false, "perspective", "mono"},
               {converted, "flat", "sbs", true, "perspective", "sbs"}};
  for (const Case& c : cases) {
    Json::Value d = AskJson("GET", "/deovr/" + c.key);
    EXPECT_EQ(d["screenType"].asString(), c.screenType);
    EXPECT_EQ(d["stereoMode"].asString(), c.stereoMode);
    EXPECT_EQ(d["is3d"].asBool(), c.is3d);
    Json::Value h = AskJson("GET", "/heresphere/" + c.key);
    EXPECT_EQ(h["projection"].asString(), c.projection);
    EXPECT_EQ(h["stereo"].asString(), c.stereo);
    EXPECT_FALSE(h.isMember("fov"));
  }

  // Keys nobody shares, and paths below the roots that are no key.
  const std::string unknown(32, 'a');
  for (const std::string& target :
       {"/deovr/" + unknown, "/heresphere/" + unknown, "/deovr/" + vr + "/x",
        "/deovr/" + vr.substr(0, 31), "/heresphere/" + std::string(32, 'A')}) {
    HttpReply reply = Ask("POST", target);
    EXPECT_EQ(reply.status, 404) << target;
    EXPECT_TRUE(ParseJson(reply.body)) << reply.body;
  }
  EXPECT_EQ(Ask("POST", "/heresphere/" + unknown).Header("HereSphere-JSON-Version"), "1");
  // Not the library's: the static path answers as before.
  EXPECT_EQ(Ask("GET", "/deovrx").status, 404);
}

// A headset's page of one video and the stream it points to come from one lookup of the key:
// they are there or gone together, also when another briselvr changed file_root meanwhile.
TEST_F(HeadsetLibraryTest, AVideosPageAndItsStreamAgree) {
  const std::string shared = Share("flat.mp4", "shared.mp4");
  const std::string unlinked = Share("flat.mp4", "unlinked.mp4");
  const std::string gone = Share("flat.mp4", "gone.mp4");
  std::string unlisted;
  {
    ShareCatalogue other;  // another briselvr adding while this one serves
    std::filesystem::copy_file(clips->Path("vr.mp4"), sandbox.Path("videos/unlisted.mp4"));
    ASSERT_EQ(other.AddShareRecord(sandbox.Path("videos/unlisted.mp4"), 1, &unlisted),
              SHARE_ADD_OK);
  }
  Start();
  ASSERT_TRUE(RemoveFile(catalogue->RecordFilePath(unlinked)));  // another briselvr removed it
  ASSERT_TRUE(RemoveFile(sandbox.Path("videos/gone.mp4")));
  struct Case {
    const char* what;
    const std::string& key;
    int status;
  } cases[] = {
      {"shared", shared, 200},
      {"record file of another briselvr", unlisted, 200},
      {"record file removed", unlinked, 404},
      {"video gone", gone, 404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(HttpRequest("GET", "/" + c.key, {"Range: bytes=0-9"}).status,
              c.status == 200 ? 206 : 404);
    EXPECT_EQ(Ask("GET", "/deovr/" + c.key).status, c.status);
    EXPECT_EQ(Ask("GET", "/heresphere/" + c.key).status, c.status);
  }
  // The page of the video nobody listed describes it from its record file.
  Json::Value page = AskJson("GET", "/deovr/" + unlisted);
  EXPECT_EQ(page["title"].asString(), "unlisted");
  EXPECT_EQ(page["encodings"][0]["videoSources"][0]["width"].asUInt(), 640u);
}

TEST_F(HeadsetLibraryTest, HostileRequestsChangeNothing) {
  const std::string vr = Share("vr.mp4", "trip_180_LR.mp4");
  Start();
  const std::vector<std::string> before = ListDirectory(sandbox.Path("file_root"));
  const std::string video = sandbox.ReadFile("videos/trip_180_LR.mp4");

  // 64 KiB of write-backs and deletion requests, on a connection that stays open.
  std::string body = R"({"username":"x","password":"y","deleteFile":true,"isFavorite":true,)";
  body += R"("rating":5,"hsp":")" + std::string(64 * 1024, 'A') + R"(","tags":[]})";
  HttpConnection connection;
  ASSERT_TRUE(connection.Connect("127.0.0.1", 11717));
  for (const char* target : {"/heresphere/", "/deovr/"}) {
    ASSERT_TRUE(
        connection.Send(std::string("POST ") + target + vr + " HTTP/1.1\r\nHost: " + kOtherHost +
                        "\r\nContent-Type: application/json\r\n" +
                        "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
    HttpReply reply = connection.ReadResponse();
    EXPECT_EQ(reply.status, 200) << target;
    EXPECT_TRUE(ParseJson(reply.body)) << target;
  }
  // The same connection still serves the video.
  ASSERT_TRUE(connection.Send("GET /" + vr + " HTTP/1.1\r\nHost: x\r\nRange: bytes=0-9\r\n\r\n"));
  EXPECT_EQ(connection.ReadResponse().body, video.substr(0, 10));

  // Hosts that could reach into JSON or URLs fall back to the server's own address.
  const std::string own = "http://127.0.0.1:11717/heresphere/" + vr;
  for (const std::string& host :
       {std::string(R"(evil"}],"access":0,"x":[{"y":")"), std::string("a b"), std::string("a/b"),
        std::string("user@h"), std::string("h:99999"), std::string("h:"), std::string("[::1"),
        std::string(254, 'h') + ":1", std::string(4000, 'h')}) {
    Json::Value here = AskJson("POST", "/heresphere", host);
    ASSERT_EQ(here["library"].size(), 1u) << host;
    EXPECT_EQ(here["access"].asInt(), 1) << host;
    EXPECT_EQ(here["library"][0]["list"][0].asString(), own) << host.substr(0, 40);
  }
  // A Host beyond what CivetWeb reads of a request is turned away before it reaches us.
  EXPECT_NE(Ask("GET", "/deovr", std::string(20000, 'h')).status, 200);
  // A body beyond what any player sends is refused without being read.
  HttpReply tooLarge = Ask("POST", "/deovr", kOtherHost, std::string(2 * 1024 * 1024, '{'));
  EXPECT_EQ(tooLarge.status, 413);

  EXPECT_EQ(ListDirectory(sandbox.Path("file_root")), before);
  EXPECT_EQ(sandbox.ReadFile("videos/trip_180_LR.mp4"), video);
  EXPECT_EQ(Ask("GET", "/deovr/" + vr).status, 200);  // still serving
}

TEST(HeadsetLibraryRulesTest, HostsAndPaths) {
  Sandbox sandbox;
  ShareCatalogue catalogue;
  HeadsetLibrary library(catalogue, "10.0.0.5", 11717);
  struct HostCase {
    const char* host;
    const char* authority;
  } hosts[] = {
      {nullptr, "10.0.0.5:11717"},
      {"", "10.0.0.5:11717"},
      {"pc.local", "pc.local:11717"},
      {"192.168.1.2:8080", "192.168.1.2:8080"},
      {"my-pc_1.lan:11717", "my-pc_1.lan:11717"},
      {"[fe80::1]:11717", "[fe80::1]:11717"},
      {"[::ffff:10.0.0.5]", "[::ffff:10.0.0.5]:11717"},
      {"[]:1", "10.0.0.5:11717"},
      {"[fe80::1%eth0]", "10.0.0.5:11717"},
      {"h:0", "10.0.0.5:11717"},
      {"h:65536", "10.0.0.5:11717"},
      {"h:1x", "10.0.0.5:11717"},
      {":80", "10.0.0.5:11717"},
      {"a\"b", "10.0.0.5:11717"},
      {"a\\b", "10.0.0.5:11717"},
      {"h\r\nX: y", "10.0.0.5:11717"},
      {"\xe4\xb8\xad.lan", "10.0.0.5:11717"},
  };
  for (const HostCase& c : hosts) {
    EXPECT_EQ(library.Authority(c.host), c.authority) << (c.host ? c.host : "(none)");
  }
  EXPECT_EQ(library.Authority(std::string(255, 'a').c_str()), std::string(255, 'a') + ":11717");
  EXPECT_EQ(library.Authority(std::string(256, 'a').c_str()), "10.0.0.5:11717");

  for (const char* ours : {"/deovr", "/deovr/", "/deovr/abc", "/heresphere", "/heresphere/x/y"}) {
    EXPECT_TRUE(HeadsetLibrary::Claims(ours)) << ours;
  }
  for (const char* theirs : {"/", "/deovrx", "/DEOVR", "/image/deovr", "deovr", "/heresphere.jpg",
                             "/0123456789abcdef0123456789abcdef"}) {
    EXPECT_FALSE(HeadsetLibrary::Claims(theirs)) << theirs;
  }
}

}  // namespace
}  // namespace brisel::test
