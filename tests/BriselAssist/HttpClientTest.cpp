#include "BriselAssist/Http/HttpClient.h"

#include <gtest/gtest.h>

#include <chrono>

#include "BriselDataManager/LogRecorder.h"
#include "support/DailyLog.h"
#include "support/Sandbox.h"
#include "support/ScriptedHttpServer.h"

namespace brisel {
namespace {

using test::HttpReply;

class HttpClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running());
    StartLogThread();
  }
  void TearDown() override { StopLogThread(); }

  test::Sandbox box_;
  test::ScriptedHttpServer server_;
  CHttpClient client_;
};

TEST_F(HttpClient, PostsTheBodyWholeWithTheFourHeadersAndExactlyOneUserAgent) {
  const std::string agent = "BriselVR VadAzuZez 1.0.0_20160526(6.1.0.Debian; abc)";
  std::string longBody = "type=3&note=";
  while (longBody.size() < 900) longBody += "中文";  // far beyond 511 UTF-8 bytes
  for (const std::string& body :
       {std::string("type=3&system_version=6.1.0.x&mac=&BriselVR=3"), longBody, std::string()}) {
    SCOPED_TRACE(body.substr(0, 20));
    server_.Script("/lanclient/last-version", HttpReply::Answer(200, "{\"code\":0}"));
    std::size_t before = server_.Requests().size();
    const std::string url = server_.Url("lanclient/last-version?x=1");
    client_.SetRequestInfo(url, body, agent);
    std::string reply = "stale";
    ASSERT_EQ(client_.HttpPost(url, body, &reply), CHttpClient::POST_OK);
    EXPECT_EQ(reply, "{\"code\":0}");

    auto requests = server_.Requests();
    ASSERT_EQ(requests.size(), before + 1);
    const test::HttpRequestRecord& r = requests.back();
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.uri, "/lanclient/last-version");
    EXPECT_EQ(r.query, "x=1");
    EXPECT_EQ(r.body, body);
    using Values = std::vector<std::string>;
    EXPECT_EQ(r.HeaderValues("Content-Type"), Values{"application/x-www-form-urlencoded"});
    EXPECT_EQ(r.HeaderValues("User-Agent"), Values{agent});
    EXPECT_EQ(r.HeaderValues("Accept-Encoding"), Values{"gzip, deflate"});
    EXPECT_EQ(r.HeaderValues("Accept-Language"), Values{"zh-cn,en,*"});
    EXPECT_EQ(r.HeaderValues("Content-Length"), Values{std::to_string(body.size())});
    EXPECT_TRUE(r.HeaderValues("Expect").empty());
  }
  StopLogThread();
  std::string log = test::ReadTodaysLog(box_);
  EXPECT_NE(log.find("|:(BriselAssist\\Http\\HttpClient):SendRequest::::type=3&system_version="
                     "6.1.0.x&mac=&BriselVR=3\r\n"),
            std::string::npos)
      << log;
}

TEST_F(HttpClient, UrlsThatAreNotHttpFailAtOnceWithoutTouchingTheNetwork) {
  const std::string port = std::to_string(server_.Port());
  const std::vector<std::string> urls = {"ftp://127.0.0.1:" + port + "/lanclient/last-version",
                                         "file:///etc/hostname",
                                         "gopher://127.0.0.1:" + port + "/",
                                         "lanclient/last-version",
                                         "127.0.0.1:" + port + "/x",
                                         ""};
  for (const std::string& url : urls) {
    SCOPED_TRACE(url);
    std::string reply = "stale";
    EXPECT_EQ(client_.HttpPost(url, "a=1", &reply), CHttpClient::POST_FAILED);
    EXPECT_EQ(reply, "");
  }
  EXPECT_EQ(server_.Connections(), 0);
  std::string reply;
  EXPECT_EQ(client_.HttpPost(server_.Url("x"), "a=1", &reply), CHttpClient::POST_OK);
  EXPECT_EQ(server_.Connections(), 1) << "the count sees a real request";
  StopLogThread();
  const std::string log = test::ReadTodaysLog(box_);
  EXPECT_EQ(log.find("SendRequest"), log.rfind("SendRequest")) << "only the real request";
}

TEST_F(HttpClient, NetworkFailuresGiveOneAndTimeOutsTwoAndTheClientServesTheNextRequest) {
  client_.SetTimeouts(1000, 1500);
  server_.Script("/silent", HttpReply::Silent());
  server_.Script("/trickle", HttpReply::StallingAfter("{\"code\":", 3));
  server_.Script("/cut", HttpReply::CutShort("{\"code\":0}", 500));
  server_.Script("/ok", HttpReply::Answer(200, "fine"));
  test::ScriptedHttpServer stopped;
  const std::string refused = stopped.Url("x");
  stopped.Stop();
  struct Case {
    std::string url;
    int result;
  } cases[] = {
      {server_.Url("silent"), CHttpClient::POST_TIMEOUT},
      {server_.Url("trickle"), CHttpClient::POST_TIMEOUT},
      {server_.Url("cut"), CHttpClient::POST_FAILED},
      {refused, CHttpClient::POST_FAILED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    std::string reply = "stale";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(client_.HttpPost(c.url, "a=1", &reply), c.result);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(reply, "");
    std::string after;
    EXPECT_EQ(client_.HttpPost(server_.Url("ok"), "a=1", &after), CHttpClient::POST_OK);
    EXPECT_EQ(after, "fine");
  }
}

TEST_F(HttpClient, TheReplyIsKeptAsReceivedPieceByPieceUpToEachPiecesFirstZeroByte) {
  // Pieces of 1024 bytes from the start of the body: a zero byte ends what is kept of its
  // piece, and the next piece is kept again.
  std::string body = std::string(1000, 'a') + '\0' + std::string(23, 'b') +  // piece 1
                     std::string(10, 'c') + '\0' + "dd";                     // piece 2
  server_.Script("/zero", HttpReply::Answer(200, body));
  // A compressed reply is not decoded, and an error status still gives its body.
  const std::string gzipped =
      "\x1f\x8b\x08\x08\x01\x02\x03\x04"
      "compressed?";
  server_.Script("/gzip", HttpReply::Answer(200, gzipped, {{"Content-Encoding", "gzip"}}));
  server_.Script("/missing", HttpReply::Answer(404, "no such page"));
  std::string bigBody;
  for (int i = 0; i < 5000; ++i) bigBody += "0123456789";
  server_.Script("/big", HttpReply::WithoutLength(bigBody));
  struct Case {
    std::string path, expected;
  } cases[] = {
      {"zero", std::string(1000, 'a') + std::string(10, 'c')},
      {"gzip", gzipped},
      {"missing", "no such page"},
      {"big", bigBody},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string reply;
    ASSERT_EQ(client_.HttpPost(server_.Url(c.path), "", &reply), CHttpClient::POST_OK);
    EXPECT_EQ(reply, c.expected);
  }
}

TEST_F(HttpClient, HttpsVerifiesTheCertificateChainAndTheHostName) {
  std::string right = test::MakeSelfSignedCertificate(box_.Folder(), "right", "IP:127.0.0.1");
  std::string wrong =
      test::MakeSelfSignedCertificate(box_.Folder(), "wrong", "DNS:update.example.org");
  ASSERT_FALSE(right.empty());
  ASSERT_FALSE(wrong.empty());
  struct Case {
    const char* what;
    std::string serverPem;
    std::string trusted;  // the client's trust anchors; empty: the system's
    int result;
  } cases[] = {
      {"trusted and named for 127.0.0.1", right, right + ".crt", CHttpClient::POST_OK},
      {"not trusted", right, "", CHttpClient::POST_FAILED},
      {"trusted but named for another host", wrong, wrong + ".crt", CHttpClient::POST_FAILED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ScriptedHttpServer tls(c.serverPem);
    ASSERT_TRUE(tls.Running());
    tls.Script("/lanclient/last-version", HttpReply::Answer(200, "secret"));
    CHttpClient client;
    client.SetCaFile(c.trusted);
    std::string reply;
    EXPECT_EQ(client.HttpPost(tls.Url("lanclient/last-version"), "a=1", &reply), c.result);
    EXPECT_EQ(reply, c.result == CHttpClient::POST_OK ? "secret" : "");
  }
}

}  // namespace
}  // namespace brisel
