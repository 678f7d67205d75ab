#include "BriselUIFiles/RightVideoCore.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "BriselUIFiles/ConvertListCore.h"
#include "BriselUIFiles/ConvertStatus.h"
#include "BriselUIFiles/QueueFile.h"
#include "BriselUIFiles/VideoRelationFile.h"
#include "BriselUIFiles/VideoWndListCore.h"
#include "ConService/Service.h"
#include "platform/FileSystem.h"
#include "platform/MessageQueue.h"
#include "platform/Notifications.h"
#include "platform/TextCodec.h"
#include "settings/AppSettings.h"
#include "support/FakeConverter.h"
#include "support/LavfiClip.h"
#include "support/MessageLoop.h"
#include "support/RecordingMainWindow.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

using namespace std::chrono_literals;

// The panel around the library: answers the duplicate-name prompt.
class FakePanel : public VideoWndListHost {
 public:
  int AskDuplicateName(const std::string&) override { return duplicateAnswer; }
  void OnTileCreated(const std::shared_ptr<VideoWndCore>&) override {}
  void RepaintTile(const VIDEOINFO_ST&) override {}
  void RepaintPanel() override {}
  void RedoLayout() override {}
  int duplicateAnswer = 0;
};

// The page's window: its file dialog answers with `picked`.
class FakePageWindow : public RightVideoHost {
 public:
  void ControlsChanged() override { ++controlChanges; }
  void StatusChanged() override { ++statusChanges; }
  void ShowToast(int kind) override { toasts.push_back(kind); }
  void AddFromDialog() override {
    if (library) library->AddFromDialog(picked);
  }
  VideoWndListCore* library = nullptr;
  std::vector<std::string> picked;
  std::vector<int> toasts;
  int controlChanges = 0, statusChanges = 0;
};

class ListWindow : public ConvertListHost {
 public:
  void ShowMessageBox(const std::string& text) override { boxes.push_back(text); }
  std::vector<std::string> boxes;
};

// The share page with its two views, as the page window wires them, and the message loop
// the windows would run: the transcoders' posts to the conversion list and the page's own
// are handed to their cores on this (the owner) thread.
class SharePage : public ::testing::Test {
 protected:
  SharePage() {
    LoadSettings(false);
    theSettings->m_strConvertPath = box.Path("out");
    CreateDirectories(box.Path("out"));
    CreateDirectories(box.Path("videos"));
    window.library = &library;
    page.Attach(&library, &queue);
    loop.Route(listMessages, [this](const Message& m) { queue.HandleMessage(m); });
    loop.Route(pageMessages, [this](const Message& m) { page.HandleMessage(m); });
  }
  ~SharePage() override {
    page.Shutdown();
    library.Shutdown();
  }

  // Runs the loop until `done` holds; false when it did not within `timeout`.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 60s) {
    return loop.RunUntil(done, timeout);
  }
  // Every tile has finished its probe and its thumbnail grab.
  bool Settled() {
    return PumpUntil([&] {
      if (library.ProbeAllRunning()) return false;
      for (const VIDEOINFO_ST& e : library.Entries())
        if (!e.m_pTile->Probed() || !e.m_pTile->WaitForWorkers(0ms)) return false;
      return true;
    });
  }
  std::string Clip(const std::string& name, test::ClipSpec spec = {}) {
    std::string path = box.Path("videos/" + name);
    EXPECT_TRUE(test::MakeLavfiClip(path, spec));
    return path;
  }
  // Adds the files as "添加" would, and waits until they are probed.
  void Add(const std::vector<std::string>& paths) {
    window.picked = paths;
    page.OnShareAction(SHARE_ACTION_ADD);
    ASSERT_TRUE(Settled());
  }
  VideoWndCore* TileOf(const std::string& path) {
    for (const VIDEOINFO_ST& e : library.Entries())
      if (e.m_pTile->Path() == path) return e.m_pTile.get();
    return nullptr;
  }
  int StateOf(const std::string& path) {
    VideoWndCore* tile = TileOf(path);
    return tile ? tile->State() : -1;
  }
  void Tick(const std::string& path) {
    TileOf(path)->SetChecked(true);
    page.RefreshSelection();  // as the tile's click does
  }

  test::Sandbox box;
  Service service;
  ShareCatalogue& catalogue = service.Catalogue();
  std::shared_ptr<MessageQueue> listMessages = std::make_shared<MessageQueue>();
  std::shared_ptr<MessageQueue> pageMessages = std::make_shared<MessageQueue>();
  test::MessageLoop loop;
  FakePanel panel;
  FakePageWindow window;
  ListWindow listWindow;
  test::RecordingMainWindow mainWindow{&service};
  RightVideoCore page{&service, &window, &mainWindow, pageMessages};
  VideoWndListCore library{&catalogue, &panel, &page};
  ConvertListCore queue{listMessages, &page, &listWindow};
};

// The whole path of a conversion with the real converter: the tile's request becomes a task,
// the task's start and end come back to the tile, and the finished file joins the library as
// a converted video, shared in list 2, with its relation stored.
TEST_F(SharePage, AConversionTravelsFromTheTileThroughTheQueueAndBack) {
  // Long enough for a thumbnail, which is taken 15 seconds in.
  const std::string clip = Clip("clip.avi", {160, 120, 16});
  Add({clip});
  ASSERT_NE(TileOf(clip), nullptr);
  Tick(clip);
  EXPECT_TRUE(page.Enabled(IDC_SHARE_CONVERT));
  EXPECT_TRUE(page.Enabled(IDC_SHARE_DELETE));
  EXPECT_TRUE(page.CheckAllTicked());

  page.OnShareAction(SHARE_ACTION_CONVERT);
  ASSERT_EQ(queue.TaskList().size(), 1u);
  EXPECT_EQ(queue.TaskList().front().VideoName, "clip.avi");
  EXPECT_EQ(queue.TaskList().front().VideoPath, clip);
  EXPECT_FALSE(TileOf(clip)->Checked());
  ASSERT_TRUE(PumpUntil([&] { return StateOf(clip) == VIDEO_CONVERTING; }, 10s));

  const std::string output = box.Path("out/clip.mp4");
  ASSERT_TRUE(PumpUntil([&] { return library.EntryCount() == 2 && StateOf(clip) == VIDEO_IDLE; }))
      << "task state " << queue.TaskList().front().Row->State() << ": "
      << queue.TaskList().front().Row->FailureReason();
  ASSERT_TRUE(Settled());

  EXPECT_EQ(StateOf(clip), VIDEO_IDLE);
  EXPECT_EQ(StateOf(output), VIDEO_CONVERTED);
  EXPECT_TRUE(catalogue.FindShareRecord(SHARE_LIST_CONVERTED, output));
  EXPECT_TRUE(catalogue.FindShareRecord(SHARE_LIST_ORDINARY, clip));
  EXPECT_FALSE(catalogue.FindShareRecord(SHARE_LIST_ORDINARY, output));
  EXPECT_TRUE(TileOf(output)->HasThumbnail()) << "the converted file gets its own thumbnail";
  EXPECT_EQ(ReadRelationFile(RelationFilePath()), (std::vector<VIDEO_RELATION_ST>{{clip, output}}));
  EXPECT_EQ(mainWindow.Calls("ShowConvertedBalloon"),
            (std::vector<std::string>{"ShowConvertedBalloon clip.mp4"}));
  // The left menu's "转码" animated while the task converted.
  EXPECT_EQ(mainWindow.Calls("SetConverting"),
            (std::vector<std::string>{"SetConverting 1", "SetConverting 0"}));

  // The task went to the finished group and into the queue file with its output.
  ASSERT_EQ(queue.TaskList().size(), 1u);
  EXPECT_EQ(queue.TaskList().front().Row->State(), TASK_DONE);
  auto saved = ReadQueueFile(QueueFilePath());
  ASSERT_TRUE(saved);
  ASSERT_EQ(saved->size(), 1u);
  EXPECT_EQ((*saved)[0].VideoPath, output);

  // Nothing is ticked any more: Convert and Delete are off, "全选" is clear.
  EXPECT_FALSE(page.Enabled(IDC_SHARE_CONVERT));
  EXPECT_FALSE(page.Enabled(IDC_SHARE_DELETE));
  EXPECT_FALSE(page.CheckAllTicked());
  EXPECT_TRUE(window.toasts.empty());
  EXPECT_TRUE(listWindow.boxes.empty());
}

// The converter as the tile's probe left it fails: the video is idle again, nothing joins the
// library, no balloon; a video whose values give no usable output size fails at once with
// the message box "转码异常！！！".
TEST_F(SharePage, AFailedConversionLeavesTheVideoIdleAndAddsNothing) {
  const std::string clip = Clip("clip.avi");
  const std::string unreadable = box.WriteFile("videos/unreadable.mp4", "not a video");
  Add({clip, unreadable});
  ASSERT_EQ(library.EntryCount(), 2u) << "a video that cannot be read still gets a tile";
  test::FakeConverter converter(box.Folder(), "fail-after-progress");

  Tick(clip);
  page.OnShareAction(SHARE_ACTION_CONVERT);
  ASSERT_TRUE(PumpUntil([&] {
    return queue.TaskList().front().Row->State() == TASK_FAILED && StateOf(clip) == VIDEO_IDLE;
  }));
  EXPECT_FALSE(PathExists(box.Path("out/clip.mp4"))) << "the partial output is removed";

  Tick(unreadable);
  page.OnShareAction(SHARE_ACTION_CONVERT);
  ASSERT_TRUE(PumpUntil([&] { return !listWindow.boxes.empty(); }, 10s));
  EXPECT_EQ(listWindow.boxes, (std::vector<std::string>{kUnusableProfileText}));
  ASSERT_TRUE(PumpUntil([&] { return StateOf(unreadable) == VIDEO_IDLE; }, 10s));

  EXPECT_EQ(library.EntryCount(), 2u);
  EXPECT_TRUE(mainWindow.Calls("ShowConvertedBalloon").empty());
  EXPECT_TRUE(ReadRelationFile(RelationFilePath()).empty());
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_CONVERTED), 0u);

  // The unreadable video can be deleted like any other.
  Tick(unreadable);
  page.OnShareAction(SHARE_ACTION_DELETE);
  EXPECT_EQ(TileOf(unreadable), nullptr);
  EXPECT_FALSE(catalogue.FindShareRecord(SHARE_LIST_ORDINARY, unreadable));
}

// Deleting a converting video stops its converter and removes its partial output and its
// task, also when the task carries another output name because an earlier output was kept;
// deleting a queued one removes its task before it ever starts.
TEST_F(SharePage, DeletingConvertingAndQueuedVideosEndsTheirTasks) {
  const std::string first = Clip("first.avi");
  const std::string second = Clip("second.avi");
  Add({first, second});
  test::FakeConverter converter(box.Folder(), "hold");
  box.WriteFile("out/first.mp4", "an earlier conversion");
  panel.duplicateAnswer = NOTIFY_KEEP_BOTH;

  Tick(first);
  Tick(second);
  page.OnShareAction(SHARE_ACTION_CONVERT);
  ASSERT_TRUE(PumpUntil(
      [&] { return StateOf(first) == VIDEO_CONVERTING && StateOf(second) == VIDEO_QUEUED; }));
  ASSERT_EQ(queue.TaskList().front().VideoName, "first(1).avi");
  // The converter writes a working file that takes the output's name only when it is done.
  const std::string partial = converter.OutputOfRun(first);
  ASSERT_FALSE(partial.empty());
  ASSERT_TRUE(PumpUntil([&] { return PathExists(partial); }, 10s));
  const pid_t running = converter.Pid();

  Tick(first);
  Tick(second);
  EXPECT_FALSE(page.Enabled(IDC_SHARE_CONVERT)) << "neither ticked video can be converted";
  EXPECT_TRUE(page.Enabled(IDC_SHARE_DELETE));
  page.OnShareAction(SHARE_ACTION_DELETE);
  EXPECT_EQ(library.EntryCount(), 0u);
  ASSERT_TRUE(PumpUntil([&] { return queue.TaskList().empty(); }, 10s));
  EXPECT_FALSE(PathExists(partial));
  EXPECT_FALSE(PathExists(box.Path("out/first(1).mp4")));
  EXPECT_TRUE(test::WaitFor([&] { return !test::ProcessAlive(running); }, 5s));
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 0u);
  EXPECT_FALSE(PathExists(box.Path("out/second.mp4"))) << "the queued task never started";
  EXPECT_TRUE(PathExists(box.Path("out/first.mp4"))) << "the earlier output is kept";
  EXPECT_FALSE(page.Shown(IDC_SHARE_DELETE));
  EXPECT_FALSE(page.Shown(IDC_SHARE_CHECK_ALL));
}

// A finished conversion reaches the library once, the right way round: the converted file
// joins with its relation and the balloon, and its source is idle again.
TEST_F(SharePage, AConvertedFileJoinsTheLibraryAndItsSourceIsIdle) {
  const std::string source = box.WriteFile("videos/a.avi", "x");
  Add({source});
  TileOf(source)->SetState(VIDEO_CONVERTING);
  const std::string output = box.WriteFile("out/a.mp4", "y");
  page.OnConverted(source, output);
  ASSERT_EQ(library.EntryCount(), 2u);
  EXPECT_EQ(library.Entries().back().m_strPath, output);
  EXPECT_EQ(StateOf(output), VIDEO_CONVERTED);
  EXPECT_EQ(StateOf(source), VIDEO_IDLE);
  EXPECT_EQ(library.Relations(), (std::vector<VIDEO_RELATION_ST>{{source, output}}));
  EXPECT_EQ(mainWindow.Calls("ShowConvertedBalloon"),
            (std::vector<std::string>{"ShowConvertedBalloon a.mp4"}));
}

// Taking a finished task off the conversion list leaves its converted video as it is: still a
// converted video, which "删除" then takes out of list 2.
TEST_F(SharePage, CancellingAFinishedTaskKeepsItsConvertedVideo) {
  const std::string clip = Clip("clip.avi");
  Add({clip});
  test::FakeConverter converter(box.Folder(), "ok");
  Tick(clip);
  page.OnShareAction(SHARE_ACTION_CONVERT);
  const std::string output = box.Path("out/clip.mp4");
  ASSERT_TRUE(PumpUntil([&] { return StateOf(output) == VIDEO_CONVERTED; }));
  ASSERT_TRUE(Settled());
  ASSERT_TRUE(catalogue.FindShareRecord(SHARE_LIST_CONVERTED, output));

  queue.CancelTask(queue.TaskList().front().TaskId);
  EXPECT_TRUE(queue.TaskList().empty());
  EXPECT_EQ(StateOf(output), VIDEO_CONVERTED);
  Tick(output);
  page.OnShareAction(SHARE_ACTION_DELETE);
  EXPECT_EQ(TileOf(output), nullptr);
  EXPECT_FALSE(catalogue.FindShareRecord(SHARE_LIST_CONVERTED, output));
  EXPECT_TRUE(PathExists(output)) << "the file itself stays";
}

// Which controls each view shows, and how the selection sets Convert, Delete and "全选".
TEST_F(SharePage, ControlsFollowTheViewTheLibraryAndTheSelection) {
  const int ids[] = {IDC_SHARE_ADD,        IDC_SHARE_CONVERT,       IDC_SHARE_DELETE,
                     IDC_SHARE_CHECK_ALL,  IDC_SHARE_CHANGE_FOLDER, IDC_SHARE_CLEAR_FINISHED,
                     IDC_SHARE_MINIMISE,   IDC_SHARE_CLOSE,         IDC_SHARE_GROUP,
                     IDC_SHARE_SAME_GROUP, IDC_SHARE_ANIMATION,     IDC_SHARE_LIST_BUTTON,
                     IDC_SHARE_ADDRESS_BOX};
  auto shown = [&] {
    std::string out;
    for (int id : ids)
      if (page.Shown(id)) out += (out.empty() ? "" : " ") + std::to_string(id);
    return out;
  };
  const struct {
    int view;
    bool videos;
    const char* shown;
  } cases[] = {
      {SHARE_VIEW_VIDEOS, false, "1001 1002 1005 1006"},
      {SHARE_VIEW_VIDEOS, true, "1001 1002 1004 1085 1005 1006"},
      {SHARE_VIEW_CONVERT_LIST, true, "1034 1057 1005 1006"},
      {SHARE_VIEW_SETTINGS, true, "1005 1006"},
      {7, true, "1005 1006"},  // not a view: the settings stay
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.view);
    if (c.videos && library.EntryCount() == 0) Add({box.WriteFile("videos/v.mp4", "x")});
    page.SelectView(c.view);
    EXPECT_EQ(shown(), c.shown);
  }

  page.SelectView(SHARE_VIEW_VIDEOS);
  Add({box.WriteFile("videos/w.mp4", "x")});
  page.Start();
  EXPECT_FALSE(page.Enabled(IDC_SHARE_CONVERT));
  EXPECT_FALSE(page.Enabled(IDC_SHARE_DELETE));
  page.OnCheckAllClicked();
  EXPECT_TRUE(page.CheckAllTicked());
  EXPECT_TRUE(page.Enabled(IDC_SHARE_DELETE));
  EXPECT_TRUE(page.Enabled(IDC_SHARE_CONVERT)) << "the ticked videos can be converted";
  for (const VIDEOINFO_ST& e : library.Entries()) EXPECT_TRUE(e.m_pTile->Checked());
  library.Entries().front().m_pTile->SetChecked(false);
  page.RefreshSelection();
  EXPECT_FALSE(page.CheckAllTicked());
  EXPECT_TRUE(page.Enabled(IDC_SHARE_DELETE));
  page.OnCheckAllClicked();
  EXPECT_TRUE(page.CheckAllTicked());
  page.OnCheckAllClicked();
  EXPECT_FALSE(page.CheckAllTicked());
  EXPECT_FALSE(page.Enabled(IDC_SHARE_DELETE));
  EXPECT_FALSE(page.Enabled(IDC_SHARE_CONVERT));
  for (const VIDEOINFO_ST& e : library.Entries()) EXPECT_FALSE(e.m_pTile->Checked());

  // A converted video is ticked: it can be deleted, not converted.
  page.OnConverted(box.Path("videos/w.mp4"), box.WriteFile("out/w.mp4", ""));
  ASSERT_TRUE(Settled());
  for (const VIDEOINFO_ST& e : library.Entries())
    if (e.m_pTile->State() == VIDEO_CONVERTED) e.m_pTile->SetChecked(true);
  page.RefreshSelection();
  EXPECT_FALSE(page.Enabled(IDC_SHARE_CONVERT));
  EXPECT_TRUE(page.Enabled(IDC_SHARE_DELETE));
}

TEST(SharePageTexts, FooterPathAndHeader) {
  const std::string path41 = "/" + std::string(40, 'a');
  const std::string path42 = "/" + std::string(41, 'a');
  const std::string path50 = "/" + std::string(49, 'a');
  EXPECT_EQ(FooterPathText(path41), path41);
  EXPECT_EQ(FooterPathText(path42), path42 + "...");
  EXPECT_EQ(FooterPathText(path50), path50.substr(0, 42) + "...");
  std::string chinese = "/视频";  // counted in characters, not bytes
  while (Utf16Length(chinese) < 50) chinese += "视";
  EXPECT_EQ(FooterPathText(chinese), TruncateUtf16(chinese, 42) + "...");
  EXPECT_EQ(DeviceCountText(2), "【已连接2台设备】");
  EXPECT_EQ(AddressText("192.168.1.23"), "IP: 192.168.1.23");
  EXPECT_EQ(AddressText(""), "IP: 网络未连接") << "no LAN address: phones cannot connect";
}

// The address menu opens when there is something to choose: another address, or the only one
// when the service is not on it (no address at the start, a network that came up later).
TEST(SharePageTexts, TheAddressMenuOffersAChoice) {
  using List = std::vector<std::string>;
  const struct {
    List addresses;
    const char* service;
    bool offered;
  } cases[] = {
      {{}, "", false},
      {{"192.168.1.23"}, "192.168.1.23", false},
      {{"192.168.1.23"}, "", true},
      {{"192.168.1.23"}, "10.0.0.5", true},
      {{"192.168.1.23", "10.0.0.5"}, "192.168.1.23", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.addresses.size()) + " / " + c.service);
    EXPECT_EQ(RightVideoCore::OffersAddressMenu(c.addresses, c.service), c.offered);
  }
}

}  // namespace
}  // namespace brisel
