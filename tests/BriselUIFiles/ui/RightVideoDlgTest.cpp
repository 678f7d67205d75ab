#include "BriselUIFiles/ui/RightVideoDlg.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <sys/stat.h>

#include "BriselUIFiles/ConvertListCore.h"
#include "BriselUIFiles/QueueFile.h"
#include "BriselUIFiles/VideoWndCore.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "BriselUIFiles/ui/CConvertList.h"
#include "BriselUIFiles/ui/VideoWndDlg.h"
#include "BriselUIFiles/ui/VideoWndList.h"
#include "ConService/Service.h"
#include "platform/NetworkAdapters.h"
#include "platform/Notifications.h"
#include "platform/ShellOpen.h"
#include "settings/AppSettings.h"
#include "settings/ProgramValues.h"
#include "support/RecordingMainWindow.h"
#include "support/ui/SkinSandbox.h"
#include "support/ui/UiEvents.h"
#include "toolkit/CKbcButton.h"
#include "toolkit/CMenuDlg.h"
#include "toolkit/CMsgBoxDlg.h"
#include "toolkit/CSetContentDlg.h"
#include "toolkit/SkinResources.h"

namespace brisel {
namespace {

using namespace std::chrono_literals;

std::vector<AdapterInfo> Adapters(const std::vector<std::string>& addresses) {
  AdapterInfo adapter;
  adapter.name = "eth0";
  adapter.hardwareAddress = {0, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e};
  adapter.ipv4 = addresses;
  return {adapter};
}

// The share page in a main window of its own, without a LAN service.
class CRightVideoDlgTest : public ::testing::Test {
 protected:
  CRightVideoDlgTest() {
    LoadSettings(false);
    SetServiceIp("192.168.1.23");
    SetAdapterSourceForTesting([this] { return Adapters(addresses); });
    main.resize(972, 630);
    page = new CRightVideoDlg(&mainWindow, &main);
    page->move(160, 0);
    page->LoadFromCatalogue();
    main.show();
  }
  ~CRightVideoDlgTest() override {
    delete page;
    SetAdapterSourceForTesting({});
    CRightVideoDlg::SetFolderDialogForTesting({});
    SetShellOpenProgramForTesting("");
  }
  bool Shown(int id) { return page->Button(id)->isVisible(); }
  void Press(int id) { test::Click(page->Button(id), QPoint(5, 5)); }
  std::string Video(const std::string& name) { return box.WriteFile("videos/" + name, "x"); }

  test::SkinSandbox box;
  std::vector<std::string> addresses = {"192.168.1.23"};
  test::RecordingMainWindow mainWindow;
  QWidget main;
  CRightVideoDlg* page = nullptr;
};

TEST_F(CRightVideoDlgTest, ControlsByIdWithTheirImagesPlacesAndViews) {
  const int W = 812, H = 630;
  const struct {
    int id;
    const char* caption;
    QRect geometry;
  } controls[] = {
      {1001, "添加", {10, 12, 64, 30}},          {1002, "转码", {84, 12, 64, 30}},
      {1003, "分组", {158, 8, 64, 30}},          {1056, "同组", {158, 8, 64, 30}},
      {1004, "删除", {W - 85, H - 41, 64, 30}},  {1005, "", {W - 66, 18, 18, 18}},
      {1006, "", {W - 36, 18, 18, 18}},          {1061, "", {W - 130, H - 30, 18, 18}},
      {1034, "修改", {398, H - 37, 70, 26}},     {1057, "清空已完成", {W - 106, H - 34, 86, 16}},
      {1085, "全选", {W - 186, H - 34, 50, 18}},
  };
  for (const auto& c : controls) {
    SCOPED_TRACE(c.id);
    CKbcButton* button = page->findChild<CKbcButton*>(QString::number(c.id));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), c.geometry);
    EXPECT_EQ(button->Caption(), QString::fromUtf8(c.caption));
    EXPECT_FALSE(button->Image().isNull());
  }
  EXPECT_NE(page->findChild<QWidget*>("1009"), nullptr);
  EXPECT_EQ(page->VideoList()->geometry(), QRect(0, 56, 808, 522));
  EXPECT_EQ(page->ConvertListView()->geometry(), QRect(0, 56, 808, 522));
  EXPECT_EQ(page->SettingsPage()->geometry(), QRect(0, 56, 808, 522));

  // View 0 of an empty library: no Delete, no "全选".
  auto shown = [&] {
    std::string out;
    for (const auto& c : controls)
      if (Shown(c.id)) out += (out.empty() ? "" : " ") + std::to_string(c.id);
    return out;
  };
  EXPECT_EQ(shown(), "1001 1002 1005 1006");
  EXPECT_TRUE(page->VideoList()->isVisible());
  page->VideoList()->AddDropped({QString::fromStdString(Video("a.mp4"))});
  EXPECT_EQ(shown(), "1001 1002 1004 1005 1006 1085");

  page->SelectView(SHARE_VIEW_CONVERT_LIST);
  EXPECT_EQ(shown(), "1005 1006 1034 1057");
  EXPECT_TRUE(page->ConvertListView()->isVisible());
  EXPECT_FALSE(page->VideoList()->isVisible());
  page->SelectView(SHARE_VIEW_SETTINGS);
  EXPECT_EQ(shown(), "1005 1006");
  EXPECT_TRUE(page->SettingsPage()->isVisible());
  EXPECT_FALSE(page->ConvertListView()->isVisible());
  page->SelectView(SHARE_VIEW_VIDEOS);
  EXPECT_EQ(shown(), "1001 1002 1004 1005 1006 1085");
}

// A tile's click, "全选", "转码" and "删除" keep Convert, Delete and "全选" as the selection says.
TEST_F(CRightVideoDlgTest, TileClicksAndCheckAllSetConvertDeleteAndCheckAll) {
  page->VideoList()->AddDropped(
      {QString::fromStdString(Video("a.mp4")), QString::fromStdString(Video("b.mp4"))});
  for (const VIDEOINFO_ST& e : page->VideoList()->Core().Entries())
    ASSERT_TRUE(e.m_pTile->WaitProbed(10s));
  test::DeliverPosted();
  CKbcButton* convert = page->Button(IDC_SHARE_CONVERT);
  CKbcButton* remove = page->Button(IDC_SHARE_DELETE);
  CKbcButton* all = page->Button(IDC_SHARE_CHECK_ALL);
  EXPECT_TRUE(convert->IsDisabled());
  EXPECT_TRUE(remove->IsDisabled());

  CVideoWndDlg* first = page->VideoList()->TileWindows()[0];
  test::Click(first, QPoint(72, 44));
  test::DeliverPosted();
  EXPECT_FALSE(convert->IsDisabled());
  EXPECT_FALSE(remove->IsDisabled());
  EXPECT_FALSE(all->IsChecked());

  Press(IDC_SHARE_CHECK_ALL);
  EXPECT_TRUE(all->IsChecked());
  for (CVideoWndDlg* tile : page->VideoList()->TileWindows()) EXPECT_TRUE(tile->Tile()->Checked());
  Press(IDC_SHARE_CHECK_ALL);
  EXPECT_FALSE(all->IsChecked());
  EXPECT_TRUE(remove->IsDisabled());
  EXPECT_TRUE(convert->IsDisabled());

  test::Click(first, QPoint(72, 44));
  test::DeliverPosted();
  Press(IDC_SHARE_DELETE);
  test::DeliverPosted();
  ASSERT_EQ(page->VideoList()->Core().EntryCount(), 1u);
  EXPECT_EQ(page->VideoList()->Core().Entries().front().m_pTile->Path(), box.Path("videos/b.mp4"));
  EXPECT_TRUE(remove->IsDisabled());
  EXPECT_FALSE(all->IsChecked());
}

TEST_F(CRightVideoDlgTest, TheAddressMenuOpensOnlyWithAChoiceOfAddresses) {
  const QPoint box = CRightVideoDlg::kAddressBox.center();
  test::SendMouse(page, QEvent::MouseButtonPress, box);
  test::SendMouse(page, QEvent::MouseButtonRelease, box, Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(page->AddressMenuOpen()) << "one address: nothing to choose";

  addresses = {"192.168.1.23", "10.0.0.5"};
  test::SendMouse(page, QEvent::MouseButtonPress, box);
  ASSERT_TRUE(page->AddressMenuOpen());
  CMenuDlg* menu = page->AddressMenu();
  EXPECT_EQ(menu->pos(), page->mapToGlobal(QPoint(812 - 205, 16 + 22)));
  EXPECT_EQ(menu->size(), QSize(126, 44));
  EXPECT_EQ(menu->CurrentText(), "192.168.1.23");
  test::SendMouse(page, QEvent::MouseButtonPress, QPoint(400, 300));
  EXPECT_FALSE(page->AddressMenuOpen()) << "a press elsewhere closes it";

  // Choosing the other address: the header shows it at once.
  test::SendMouse(page, QEvent::MouseButtonPress, box);
  ASSERT_TRUE(page->AddressMenuOpen());
  test::Click(menu, QPoint(30, 22 + 10));
  EXPECT_FALSE(page->AddressMenuOpen());
  test::DeliverPosted();
  EXPECT_EQ(ServiceIp(), "10.0.0.5");
  EXPECT_TRUE(test::RunEventsUntil([&] { return !page->Core().SwitchRunning(); }));
}

// Without a LAN address the box says so in red; once a network is there, the box offers its
// address, and choosing it moves the service there.
TEST_F(CRightVideoDlgTest, WithoutANetworkTheAddressBoxSaysSo) {
  const QRect box = CRightVideoDlg::kAddressBox;
  const QRgb red = 0xFFF4564E;
  EXPECT_FALSE(test::HasPixelNear(test::Grab(page), red, box, 40));
  SetServiceIp("");
  addresses = {};
  page->StatusChanged();
  EXPECT_TRUE(test::HasPixelNear(test::Grab(page), red, box, 40));
  test::SendMouse(page, QEvent::MouseButtonPress, box.center());
  EXPECT_FALSE(page->AddressMenuOpen()) << "no address: nothing to choose";
  test::SendMouse(page, QEvent::MouseButtonRelease, box.center(), Qt::LeftButton, Qt::NoButton);

  addresses = {"192.168.1.40"};
  test::SendMouse(page, QEvent::MouseButtonPress, box.center());
  ASSERT_TRUE(page->AddressMenuOpen());
  test::Click(page->AddressMenu(), QPoint(30, 10));
  test::DeliverPosted();
  EXPECT_EQ(ServiceIp(), "192.168.1.40");
  EXPECT_FALSE(test::HasPixelNear(test::Grab(page), red, box, 40));
  EXPECT_TRUE(test::RunEventsUntil([&] { return !page->Core().SwitchRunning(); }));
}

TEST_F(CRightVideoDlgTest, TheAddressTextTurnsAmberUnderThePointer) {
  const QRect box = CRightVideoDlg::kAddressBox;
  const QRgb amber = 0xFFF19410;
  EXPECT_FALSE(test::HasPixelNear(test::Grab(page), amber, box, 40));
  test::SendMouse(page, QEvent::MouseMove, box.center(), Qt::NoButton, Qt::NoButton);
  EXPECT_TRUE(test::HasPixelNear(test::Grab(page), amber, box, 40));
  test::SendMouse(page, QEvent::MouseMove, QPoint(300, 300), Qt::NoButton, Qt::NoButton);
  EXPECT_FALSE(test::HasPixelNear(test::Grab(page), amber, box, 40));
}

TEST_F(CRightVideoDlgTest, TheOutputFolderIsChosenShownAndOpened) {
  page->SelectView(SHARE_VIEW_CONVERT_LIST);
  const std::string chosen = box.Path("converted here");
  CRightVideoDlg::SetFolderDialogForTesting([&](QWidget*) { return QString(); });
  const std::string before = theSettings->m_strConvertPath;
  Press(IDC_SHARE_CHANGE_FOLDER);
  EXPECT_EQ(theSettings->m_strConvertPath, before) << "cancelled: nothing changes";

  CRightVideoDlg::SetFolderDialogForTesting(
      [&](QWidget*) { return QString::fromStdString(chosen); });
  Press(IDC_SHARE_CHANGE_FOLDER);
  EXPECT_EQ(theSettings->m_strConvertPath, chosen);
  EXPECT_NE(box.ReadFile("config.ini").find("ConvertPath=" + chosen), std::string::npos);

  // The folder icon: its hover frame under the pointer, and a click opens the folder.
  const QImage icon = LoadSkinImage(SkinPath("Convert\\OpenPath.png"));
  const QRect at = CRightVideoDlg::kFolderIcon;
  QPoint differs(-1, -1);
  for (int y = 0; y < 24 && differs.x() < 0; ++y)
    for (int x = 0; x < 24; ++x)
      if (!test::Near(icon.pixel(x, y), icon.pixel(x, 24 + y), 30)) {
        differs = QPoint(x, y);
        break;
      }
  ASSERT_GE(differs.x(), 0);
  const QRgb band = 0xFFF8F8F8;
  EXPECT_TRUE(
      test::Near(test::Grab(page).pixel(at.topLeft() + differs), test::Over(icon, differs, band)));
  test::SendMouse(page, QEvent::MouseMove, at.center(), Qt::NoButton, Qt::NoButton);
  EXPECT_TRUE(test::Near(test::Grab(page).pixel(at.topLeft() + differs),
                         test::Over(icon, differs + QPoint(0, 24), band)));

  const std::string opener = box.WriteFile("opener.sh", "#!/bin/sh\necho \"$1\" > \"$0.out\"\n");
  chmod(opener.c_str(), 0755);
  SetShellOpenProgramForTesting(opener);
  test::Click(page, at.center());
  EXPECT_TRUE(test::WaitFor([&] { return box.ReadFile("opener.sh.out") == chosen + "\n"; }));
}

TEST_F(CRightVideoDlgTest, ToastsAndRefusedAdditionsShowTheToastOnTop) {
  page->VideoList()->AddDropped({QString::fromStdString(Video("notes.txt"))});
  EXPECT_EQ(page->Toast()->Kind(), TOAST_NOT_VIDEO);
  EXPECT_EQ(page->Toast()->Text(), "无法添加非视频类文件");
  EXPECT_TRUE(page->Toast()->IsTimerActive(CMsgBoxDlg::TIMER_FADE_IN));
}

// At start-up a task the last run left converting comes back interrupted, and the video it
// converts shows that in the grid.
TEST_F(CRightVideoDlgTest, ATaskLeftConvertingComesBackInterruptedOnItsVideo) {
  const std::string video = Video("clip.mp4");
  Service service;
  ASSERT_EQ(service.Catalogue().AddShareRecord(video, SHARE_LIST_ORDINARY), SHARE_ADD_OK);
  ASSERT_TRUE(WriteQueueFile(
      QueueFilePath(),
      {{{"clip.mp4", video, "5242880", "", "4000", "1280", "720"}, TASK_CONVERTING}}));
  test::RecordingMainWindow restarted(&service);
  CRightVideoDlg again(&restarted, &main);
  again.LoadFromCatalogue();
  ASSERT_EQ(again.ConvertList().TaskList().size(), 1u);
  EXPECT_EQ(again.ConvertList().TaskList().front().Row->State(), TASK_INTERRUPTED);
  ASSERT_EQ(again.VideoList()->Core().EntryCount(), 1u);
  EXPECT_EQ(again.VideoList()->Core().Entries().front().m_pTile->State(), VIDEO_INTERRUPTED);
  again.Shutdown();
}

// The close and minimise buttons are the main window's to handle.
TEST_F(CRightVideoDlgTest, CloseAndMinimiseGoToTheMainWindow) {
  Press(IDC_SHARE_CLOSE);
  Press(IDC_SHARE_MINIMISE);
  EXPECT_EQ(mainWindow.calls,
            (std::vector<std::string>{"HandleCloseRequest", "MinimiseMainWindow"}));
}

}  // namespace
}  // namespace brisel
