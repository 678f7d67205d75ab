#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QCoreApplication>
#include <QSignalSpy>

#include <chrono>
#include <optional>

#include "BriselAssist/Http/HttpHelper.h"
#include "BriselAssist/Http/UpdateSignature.h"
#include "BriselDataManager/LogRecorder.h"
#include "BriselUIFiles/ui/CDownLoadDlg.h"
#include "ConService/Service.h"
#include "app/ui/BriselVRClientDlg.h"
#include "platform/FileSystem.h"
#include "platform/Notifications.h"
#include "platform/ShellOpen.h"
#include "support/DailyLog.h"
#include "support/Sandbox.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestSigningKey.h"
#include "support/ui/RecordingSharePage.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"

namespace brisel {
namespace {

using test::HttpReply;
using Calls = std::vector<std::string>;

std::string Installer(std::size_t size) {
  std::string bytes;
  for (std::size_t i = 0; i < size; ++i) bytes += static_cast<char>('a' + i % 26);
  return bytes;
}

// A Debian package's start, then filler up to `size` bytes.
std::string Package(std::size_t size) {
  const std::string start = "!<arch>\ndebian-binary   ";
  return start + Installer(size - start.size());
}

// The started main window (log thread, settings from config.ini) with a recording share
// page, its LAN service on loopback, and a local update service.
class UpdateFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server_.Running());
    box_.WriteFile("config.ini", "[NormalSetting]\r\nExitWndType=1\r\nUpdateBaseUrl=" +
                                     server_.BaseUrl() + "\r\n");
    // Stands in for the desktop's opener: records what it was asked to open.
    const std::string opener =
        box_.WriteFile("opener.sh", "#!/bin/sh\necho \"$1\" >> \"" + box_.Path("opened") + "\"\n");
    chmod(opener.c_str(), 0755);
    SetShellOpenProgramForTesting(opener);
    SetUpdatePublicKeyForTesting(signer_.PublicKeyHex());
    dlg_ = std::make_unique<test::WindowWithRecordingPage>();
    ASSERT_TRUE(dlg_->OnInitDialog());
    dlg_->show();
    ASSERT_EQ(dlg_->Core().StartLanServiceOn("127.0.0.1"), 1);
    ASSERT_TRUE(Service()->WaitForServiceThreads(std::chrono::seconds(10)).udpRunning);
  }
  void TearDown() override {
    dlg_.reset();
    SetShellOpenProgramForTesting("");
    ResetUpdatePublicKeyForTesting();
  }

  brisel::Service* Service() { return dlg_->Core().GetService(); }
  bool ServiceRunning() { return (Service()->Flags() & SERVICE_UDP_RUNNING) != 0; }
  Calls& PageCalls() { return dlg_->Recorder()->calls; }
  CDownLoadDlg& Dialog() { return *dlg_->DownLoadDlg(); }

  void ScriptVersion(const std::string& name, const std::string& url) {
    server_.Script(
        "/lanclient/last-version",
        HttpReply::Answer(200, R"({"code":0,"data":[{"version_name":")" + name +
                                   R"(","version_code":"9","download_url":")" + url + R"("}]})"));
  }
  // "检测更新" on the settings page, and the window's answer to it.
  void CheckForUpdate() {
    const std::size_t asked = server_.Requests().size();
    dlg_->CheckForUpdate();  // what the page's button calls
    // The check posts its answer before it counts as ended.
    ASSERT_TRUE(test::RunEventsUntil(
        [&] { return server_.Requests().size() > asked && !dlg_->CheckingVersion(); }));
    test::DeliverPosted();
  }
  std::string Log() {
    StopLogThread();
    return test::ReadTodaysLog(box_);
  }

  test::Sandbox box_;
  test::ScriptedHttpServer server_;
  test::TestSigningKey signer_;  // the key built in, unless a test takes it away
  std::unique_ptr<test::WindowWithRecordingPage> dlg_;
};

TEST_F(UpdateFlow, NoUpdateShowsNothingAndLeavesEverythingRunning) {
  const std::function<void()> scripts[] = {
      [&] { ScriptVersion(HttpHelper::LocalVersionText(), server_.Url("BriselVR.exe")); },
      [&] { server_.Script("/lanclient/last-version", HttpReply::Answer(500, "oops")); },
  };
  for (const auto& script : scripts) {
    script();
    PageCalls().clear();
    CheckForUpdate();
    EXPECT_EQ(PageCalls(), Calls{}) << "no toast, no dialog";
    EXPECT_TRUE(dlg_->isVisible());
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_FALSE(dlg_->Updating());
    EXPECT_TRUE(ServiceRunning());
  }
  EXPECT_EQ(server_.Requests().size(), 2u) << "the installer is never asked for";
  const std::string log = Log();
  EXPECT_NE(log.find("|:(BriselVRClientDlg):检测更新\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("|:(BriselVRClientDlg):检测更新------FALSE\r\n"), std::string::npos);
}

TEST_F(UpdateFlow, ANewerVersionStopsTheServiceAndInstallsTheVerifiedPackageOnceAgreed) {
  const std::string package = Package(25600);
  server_.Script("/BriselVR.deb", HttpReply::Answer(200, package));
  server_.Script("/BriselVR.deb.sig", HttpReply::Answer(200, signer_.Sign(package)));
  ScriptVersion("1.0.8_20160701", server_.Url("BriselVR.deb"));
  dlg_->Recorder()->converting = true;
  QSignalSpy closed(dlg_.get(), &CBriselVRClientDlg::ClosedForQuit);
  CheckForUpdate();

  EXPECT_TRUE(dlg_->Updating());
  EXPECT_EQ(PageCalls(), (Calls{"StopAll", "RaiseClosingFlags", "WaitForMonitor 1000"}));
  EXPECT_FALSE(ServiceRunning()) << "phones lose the PC while it updates";
  EXPECT_FALSE(dlg_->isVisible());
  EXPECT_TRUE(Dialog().isVisible());
  EXPECT_TRUE(Dialog().windowFlags() & Qt::WindowStaysOnTopHint);

  // Pieces of 10 240, 10 240 and 5 120 bytes, then the signature; the user is asked first.
  ASSERT_TRUE(test::RunEventsUntil([&] { return Dialog().Done(); }));
  EXPECT_EQ(Dialog().ShownPercents(), (std::vector<int>{40, 80, 100}));
  EXPECT_EQ(Dialog().Text(), QStringLiteral("升级文件已通过验证，是否立即安装？"));
  // Time for an installer started too early to show itself; none may.
  test::RunEventsUntil([] { return false; }, std::chrono::milliseconds(100));
  EXPECT_EQ(closed.count(), 0);
  EXPECT_FALSE(PathExists(box_.Path("opened"))) << "nothing before the user agrees";

  // "立即安装": the package goes to the desktop's installer and the program makes way for it
  // without asking, although ExitWndType is 1.
  Dialog().Button(IDC_DOWNLOAD_INSTALL)->click();
  ASSERT_TRUE(test::RunEventsUntil([&] { return closed.count() == 1; }));
  EXPECT_EQ(Dialog().Text(), QStringLiteral("升级文件下载完毕"));
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no exit prompt";
  EXPECT_TRUE(dlg_->QuitConfirmed());
  const std::string installer = box_.Path("appData/download/BriselVR助手.deb");
  EXPECT_TRUE(test::WaitFor([&] { return box_.ReadFile("opened") == installer + "\n"; }));

  const std::string log = Log();
  for (const char* line : {"停止转码", "开始下载"})
    EXPECT_NE(log.find(std::string("|:(BriselVRClientDlg):") + line + "\r\n"), std::string::npos)
        << line;
  EXPECT_LT(log.find("停止转码"), log.find("开始下载"));
}

// The attack of a fake update host: its own bytes, unsigned or signed by another key, are
// deleted and nothing runs; without a key in the build the file is kept but never opened.
TEST_F(UpdateFlow, AnInstallerThatIsNotVerifiedIsNeverOpened) {
  test::TestSigningKey stranger;
  const std::string payload = Installer(25600);
  server_.Script("/BriselVR.exe", HttpReply::Answer(302, "", {{"Location", "/payload.exe"}}));
  server_.Script("/payload.exe", HttpReply::Answer(200, payload));
  ScriptVersion("9.9.9_20990101", server_.Url("BriselVR.exe"));
  const std::string installer = box_.Path("appData/download/BriselVR助手.exe");
  struct Case {
    std::string what;
    bool keyBuiltIn;
    std::optional<std::string> signature;
    QString text;
    int button;  // the way back to the program
  } cases[] = {
      {"no signature", true, std::nullopt, QStringLiteral("升级文件未通过验证，已删除"),
       IDC_DOWNLOAD_CANCEL},
      {"another key's signature", true, stranger.Sign(payload),
       QStringLiteral("升级文件未通过验证，已删除"), IDC_DOWNLOAD_CANCEL},
      {"no key built in", false, std::nullopt,
       QStringLiteral("升级文件未经验证，已保存至下载文件夹"), IDC_DOWNLOAD_CLOSE},
  };
  QSignalSpy closed(dlg_.get(), &CBriselVRClientDlg::ClosedForQuit);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUpdatePublicKeyForTesting(c.keyBuiltIn ? signer_.PublicKeyHex() : "");
    server_.Script("/BriselVR.exe.sig", c.signature ? HttpReply::Answer(200, *c.signature)
                                                    : HttpReply::Answer(404, "none"));
    RemoveFile(box_.Path("opened"));
    CheckForUpdate();
    ASSERT_TRUE(test::RunEventsUntil([&] { return Dialog().Done() || Dialog().Failed(); }));
    EXPECT_EQ(Dialog().Text(), c.text);
    EXPECT_EQ(PathExists(installer), !c.keyBuiltIn);
    if (c.keyBuiltIn) {
      EXPECT_FALSE(PathExists(box_.Path("opened")));
    } else {
      EXPECT_TRUE(test::WaitFor([&] {
        return box_.ReadFile("opened") == box_.Path("appData/download") + "\n";
      })) << "its folder, not the file";
    }
    Dialog().Button(c.button)->click();
    test::DeliverPosted();
    EXPECT_FALSE(Dialog().isVisible());
    EXPECT_TRUE(dlg_->isVisible());
    EXPECT_FALSE(dlg_->Updating());
    EXPECT_TRUE(Service()->WaitForServiceThreads(std::chrono::seconds(10)).udpRunning);
  }
  EXPECT_EQ(closed.count(), 0) << "the program stays";
  EXPECT_FALSE(dlg_->QuitConfirmed());
}

TEST_F(UpdateFlow, AFailedDownloadOffersRetryAndCancelWhichBringsEverythingBack) {
  server_.Script("/BriselVR.exe", HttpReply::Answer(404, "gone"));
  ScriptVersion("1.0.8_20160701", server_.Url("BriselVR.exe"));
  CheckForUpdate();
  ASSERT_TRUE(test::RunEventsUntil([&] { return Dialog().Failed(); }));
  CKbcButton* retry = Dialog().Button(IDC_DOWNLOAD_RETRY);
  CKbcButton* cancel = Dialog().Button(IDC_DOWNLOAD_CANCEL);
  EXPECT_TRUE(retry->isVisible());
  EXPECT_TRUE(cancel->isVisible());
  EXPECT_EQ(retry->Caption(), QStringLiteral("重新下载"));
  EXPECT_EQ(cancel->Caption(), QStringLiteral("取消升级"));
  EXPECT_FALSE(Dialog().Done());
  EXPECT_FALSE(dlg_->isVisible());

  // "重新下载" asks again, and fails again.
  retry->click();
  EXPECT_FALSE(retry->isVisible()) << "hidden while it downloads";
  EXPECT_EQ(Dialog().Text(), QStringLiteral("VR助手升级中，请稍后..."));
  ASSERT_TRUE(test::RunEventsUntil([&] { return Dialog().Failed(); }));
  EXPECT_EQ(server_.Requests().size(), 3u) << "the check and two downloads";

  // "取消升级": the dialog goes, the window, the LAN service and the monitor come back.
  PageCalls().clear();
  cancel->click();
  test::DeliverPosted();
  EXPECT_FALSE(Dialog().isVisible());
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_FALSE(dlg_->Updating());
  EXPECT_EQ(PageCalls(), Calls{"RestartMonitor"});
  EXPECT_TRUE(Service()->WaitForServiceThreads(std::chrono::seconds(10)).udpRunning);
  EXPECT_EQ(Service()->ServiceAddress(), "127.0.0.1");
  EXPECT_FALSE(dlg_->QuitConfirmed());
  EXPECT_EQ(box_.ReadFile("opened"), "") << "nothing is launched";
}

TEST_F(UpdateFlow, TheWindowAnswersWhileTheServiceIsSilentAndQuitsWithoutWaitingForIt) {
  server_.Script("/lanclient/last-version", HttpReply::Silent());
  PostTo(dlg_->Target(), Message(WM_CHECK_UPDATE));
  ASSERT_TRUE(
      test::RunEventsUntil([&] { return dlg_->CheckingVersion(); }, std::chrono::seconds(5)));
  // The event loop runs on: page choices are handled while the check waits.
  PostTo(dlg_->Target(), Message(WM_SWITCH_PAGE, 4));
  EXPECT_TRUE(test::RunEventsUntil([&] { return dlg_->Page()->View() == SHARE_VIEW_SETTINGS; },
                                   std::chrono::seconds(5)));
  // A second press while the check runs starts no second check.
  PostTo(dlg_->Target(), Message(WM_CHECK_UPDATE));
  // The press is handled at once; a second check would ask the service within this time.
  test::RunEventsUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_TRUE(dlg_->CheckingVersion());
  EXPECT_EQ(server_.Requests().size(), 1u);

  auto start = std::chrono::steady_clock::now();
  dlg_.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
}  // namespace brisel
