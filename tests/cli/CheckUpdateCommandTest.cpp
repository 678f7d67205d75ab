#include <gtest/gtest.h>

#include "BriselAssist/Http/HttpHelper.h"
#include "platform/FileSystem.h"
#include "support/DailyLog.h"
#include "support/ProcessHelpers.h"
#include "support/Sandbox.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSigningKey.h"

namespace brisel {
namespace {

using test::HttpReply;

std::string Reply(const std::string& name, const std::string& url) {
  return "{\"code\":0,\"data\":[{\"version_name\":\"" + name +
         "\",\"version_code\":\"9\",\"download_url\":\"" + url + "\"}]}";
}

class CheckUpdate : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.Running()); }
  void UseBaseUrl(const std::string& url) {
    box_.WriteFile("config.ini", "[NormalSetting]\nExitWndType=1\nUpdateBaseUrl=" + url + "\n");
  }
  ProcessResult Run(const std::vector<std::string>& args) {
    return test::RunBriselvr(box_.Folder(), args);
  }
  // The same command line with `key` as its update key ("" for none).
  ProcessResult RunWithKey(const std::string& key, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {BRISEL_KEYED_BRISELVR, key, "--program-folder", box_.Folder()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, 30000);
  }

  test::Sandbox box_;
  test::ScriptedHttpServer server_;
};

TEST_F(CheckUpdate, DownloadsTheInstallerOfANewerVersionAndPrintsItsPath) {
  std::string installer(30000, 'x');
  server_.Script("/files/BriselVR.exe", HttpReply::Answer(200, installer));
  const std::string url = server_.Url("files/BriselVR.exe");
  server_.Script("/lanclient/last-version", HttpReply::Answer(200, Reply("1.0.8_20170101", url)));
  UseBaseUrl(server_.BaseUrl());
  const std::string path = box_.Path("appData/download/BriselVR助手.exe");

  ProcessResult r = RunWithKey("", {"check-update"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output, "update: " + url + "\n");
  EXPECT_FALSE(PathExists(path)) << "nothing is fetched without --download";

  // Without a key the file is kept, and said to be unverified.
  r = RunWithKey("", {"check-update", "--download"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output.rfind("update: " + url + "\n", 0), 0u) << r.output;
  EXPECT_NE(r.output.find("downloading 34%\n"), std::string::npos) << r.output;
  EXPECT_NE(
      r.output.find("downloading 100%\n" + path + "\nnot verified: this build has no update key\n"),
      std::string::npos)
      << r.output;
  EXPECT_EQ(ReadWholeFile(path).value_or(""), installer);
  const std::string log = test::ReadTodaysLog(box_);
  EXPECT_NE(log.find("|:(BriselUIFiles\\DownLoadDlg):下载完成\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("|:(BriselAssist\\Http\\HttpClient):SendRequest::::type=3&"),
            std::string::npos)
      << log;

  server_.Script("/files/BriselVR.exe", HttpReply::Answer(404, "gone"));
  r = RunWithKey("", {"check-update", "--download"});
  EXPECT_EQ(r.exitCode, 1) << r.output;
  EXPECT_NE(r.output.find("download failed: HTTP status 404\n"), std::string::npos) << r.output;
}

TEST_F(CheckUpdate, WithAKeyOnlyASignedInstallerIsKept) {
  test::TestSigningKey signer, stranger;
  const std::string installer(30000, 'x');
  server_.Script("/files/BriselVR.exe", HttpReply::Answer(200, installer));
  const std::string url = server_.Url("files/BriselVR.exe");
  server_.Script("/lanclient/last-version", HttpReply::Answer(200, Reply("1.0.8_20170101", url)));
  UseBaseUrl(server_.BaseUrl());
  const std::string path = box_.Path("appData/download/BriselVR助手.exe");

  struct Case {
    std::string what;
    std::optional<std::string> signature;  // nothing: none served
    int exitCode;
    std::string line;  // the line after the progress
  } cases[] = {
      {"signed", signer.Sign(installer), 0, path + "\n"},
      {"signed by another key", stranger.Sign(installer), 1, "update not verified\n"},
      {"a truncated signature", signer.Sign(installer).substr(0, 32), 1, "update not verified\n"},
      {"no signature", std::nullopt, 1, "update not verified\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveFile(path);
    server_.Script("/files/BriselVR.exe.sig", c.signature ? HttpReply::Answer(200, *c.signature)
                                                          : HttpReply::Answer(404, "none"));
    ProcessResult r = RunWithKey(signer.PublicKeyHex(), {"check-update", "--download"});
    EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
    EXPECT_NE(r.output.find("downloading 100%\n" + c.line), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("not verified:"), std::string::npos) << r.output;
    EXPECT_EQ(PathExists(path), c.exitCode == 0) << "an unverified installer is deleted";
    EXPECT_FALSE(PathExists(path + ".part"));
    if (c.exitCode != 0) {
      EXPECT_NE(r.output.find("; the download was deleted\n"), std::string::npos) << r.output;
    }
  }
}

TEST_F(CheckUpdate, TellsUpToDateFromAFailedCheck) {
  UseBaseUrl(server_.BaseUrl());
  struct Case {
    std::string reply;
    int exitCode;
    std::string output;
  } cases[] = {
      {Reply(HttpHelper::LocalVersionText(), "http://127.0.0.1:9/x.exe"), 0, "up to date\n"},
      {"{\"code\":2}", 1, "briselvr: 获取更新文件失败\ncheck failed\n"},
      {"garbage", 1, "check failed\n"},
  };
  for (const Case& c : cases) {
    server_.Script("/lanclient/last-version", HttpReply::Answer(200, c.reply));
    ProcessResult r = Run({"check-update", "--download"});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.reply;
    EXPECT_EQ(r.output, c.output);
  }
  UseBaseUrl("");
  std::size_t before = server_.Requests().size();
  ProcessResult r = Run({"check-update"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.output, "check failed\n");
  EXPECT_EQ(server_.Requests().size(), before);
  EXPECT_EQ(Run({"check-update", "--bogus"}).exitCode, 2);
}

}  // namespace
}  // namespace brisel
