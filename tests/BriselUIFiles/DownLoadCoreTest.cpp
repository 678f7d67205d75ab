#include "BriselUIFiles/DownLoadCore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>

#include "BriselDataManager/LogRecorder.h"
#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "settings/ProgramValues.h"
#include "support/DailyLog.h"
#include "support/RecordingTarget.h"
#include "support/Sandbox.h"
#include "support/ScriptedHttpServer.h"

namespace brisel {
namespace {

using test::HttpReply;

std::string Installer(std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>('A' + i % 23);
  return bytes;
}

class UpdateDownload : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running());
    SetDownloadFolder(box_.Path("appData/download/"));  // missing, parents too
    // Stands in for the desktop's opener: records what it was asked to open.
    opener_ =
        box_.WriteFile("opener.sh", "#!/bin/sh\necho \"$1\" >> \"" + box_.Path("opened") + "\"\n");
    chmod(opener_.c_str(), 0755);
    SetShellOpenProgramForTesting(opener_);
    StartLogThread();
  }
  void TearDown() override {
    StopLogThread();
    SetShellOpenProgramForTesting("");
    SetDownloadFolder("");
  }

  // Runs one download to its result message.
  std::optional<Message> Run(const std::string& url) {
    host_->Clear();
    owner_->Clear();
    EXPECT_TRUE(core_.StartDownload(url));
    if (!host_->WaitForCount(1, std::chrono::seconds(20), WM_DOWNLOAD_RESULT)) return {};
    EXPECT_TRUE(test::WaitFor([&] { return !core_.Running(); }));
    return host_->Messages(WM_DOWNLOAD_RESULT).front();
  }

  std::vector<std::intptr_t> Progress(bool percent) const {
    std::vector<std::intptr_t> values;
    for (const Message& m : host_->Messages(WM_DOWNLOAD_PROGRESS))
      values.push_back(percent ? m.wParam : m.lParam);
    return values;
  }

  test::Sandbox box_;
  test::ScriptedHttpServer server_;
  std::shared_ptr<test::RecordingTarget> host_ = test::RecordingTarget::Create();
  std::shared_ptr<test::RecordingTarget> owner_ = test::RecordingTarget::Create();
  DownLoadCore core_{host_, owner_};
  std::string opener_;
};

TEST_F(UpdateDownload, ACompleteInstallerIsOpenedAndTheMainWindowAskedToClose) {
  const std::string body = Installer(25600);
  server_.Script("/BriselVR.exe", HttpReply::Answer(200, body));
  server_.Script("/unsized.exe", HttpReply::WithoutLength(body));
  server_.Script("/moved.exe", HttpReply::Answer(302, "moved", {{"Location", "/BriselVR.exe"}}));
  const std::string path = box_.Path("appData/download/BriselVR助手.exe");
  EXPECT_EQ(DownLoadCore::InstallerPath(), path);
  using Values = std::vector<std::intptr_t>;
  struct Case {
    std::string file;
    Values percents;
  } cases[] = {
      {"BriselVR.exe", {40, 80, 100}},  // pieces of 10 240, 10 240 and 5 120 bytes
      {"unsized.exe", {-1, -1, -1}},    // no Content-Length: the share is unknown
      {"moved.exe", {40, 80, 100}},
  };
  int opened = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    RemoveFile(path);
    std::optional<Message> result = Run(server_.Url(c.file));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, static_cast<int>(DownloadResult::Ok)) << result->text2;
    EXPECT_EQ(result->lParam, 200);
    EXPECT_EQ(result->text, path);
    EXPECT_EQ(Progress(true), c.percents);
    EXPECT_EQ(Progress(false), (Values{10240, 20480, 25600}));
    EXPECT_TRUE(core_.Done());
    EXPECT_EQ(ReadWholeFile(path).value_or(""), body);
    EXPECT_FALSE(PathExists(path + ".part"));

    ++opened;
    ASSERT_TRUE(owner_->WaitForCount(1, std::chrono::seconds(10), WM_SYSCOMMAND));
    EXPECT_EQ(owner_->Messages(WM_SYSCOMMAND).front().wParam, SC_CLOSE);
    std::string expected;
    for (int i = 0; i < opened; ++i) expected += path + "\n";
    EXPECT_TRUE(test::WaitFor([&] { return box_.ReadFile("opened") == expected; }))
        << box_.ReadFile("opened");
  }
  StopLogThread();
  const std::string log = test::ReadTodaysLog(box_);
  const std::string tag = "|:(BriselUIFiles\\DownLoadDlg):";
  EXPECT_NE(log.find(tag + "下载文件长度:25600.00, 下载路径 " + path + "\r\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find(tag + "下载文件长度:0.00, 下载路径 " + path + "\r\n"), std::string::npos)
      << "no Content-Length";
  EXPECT_NE(log.find(tag + "下载完成\r\n"), std::string::npos) << log;
}

TEST_F(UpdateDownload, AFailedDownloadIsReportedAndLeavesNothingToLaunch) {
  const std::string body = Installer(25600);
  server_.Script("/missing.exe", HttpReply::Answer(404, "no such file"));
  server_.Script("/short.exe", HttpReply::CutShort(body, 30000));
  server_.Script("/stalled.exe", HttpReply::StallingAfter(body, 15000));
  server_.Script("/empty.exe", HttpReply::Answer(200, ""));
  server_.Script("/BriselVR.exe", HttpReply::Answer(200, body));
  test::ScriptedHttpServer stopped;
  const std::string refused = stopped.Url("BriselVR.exe");
  stopped.Stop();
  box_.WriteFile("blocker", "a file where a folder should be");
  core_.SetStallTimeout(std::chrono::milliseconds(500));

  struct Case {
    std::string what, url;
    DownloadResult result;
    long status;
    const char* folder = nullptr;  // another DownloadFolder
    unsigned long sizeLimit = 0;   // a full disk after this many bytes
  } cases[] = {
      {"status 404", server_.Url("missing.exe"), DownloadResult::HttpStatus, 404},
      {"a body shorter than its length", server_.Url("short.exe"), DownloadResult::Incomplete, 200},
      {"a stalled body", server_.Url("stalled.exe"), DownloadResult::NetworkError, 200},
      {"an empty body", server_.Url("empty.exe"), DownloadResult::Incomplete, 200},
      {"a refused connection", refused, DownloadResult::NetworkError, 0},
      {"not http", "ftp://127.0.0.1:" + std::to_string(server_.Port()) + "/BriselVR.exe",
       DownloadResult::BadUrl, 0},
      {"an unwritable folder", server_.Url("BriselVR.exe"), DownloadResult::FileError, 0,
       "blocker/download/"},
      {"a full disk", server_.Url("BriselVR.exe"), DownloadResult::FileError, 200, nullptr, 15000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = box_.Path(c.folder ? c.folder : "appData/download/");
    SetDownloadFolder(folder);
    std::optional<Message> result;
    {
      std::optional<test::FileSizeLimit> limit;
      if (c.sizeLimit) limit.emplace(c.sizeLimit);
      result = Run(c.url);
    }
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, static_cast<int>(c.result)) << result->text2;
    EXPECT_EQ(result->lParam, c.status);
    EXPECT_FALSE(result->text2.empty());
    EXPECT_FALSE(core_.Done());
    EXPECT_FALSE(PathExists(folder + "BriselVR助手.exe"));
    EXPECT_FALSE(PathExists(folder + "BriselVR助手.exe.part"));
    if (c.result == DownloadResult::HttpStatus) {
      EXPECT_TRUE(Progress(true).empty());
    }
  }
  EXPECT_EQ(owner_->Count(), 0u) << "the main window stays";
  EXPECT_FALSE(PathExists(box_.Path("opened")));
}

TEST_F(UpdateDownload, DestroyingTheDownloadStopsItsThreadAndRemovesThePartialFile) {
  server_.Script("/BriselVR.exe", HttpReply::StallingAfter(Installer(50000), 20480));
  const std::string path = box_.Path("appData/download/BriselVR助手.exe");
  auto start = std::chrono::steady_clock::now();
  {
    DownLoadCore core(host_, owner_);
    ASSERT_TRUE(core.StartDownload(server_.Url("BriselVR.exe")));
    EXPECT_FALSE(core.StartDownload(server_.Url("BriselVR.exe"))) << "one at a time";
    ASSERT_TRUE(host_->WaitForCount(2, std::chrono::seconds(10), WM_DOWNLOAD_PROGRESS));
    EXPECT_EQ(core.Percent(), 40);
    EXPECT_TRUE(PathExists(path + ".part"));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  auto results = host_->Messages(WM_DOWNLOAD_RESULT);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].wParam, static_cast<int>(DownloadResult::Cancelled));
  EXPECT_FALSE(PathExists(path + ".part"));
  EXPECT_FALSE(PathExists(path));
  EXPECT_EQ(owner_->Count(), 0u);
}

}  // namespace
}  // namespace brisel
