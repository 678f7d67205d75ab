#include "app/VersionCheckThread.h"

#include <gtest/gtest.h>

#include <chrono>

#include "BriselAssist/Http/HttpHelper.h"
#include "settings/AppSettings.h"
#include "support/RecordingTarget.h"
#include "support/Sandbox.h"
#include "support/ScriptedHttpServer.h"

namespace brisel {
namespace {

using test::HttpReply;

class VersionCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running());
    box_.WriteFile("config.ini", "[NormalSetting]\r\nUpdateBaseUrl=" + server_.BaseUrl() + "\r\n");
    ASSERT_TRUE(LoadSettings(false));
  }
  void Script(const std::string& reply) {
    server_.Script("/lanclient/last-version", HttpReply::Answer(200, reply));
  }
  test::Sandbox box_;
  test::ScriptedHttpServer server_;
  std::shared_ptr<test::RecordingTarget> window_ = test::RecordingTarget::Create();
};

TEST_F(VersionCheck, EachCheckPostsOneAnswer) {
  const std::string local = HttpHelper::LocalVersionText();
  struct Case {
    std::string reply;
    HttpHelper::CheckResult result;
    std::string url, box;
  } cases[] = {
      {R"({"code":0,"data":[{"version_name":"9.9.9_1","version_code":"9","download_url":"http://x/a.exe"}]})",
       HttpHelper::CheckResult::UpdateAvailable, "http://x/a.exe", ""},
      {R"({"code":0,"data":[{"version_name":")" + local +
           R"(","version_code":"7","download_url":"http://x/a.exe"}]})",
       HttpHelper::CheckResult::UpToDate, "", ""},
      {R"({"code":2})", HttpHelper::CheckResult::Failed, "", "获取更新文件失败"},
      {"not json", HttpHelper::CheckResult::Failed, "", ""},
  };
  VersionCheckThread check(window_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    Script(c.reply);
    window_->Clear();
    ASSERT_TRUE(check.Start());
    ASSERT_TRUE(window_->WaitForCount(1, std::chrono::seconds(20), WM_VERSION_CHECKED));
    ASSERT_TRUE(test::WaitFor([&] { return !check.Running(); }));
    ASSERT_EQ(window_->Count(), 1u);
    const Message answer = window_->Messages().front();
    EXPECT_EQ(answer.wParam, static_cast<int>(c.result));
    EXPECT_EQ(answer.text, c.url);
    EXPECT_EQ(answer.text2, c.box);
  }
}

TEST_F(VersionCheck, OneAtATimeAndASilentServiceDoesNotHoldUpTheEnd) {
  server_.Script("/lanclient/last-version", HttpReply::Silent());
  auto check = std::make_unique<VersionCheckThread>(window_);
  ASSERT_TRUE(check->Start());
  EXPECT_FALSE(check->Start()) << "one check at a time";
  ASSERT_TRUE(server_.WaitForRequests(1));
  auto start = std::chrono::steady_clock::now();
  check.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(server_.Requests().size(), 1u);
}

}  // namespace
}  // namespace brisel
