#include "BriselUIFiles/DownLoadCore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <optional>

#include "BriselAssist/Http/UpdateSignature.h"
#include "BriselDataManager/LogRecorder.h"
#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "settings/ProgramValues.h"
#include "support/DailyLog.h"
#include "support/RecordingTarget.h"
#include "support/Sandbox.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSigningKey.h"

namespace brisel {
namespace {

using test::HttpReply;

std::string Installer(std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>('A' + i % 23);
  return bytes;
}

// The start of a Debian package as dpkg-deb writes it, then filler up to `size` bytes.
std::string Package(std::size_t size) {
  std::string bytes = "!<arch>\ndebian-binary   1700000000  0     0     100644  4         `\n2.0\n";
  return bytes + Installer(size - bytes.size());
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
    // A build with a key, unless a test takes it away.
    SetUpdatePublicKeyForTesting(signer_.PublicKeyHex());
    StartLogThread();
  }
  void TearDown() override {
    StopLogThread();
    ResetUpdatePublicKeyForTesting();
    SetShellOpenProgramForTesting("");
    SetDownloadFolder("");
  }

  // Serves `bytes` at `path` and, unless nothing, `signature` at `path` + ".sig".
  void Publish(test::ScriptedHttpServer& server, const std::string& path, const std::string& bytes,
               const std::optional<std::string>& signature) {
    server.Script(path, HttpReply::Answer(200, bytes));
    if (signature) server.Script(path + ".sig", HttpReply::Answer(200, *signature));
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

  std::size_t SignatureRequests(const test::ScriptedHttpServer& server) const {
    std::size_t n = 0;
    for (const test::HttpRequestRecord& r : server.Requests()) n += r.uri.ends_with(".sig") ? 1 : 0;
    return n;
  }

  test::Sandbox box_;
  test::ScriptedHttpServer server_;
  test::TestSigningKey signer_;
  std::shared_ptr<test::RecordingTarget> host_ = test::RecordingTarget::Create();
  std::shared_ptr<test::RecordingTarget> owner_ = test::RecordingTarget::Create();
  DownLoadCore core_{host_, owner_};
  std::string opener_;
  const std::string path_ = box_.Path("appData/download/BriselVR助手.exe");
  const std::string package_ = box_.Path("appData/download/BriselVR助手.deb");
};

TEST_F(UpdateDownload, WithoutAKeyTheInstallerIsKeptAndOnlyItsFolderOpened) {
  SetUpdatePublicKeyForTesting("");
  const std::string body = Installer(25600);
  server_.Script("/BriselVR.exe", HttpReply::Answer(200, body));
  server_.Script("/unsized.exe", HttpReply::WithoutLength(body));
  server_.Script("/moved.exe", HttpReply::Answer(302, "moved", {{"Location", "/BriselVR.exe"}}));
  EXPECT_EQ(DownLoadCore::InstallerPath(), path_);
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
    RemoveFile(path_);
    std::optional<Message> result = Run(server_.Url(c.file));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, static_cast<int>(DownloadResult::KeptUnverified)) << result->text2;
    EXPECT_EQ(result->lParam, 200);
    EXPECT_EQ(result->text, path_);
    EXPECT_EQ(result->text2, "this build has no update key");
    EXPECT_EQ(Progress(true), c.percents);
    EXPECT_EQ(Progress(false), (Values{10240, 20480, 25600}));
    EXPECT_TRUE(core_.Done());
    EXPECT_EQ(ReadWholeFile(path_).value_or(""), body);
    EXPECT_FALSE(PathExists(path_ + ".part"));
    EXPECT_EQ(core_.PackageToInstall(), "");
    EXPECT_FALSE(core_.InstallPackage());

    // The folder, never the file: nobody vouched for its bytes.
    ++opened;
    std::string expected;
    for (int i = 0; i < opened; ++i) expected += box_.Path("appData/download") + "\n";
    EXPECT_TRUE(test::WaitFor([&] { return box_.ReadFile("opened") == expected; }))
        << box_.ReadFile("opened");
  }
  EXPECT_EQ(owner_->Count(), 0u) << "the main window stays";
  EXPECT_EQ(SignatureRequests(server_), 0u) << "nothing to verify with";
  StopLogThread();
  const std::string log = test::ReadTodaysLog(box_);
  const std::string tag = "|:(BriselUIFiles\\DownLoadDlg):";
  EXPECT_NE(log.find(tag + "下载文件长度:25600.00, 下载路径 " + path_ + "\r\n"), std::string::npos)
      << log;
  EXPECT_NE(log.find(tag + "下载文件长度:0.00, 下载路径 " + path_ + "\r\n"), std::string::npos)
      << "no Content-Length";
  EXPECT_NE(log.find(tag + "下载完成\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find(tag + "not verified: this build has no update key\r\n"), std::string::npos)
      << log;
}

TEST_F(UpdateDownload, AVerifiedPackageIsInstalledOnlyWhenAskedAndAnythingElseOnlyShown) {
  const std::string exe = Installer(25600), deb = Package(25600);
  Publish(server_, "/BriselVR.exe", exe, signer_.Sign(exe));
  Publish(server_, "/BriselVR.deb", deb, signer_.Sign(deb));
  // A redirect: the signature is looked up beside the URL the reply named.
  server_.Script("/moved.deb", HttpReply::Answer(302, "moved", {{"Location", "/BriselVR.deb"}}));
  server_.Script("/moved.deb.sig",
                 HttpReply::Answer(302, "moved", {{"Location", "/BriselVR.deb.sig"}}));
  const std::string folder = box_.Path("appData/download");

  // Another verified file (a Windows installer): kept, and only its folder shown.
  std::optional<Message> result = Run(server_.Url("BriselVR.exe"));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->wParam, static_cast<int>(DownloadResult::Ok)) << result->text2;
  EXPECT_EQ(result->text, path_);
  EXPECT_EQ(result->text2, "");
  EXPECT_EQ(ReadWholeFile(path_).value_or(""), exe);
  EXPECT_TRUE(test::WaitFor([&] { return box_.ReadFile("opened") == folder + "\n"; }))
      << box_.ReadFile("opened");
  EXPECT_FALSE(core_.InstallPackage()) << "an .exe never goes to the opener";

  for (const char* file : {"BriselVR.deb", "moved.deb"}) {
    SCOPED_TRACE(file);
    RemoveFile(box_.Path("opened"));
    RemoveFile(package_);
    result = Run(server_.Url(file));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, static_cast<int>(DownloadResult::Ok)) << result->text2;
    EXPECT_EQ(result->lParam, 200);
    EXPECT_EQ(result->text, package_) << "a package is named as one, for the desktop";
    EXPECT_EQ(ReadWholeFile(package_).value_or(""), deb);
    EXPECT_FALSE(PathExists(package_ + ".part"));
    EXPECT_FALSE(PathExists(path_ + ".part"));
    EXPECT_EQ(core_.PackageToInstall(), package_);
    EXPECT_EQ(owner_->Count(), 0u);
    EXPECT_FALSE(PathExists(box_.Path("opened"))) << "nothing before the user agrees";

    EXPECT_TRUE(core_.InstallPackage());
    ASSERT_TRUE(owner_->WaitForCount(1, std::chrono::seconds(10), WM_SYSCOMMAND));
    EXPECT_EQ(owner_->Messages(WM_SYSCOMMAND).front().wParam, SC_CLOSE);
    EXPECT_TRUE(test::WaitFor([&] { return box_.ReadFile("opened") == package_ + "\n"; }))
        << box_.ReadFile("opened");
  }
  EXPECT_EQ(SignatureRequests(server_), 4u) << "BriselVR.exe, BriselVR.deb, moved.deb twice";
}

TEST_F(UpdateDownload, AnInstallerWhoseSignatureFailsIsDeletedAndNothingOpened) {
  const std::string exe = Installer(25600), deb = Package(25600);
  test::TestSigningKey stranger;
  std::string changed = exe;
  changed[25599] = 'x';
  const std::string good = signer_.Sign(exe);
  struct Case {
    std::string what, bytes;
    std::optional<std::string> signature;  // nothing: no .sig (404)
  } cases[] = {
      {"no signature file", exe, std::nullopt},
      {"the signature of other bytes", exe, signer_.Sign("other bytes")},
      {"another key's signature", exe, stranger.Sign(exe)},
      {"a changed last byte", changed, good},
      {"a truncated signature", exe, good.substr(0, 63)},
      {"a signature with a byte more", exe, good + "x"},
      {"an empty signature", exe, std::string()},
      {"64 bytes of text", exe, std::string(64, 'a')},
      {"a package with another key's signature", deb, stranger.Sign(deb)},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = "/file" + std::to_string(++n) + ".exe";
    Publish(server_, file, c.bytes, c.signature);
    std::optional<Message> result = Run(server_.Url(file.substr(1)));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, static_cast<int>(DownloadResult::SignatureRejected)) << result->text2;
    EXPECT_FALSE(result->text2.empty());
    EXPECT_FALSE(core_.Done());
    for (const std::string& p : {path_, package_, path_ + ".part"})
      EXPECT_FALSE(PathExists(p)) << p;
    EXPECT_EQ(core_.PackageToInstall(), "");
    EXPECT_FALSE(core_.InstallPackage());
  }
  EXPECT_EQ(owner_->Count(), 0u) << "the main window stays";
  EXPECT_FALSE(PathExists(box_.Path("opened")));
  EXPECT_EQ(ListDirectory(box_.Path("appData/download")), std::vector<std::string>{});
  StopLogThread();
  const std::string log = test::ReadTodaysLog(box_);
  EXPECT_NE(log.find("|:(BriselUIFiles\\DownLoadDlg):update not verified, deleted: the signature "
                     "does not match the file\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("下载完成"), std::string::npos) << log;
}

TEST_F(UpdateDownload, NoRedirectLeadsFromHttpsToHttp) {
  const std::string pem = test::MakeSelfSignedCertificate(box_.Folder(), "tls", "IP:127.0.0.1");
  ASSERT_FALSE(pem.empty());
  test::ScriptedHttpServer tls(pem);
  ASSERT_TRUE(tls.Running());
  core_.SetCaFile(pem + ".crt");
  const std::string exe = Installer(25600), signature = signer_.Sign(exe);
  Publish(server_, "/BriselVR.exe", exe, signature);
  Publish(tls, "/BriselVR.exe", exe, signature);
  auto moved = [](const std::string& to) { return HttpReply::Answer(302, "", {{"Location", to}}); };
  tls.Script("/to-http.exe", moved(server_.Url("BriselVR.exe")));
  tls.Script("/to-http.exe.sig", moved(tls.Url("BriselVR.exe.sig")));
  tls.Script("/sig-to-http.exe", HttpReply::Answer(200, exe));
  tls.Script("/sig-to-http.exe.sig", moved(server_.Url("BriselVR.exe.sig")));
  tls.Script("/to-https.exe", moved(tls.Url("BriselVR.exe")));
  tls.Script("/to-https.exe.sig", moved(tls.Url("BriselVR.exe.sig")));
  server_.Script("/up.exe", moved(tls.Url("BriselVR.exe")));
  server_.Script("/up.exe.sig", moved(tls.Url("BriselVR.exe.sig")));

  struct Case {
    std::string what, url;
    DownloadResult result;
    std::size_t plainRequests;  // what reached the http server
  } cases[] = {
      {"an installer redirected to http", tls.Url("to-http.exe"), DownloadResult::NetworkError, 0},
      {"a signature redirected to http", tls.Url("sig-to-http.exe"),
       DownloadResult::SignatureRejected, 0},
      {"https to https", tls.Url("to-https.exe"), DownloadResult::Ok, 0},
      {"http to https", server_.Url("up.exe"), DownloadResult::Ok, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveFile(path_);
    const std::size_t before = server_.Requests().size();
    std::optional<Message> result = Run(c.url);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->wParam, static_cast<int>(c.result)) << result->text2;
    EXPECT_EQ(server_.Requests().size() - before, c.plainRequests);
    EXPECT_EQ(PathExists(path_), c.result == DownloadResult::Ok);
    if (c.result == DownloadResult::NetworkError) {
      EXPECT_EQ(result->text2, "a redirect to another protocol was refused");
    }
  }
}

TEST_F(UpdateDownload, AFailedDownloadIsReportedAndLeavesNothingToLaunch) {
  const std::string body = Installer(25600);
  server_.Script("/missing.exe", HttpReply::Answer(404, "no such file"));
  server_.Script("/short.exe", HttpReply::CutShort(body, 30000));
  server_.Script("/stalled.exe", HttpReply::StallingAfter(body, 15000));
  server_.Script("/empty.exe", HttpReply::Answer(200, ""));
  Publish(server_, "/BriselVR.exe", body, signer_.Sign(body));
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
  EXPECT_EQ(SignatureRequests(server_), 0u) << "nothing to verify";
}

TEST_F(UpdateDownload, DestroyingTheDownloadStopsItsThreadAndRemovesThePartialFile) {
  const std::string complete = Installer(30000);
  server_.Script("/BriselVR.exe", HttpReply::StallingAfter(Installer(50000), 20480));
  server_.Script("/complete.exe", HttpReply::Answer(200, complete));
  server_.Script("/complete.exe.sig", HttpReply::Silent());
  struct Case {
    std::string what, file;
    std::size_t progress;  // reports to wait for before the end
  } cases[] = {
      {"while the installer comes", "BriselVR.exe", 2},
      {"while its signature is awaited", "complete.exe", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_->Clear();
    auto start = std::chrono::steady_clock::now();
    {
      DownLoadCore core(host_, owner_);
      ASSERT_TRUE(core.StartDownload(server_.Url(c.file)));
      EXPECT_FALSE(core.StartDownload(server_.Url(c.file))) << "one at a time";
      ASSERT_TRUE(host_->WaitForCount(c.progress, std::chrono::seconds(10), WM_DOWNLOAD_PROGRESS));
      if (c.progress == 2) {
        EXPECT_EQ(core.Percent(), 40);
      } else {
        EXPECT_TRUE(test::WaitFor([&] { return SignatureRequests(server_) > 0; }));
      }
      EXPECT_TRUE(PathExists(path_ + ".part"));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    auto results = host_->Messages(WM_DOWNLOAD_RESULT);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].wParam, static_cast<int>(DownloadResult::Cancelled));
    EXPECT_FALSE(PathExists(path_ + ".part"));
    EXPECT_FALSE(PathExists(path_));
  }
  EXPECT_EQ(owner_->Count(), 0u);
}

}  // namespace
}  // namespace brisel
