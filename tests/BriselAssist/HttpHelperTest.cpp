#include "BriselAssist/Http/HttpHelper.h"

#include <gtest/gtest.h>

#include <cctype>

#include "BriselAssist/Http/HttpClient.h"
#include "BriselDataManager/LogRecorder.h"
#include "platform/Md5.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"
#include "support/DailyLog.h"
#include "support/Sandbox.h"
#include "support/ScriptedHttpServer.h"

namespace brisel {
namespace {

using test::HttpReply;
using Result = HttpHelper::CheckResult;

class RecordingHost : public HttpHelper::Host {
 public:
  void ShowMessageBox(const std::string& text) override { boxes.push_back(text); }
  std::vector<std::string> boxes;
};

constexpr const char* kMac = "00:1A:2B:3C:4D:5E";

class VersionCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running());
    UseBaseUrl(server_.BaseUrl());
    StartLogThread();
  }
  void TearDown() override {
    StopLogThread();
    SetLocalMac("");
  }

  // config.ini with this UpdateBaseUrl, then the start-up steps of the check.
  void UseBaseUrl(const std::string& url) {
    box_.WriteFile("config.ini", "[NormalSetting]\nUpdateBaseUrl=" + url + "\n");
    ASSERT_TRUE(LoadSettings(false));
    SetLocalMac(kMac);
    helper_.InitVersionCheck();
    helper_.Client()->SetTimeouts(1000, 2000);
  }

  void Reply(const std::string& json) {
    server_.Script("/lanclient/last-version", HttpReply::Answer(200, json));
  }

  test::Sandbox box_;
  test::ScriptedHttpServer server_;
  RecordingHost host_;
  HttpHelper helper_{&host_};
};

std::string Data(const std::string& name, const std::string& url = "http://dl/BriselVR.exe") {
  return "{\"code\":0,\"data\":[{\"version_name\":\"" + name +
         "\",\"version_code\":\"8\",\"download_url\":\"" + url + "\"}]}";
}

TEST(VersionTexts, ComeFromTheProgramsVersionAndTheSystem) {
  EXPECT_EQ(HttpHelper::GetProductVersionText(), "1.0.7");
  EXPECT_EQ(HttpHelper::LocalVersionText(), "1.0.7_20160606");
  // This machine's own text: three numbers and a dot, or the failure text.
  const std::string os = HttpHelper::GetOsVersionText();
  int dots = 0;
  std::size_t i = 0;
  for (; i < os.size() && dots < 3; ++i) {
    if (os[i] == '.') {
      ++dots;
    } else if (!std::isdigit(static_cast<unsigned char>(os[i]))) {
      break;
    }
  }
  EXPECT_TRUE(dots == 3 || os == "0.0.0 NoVersion") << os;

  const std::string debian =
      "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n";
  struct Case {
    std::optional<std::string> release, osRelease;
    std::string expected;
  } cases[] = {
      {"6.1.0-18-amd64", debian, "6.1.0.Debian GNU/Linux 12 (bookworm)"},
      {"5.15.0-91-generic", "PRETTY_NAME='Ubuntu 22.04'\n", "5.15.0.Ubuntu 22.04"},
      {"4.19", "PRETTY_NAME=Arch\\ Linux\n  PRETTY_NAME=\"Say \\\"hi\\\"\"\n", "4.19.0.Say \"hi\""},
      {"6.8.12+rpt", "ID=x\n", "6.8.12."},
      {"6.1.0", std::nullopt, "6.1.0."},
      {std::nullopt, debian, "0.0.0 NoVersion"},
      {"", debian, "0.0.0 NoVersion"},
      {"unknown", debian, "0.0.0 NoVersion"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HttpHelper::FormatOsVersionText(c.release, c.osRelease), c.expected)
        << c.release.value_or("(none)");
}

TEST(VersionTexts, OnlyANewerVersionIsAnUpdate) {
  const std::string local = "1.0.7_20160606";
  struct Case {
    std::string offered;
    bool newer;
  } cases[] = {
      {"1.0.7_20160606", false},
      {"1.0.8_20160101", true},  // the version decides before the date
      {"1.1.0_20150101", true},
      {"2.0.0", true},
      {"1.0.10_20160606", true},  // numbers, not texts: 10 > 7
      {"1.0.6_20991231", false},
      {"0.9.9_20170101", false},
      {"1.0.7_20160607", true},  // a later build of this version
      {"1.0.7_20160605", false},
      {"1.0.7", false},  // this version, without its build date
      {"01.00.07_20160606", false},
      {"1.0.7_", true},  // not of the program's form: any other text counts
      {"1.0.7_2016-06-06", true},
      {"1.0", true},
      {"v1.0.8", true},
      {"1.0.7_20160606 ", true},
      {"1.0.99999999999999999999_1", true},
      {"", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(HttpHelper::IsNewerVersionText(c.offered, local), c.newer) << c.offered;
  // Neither of two texts of the program's form is newer than the other both ways.
  EXPECT_FALSE(HttpHelper::IsNewerVersionText(local, "1.0.7"));
  EXPECT_FALSE(HttpHelper::IsNewerVersionText("x", "x"));
}

TEST_F(VersionCheck, SendsTheIdentityOfThisClientToLastVersion) {
  Reply(Data(HttpHelper::LocalVersionText()));
  std::string url = "stale";
  EXPECT_FALSE(helper_.CheckVersion(&url));
  EXPECT_EQ(url, "");

  const std::string os = HttpHelper::GetOsVersionText();
  const std::string agent = "BriselVR VadAzuZez 1.0.0_20160526(" + os + "; " + Md5Hex(kMac) + ")";
  EXPECT_EQ(helper_.UserAgent(), agent);
  auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].uri, "/lanclient/last-version");
  EXPECT_EQ(requests[0].body, "type=3&system_version=" + os + "&mac=00:1A:2B:3C:4D:5E&BriselVR=3");
  EXPECT_EQ(requests[0].HeaderValues("User-Agent"), std::vector<std::string>{agent});

  // A base URL without its final "/" names the same service.
  std::string base = server_.BaseUrl();
  base.pop_back();
  UseBaseUrl(base);
  EXPECT_EQ(helper_.RequestUrl(), server_.Url("lanclient/last-version"));
  EXPECT_EQ(helper_.RunVersionCheck(&url), Result::UpToDate);
}

TEST_F(VersionCheck, TheReplyDecides) {
  const std::string local = HttpHelper::LocalVersionText();
  const std::string entry =
      R"({"version_name":"1.0.8_20170101","version_code":"8","download_url":"http://dl/a.exe"})";
  struct Case {
    std::string what, reply;
    Result result;
    std::string url;
  } cases[] = {
      {"the same version", Data(local), Result::UpToDate, ""},
      {"a newer version", Data("1.0.8_20170101"), Result::UpdateAvailable,
       "http://dl/BriselVR.exe"},
      // An older build is no update, even when the service offers it.
      {"an older version", Data("1.0.6_20160101"), Result::UpToDate, ""},
      {"a version text that differs only in form", Data("1.0.7"), Result::UpToDate, ""},
      {"a later build of this version", Data("1.0.7_20160701"), Result::UpdateAvailable,
       "http://dl/BriselVR.exe"},
      {"a version of another form", Data("2016-beta"), Result::UpdateAvailable,
       "http://dl/BriselVR.exe"},
      {"no code member", "{\"data\":[" + entry + "]}", Result::UpdateAvailable, "http://dl/a.exe"},
      {"not JSON", "<html>bad gateway</html>", Result::Failed, ""},
      {"empty", "", Result::Failed, ""},
      {"no data", R"({"code":0})", Result::Failed, ""},
      {"data null", R"({"code":0,"data":null})", Result::Failed, ""},
      {"data an object", "{\"code\":0,\"data\":" + entry + "}", Result::Failed, ""},
      {"data empty", R"({"code":0,"data":[]})", Result::Failed, ""},
      {"no download_url", R"({"code":0,"data":[{"version_name":"2","version_code":"8"}]})",
       Result::Failed, ""},
      {"no version_name", R"({"code":0,"data":[{"version_code":"8","download_url":"http://x"}]})",
       Result::Failed, ""},
      {"a number for a name",
       R"({"code":0,"data":[{"version_name":108,"version_code":"8","download_url":"http://x"}]})",
       Result::Failed, ""},
      {"an empty download URL", Data("1.0.8_20170101", ""), Result::Failed, ""},
      {"code a text", "{\"code\":\"0\",\"data\":[" + entry + "]}", Result::Failed, ""},
      {"an array", "[" + entry + "]", Result::Failed, ""},
      // The JSON reader throws past its nesting limit; a hostile reply must not end the program.
      {"nested too deep", std::string(1100, '['), Result::Failed, ""},
      {"nested too deep in data", "{\"code\":0,\"data\":" + std::string(5000, '[') + "}",
       Result::Failed, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reply(c.reply);
    std::string url = "stale";
    EXPECT_EQ(helper_.RunVersionCheck(&url), c.result);
    EXPECT_EQ(url, c.url);
  }
  EXPECT_TRUE(host_.boxes.empty()) << "only the service's own failure is shown";
}

TEST_F(VersionCheck, TheServicesFailureIsShownAndLogged) {
  Reply(R"({"code":2})");
  std::string url = "stale";
  EXPECT_FALSE(helper_.CheckVersion(&url));
  EXPECT_EQ(url, "");
  EXPECT_EQ(host_.boxes, std::vector<std::string>{"获取更新文件失败"});

  Reply(Data("1.0.8_20170101"));
  EXPECT_TRUE(helper_.CheckVersion(&url));
  StopLogThread();
  const std::string log = test::ReadTodaysLog(box_);
  const std::string tag = "|:(BriselAssist\\Http\\HttpHelper):";
  const std::string requestUrl = server_.Url("lanclient/last-version");
  std::size_t failed = log.find(tag + "HttpPost------OK,URL:" + requestUrl + ", {\"code\":2}\r\n");
  std::size_t reason = log.find(tag + "JSON异常，异常原因：2\r\n");
  std::size_t update =
      log.find(tag + "HttpPost------OK,URL:" + requestUrl + ", " + Data("1.0.8_20170101") + "\r\n");
  std::size_t parsed = log.find(tag + "checkVersion------2\r\n");
  ASSERT_NE(failed, std::string::npos) << log;
  ASSERT_NE(reason, std::string::npos) << log;
  ASSERT_NE(update, std::string::npos) << log;
  ASSERT_NE(parsed, std::string::npos) << log;
  EXPECT_LT(failed, reason);
  EXPECT_LT(reason, update);
  EXPECT_LT(update, parsed);
  EXPECT_EQ(log.rfind(tag + "checkVersion------2"), parsed) << "not after the failed reply";
}

TEST_F(VersionCheck, WithoutBaseUrlOrServiceTheCheckFailsQuietly) {
  server_.Script("/lanclient/last-version", HttpReply::Silent());
  std::string url;
  EXPECT_EQ(helper_.RunVersionCheck(&url), Result::Failed) << "a silent service";

  UseBaseUrl("");
  EXPECT_EQ(helper_.RequestUrl(), "lanclient/last-version");
  EXPECT_EQ(helper_.RunVersionCheck(&url), Result::Failed);
  EXPECT_EQ(server_.Requests().size(), 1u) << "no request without a base URL";
  EXPECT_TRUE(host_.boxes.empty());
  StopLogThread();
  const std::string log = test::ReadTodaysLog(box_);
  EXPECT_NE(log.find("HttpPost------OK,URL:lanclient/last-version, \r\n"), std::string::npos)
      << log;
}

}  // namespace
}  // namespace brisel
