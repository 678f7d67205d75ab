#include "BriselUIFiles/VideoWndListCore.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "BriselUIFiles/ConvertRequest.h"
#include "BriselUIFiles/ConvertStatus.h"
#include "ConService/ShareCatalogue.h"
#include "platform/FileSystem.h"
#include "platform/Notifications.h"
#include "settings/AppSettings.h"
#include "support/FakeConverter.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

// The windows around the library: records what the library asks of them (what it asks of
// the share page as the messages that carry it) and answers as the test says.
class FakeHost : public VideoWndListHost, public VideoWndListPage {
 public:
  int RequestConversion(const ConvertRequest& request) override {
    Message message(WM_CONVERT_REQUEST);
    message.record = request;
    sent.push_back(message);
    return 1;
  }
  void ReportSelection(SelectionState state) override {
    sent.push_back(Message(WM_SELECTION_STATE, state == SELECTION_NONE ? 2 : 1,
                           state == SELECTION_CONVERTIBLE ? 1 : 0));
  }
  int CancelTask(const std::string& name, const std::string& path) override {
    sent.push_back(Message(WM_CANCEL_TASK, 0, 0, name, path));
    return static_cast<int>(cancelAnswer);
  }
  void ConvertedDeleted(const std::string& path) override {
    posted.push_back(Message(WM_CONVERTED_DELETED, 0, 0, path));
  }
  void ShowToast(int kind) override { posted.push_back(Message(WM_SHOW_TOAST, kind)); }
  bool FindTask(const std::string& path, const std::string& name) override {
    findTaskAsked.push_back(path + "|" + name);
    return queued.count(path + "|" + name) > 0;
  }
  int AskDuplicateName(const std::string& shownName) override {
    prompts.push_back(shownName);
    if (duringPrompt) duringPrompt();
    return duplicateAnswer;
  }
  void ShowConvertedBalloon(const std::string& title) override { balloons.push_back(title); }
  void RefreshSelection() override { ++selectionRefreshes; }
  void OnTileCreated(const std::shared_ptr<VideoWndCore>&) override { ++tilesCreated; }
  void RepaintTile(const VIDEOINFO_ST&) override { ++tileRepaints; }
  void RepaintPanel() override { ++panelRepaints; }
  void RedoLayout() override { ++layouts; }

  std::vector<int> Toasts() const {
    std::vector<int> kinds;
    for (const Message& m : posted)
      if (m.id == WM_SHOW_TOAST) kinds.push_back(static_cast<int>(m.wParam));
    return kinds;
  }
  std::vector<ConvertRequest> Requests() const {
    std::vector<ConvertRequest> requests;
    for (const Message& m : sent)
      if (m.id == WM_CONVERT_REQUEST) requests.push_back(std::any_cast<ConvertRequest>(m.record));
    return requests;
  }
  std::vector<std::pair<intptr_t, intptr_t>> SelectionStates() const {
    std::vector<std::pair<intptr_t, intptr_t>> states;
    for (const Message& m : sent)
      if (m.id == WM_SELECTION_STATE) states.emplace_back(m.wParam, m.lParam);
    return states;
  }

  std::vector<Message> sent, posted;
  std::vector<std::string> findTaskAsked, prompts, balloons;
  std::set<std::string> queued;  // "path|name" of tasks the conversion list holds
  int duplicateAnswer = 0;
  int selectionRefreshes = 0;
  std::intptr_t cancelAnswer = 1;
  std::function<void()> duringPrompt;
  int tilesCreated = 0, tileRepaints = 0, panelRepaints = 0, layouts = 0;
};

// A library in a fresh program folder, with the settings loaded (ConvertPath is
// <folder>/appData/converted/) and a converter that fails at once, so the thumbnail grabs of
// these tests cost nothing.
class VideoLibrary : public ::testing::Test {
 protected:
  VideoLibrary() : converter(box.Folder(), "exit-at-once") {
    LoadSettings(false);
    CreateDirectories(OutputFolder());
  }
  ~VideoLibrary() override { library.Shutdown(); }

  std::string OutputFolder() const { return box.Path("appData/converted"); }
  // A file standing in for a video (the probe reads empty values from it).
  std::string Video(const std::string& name) const {
    return box.WriteFile("videos/" + name, "not really a video");
  }
  // `count` entries of missing videos, added by drops (each becomes state 8 at once).
  void FillWithMissing(std::size_t count) {
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < count; ++i)
      paths.push_back("/nowhere/m" + std::to_string(i) + ".mp4");
    ASSERT_EQ(library.AddDropped(paths), count);
    host = FakeHost();
  }
  // Builds entries from catalogue records: `list` 1 or 2, one per path.
  void LoadCatalogue(const std::vector<std::pair<std::uint8_t, std::string>>& records) {
    for (const auto& [list, path] : records) ASSERT_EQ(catalogue.AddShareRecord(path, list), 0);
    library.LoadFromCatalogue();
    ASSERT_TRUE(WaitProbed());
  }
  bool WaitProbed() {
    return test::WaitFor([&] { return !library.ProbeAllRunning(); }) && test::WaitFor([&] {
             for (const VIDEOINFO_ST& e : library.Entries())
               if (!e.m_pTile->Probed()) return false;
             return true;
           });
  }
  VideoWndCore& Tile(std::size_t index) {
    auto it = library.Entries().begin();
    std::advance(it, index);
    return *it->m_pTile;
  }
  std::vector<std::string> TilePaths() const {
    std::vector<std::string> paths;
    for (const VIDEOINFO_ST& e : library.Entries()) paths.push_back(e.m_pTile->Path());
    return paths;
  }

  test::Sandbox box;
  test::FakeConverter converter;
  ShareCatalogue catalogue;
  FakeHost host;
  VideoWndListCore library{&catalogue, &host, &host};
};

TEST_F(VideoLibrary, AdditionRules) {
  const std::string sixty = "/v/" + std::string(53, 'a') + ".mp4";  // 60 characters
  const std::string sixtyOne = "/v/" + std::string(54, 'a') + ".mp4";
  std::string chinese = "/v/";  // 60 characters of 3 bytes but the first three
  while (chinese.size() < 3 + 53 * 3) chinese += "视";
  chinese += ".mp4";
  const std::string longPath = "/v/" + std::string(600, 'a') + ".mp4";
  enum Way { Dialog, Drop };
  const struct {
    const char* what;
    std::size_t ordinary, converted;  // entries before
    Way way;
    std::vector<std::string> paths;
    std::size_t added;
    std::vector<int> toasts;
  } cases[] = {
      {"69 entries take one picked file", 34, 35, Dialog, {"/v/one.mp4"}, 1, {}},
      {"a selection beyond the dialog's 260 characters is refused whole",
       34,
       35,
       Dialog,
       {"/v/" + std::string(100, 'a') + ".mp4", "/v/" + std::string(100, 'b') + ".mp4",
        "/v/" + std::string(100, 'c') + ".mp4"},
       0,
       {}},
      {"a full library refuses the dialog", 35, 35, Dialog, {"/v/one.mp4"}, 0, {TOAST_TOO_MANY}},
      {"short names that fit the buffer still stop at 70 entries, before the ordinary limit",
       33,
       35,
       Dialog,
       {"/v/1.mp4", "/v/2.mp4", "/v/3.mp4", "/v/4.mp4"},
       2,
       {TOAST_TOO_MANY}},
      {"69 entries take three dropped files",
       32,
       37,
       Drop,
       {"/v/1.mp4", "/v/2.mp4", "/v/3.mp4"},
       3,
       {}},
      {"a full library ignores a drop", 35, 35, Drop, {"/v/1.mp4"}, 0, {}},
      {"35 ordinary videos refuse a picked one",
       35,
       0,
       Dialog,
       {"/v/1.mp4"},
       0,
       {TOAST_SHARE_LIST_FULL}},
      {"picked beyond 35 ordinary videos: one toast, the rest dropped",
       33,
       0,
       Dialog,
       {"/v/1.mp4", "/v/2.mp4", "/v/3.mp4", "/v/4.mp4"},
       2,
       {TOAST_SHARE_LIST_FULL}},
      {"converted files do not count against the 35",
       34,
       30,
       Drop,
       {"/v/1.mp4", "/v/2.mp4", "/v/3.mp4"},
       1,
       {TOAST_SHARE_LIST_FULL}},
      {"dropped beyond 35 ordinary videos: a file's own refusal first, then one toast",
       35,
       0,
       Drop,
       {"/v/notes.txt", "/v/1.mp4", "/v/2.mp4"},
       0,
       {TOAST_NOT_VIDEO, TOAST_SHARE_LIST_FULL}},
      {"extensions are matched exactly",
       0,
       0,
       Drop,
       {"/v/clip.Mp4", "/v/clip.MP4", "/v/clip.mp4", "/v/clip.3GP", "/v/clip", "/v.mkv/clip",
        "/v/clip.txt"},
       3,
       {TOAST_NOT_VIDEO, TOAST_NOT_VIDEO, TOAST_NOT_VIDEO, TOAST_NOT_VIDEO}},
      {"picked: 61 characters refused, 60 accepted, characters not bytes",
       0,
       0,
       Dialog,
       {sixtyOne, sixty, chinese},
       2,
       {TOAST_PATH_TOO_LONG}},
      {"dropped: 61 characters accepted", 0, 0, Drop, {sixtyOne}, 1, {}},
      {"dropped: more than 511 bytes refused", 0, 0, Drop, {longPath}, 0, {TOAST_PATH_TOO_LONG}},
      {"the same path twice", 0, 0, Drop, {"/v/1.mp4", "/v/1.mp4"}, 1, {TOAST_FILE_EXISTS}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    VideoWndListCore list(&catalogue, &host, &host);
    // Missing files, so nothing enters the catalogue: ordinary videos dropped, converted
    // files reported by the transcoder.
    std::vector<std::string> filler;
    for (std::size_t i = 0; i < c.ordinary; ++i)
      filler.push_back("/f/" + std::to_string(i) + ".mp4");
    ASSERT_EQ(list.AddDropped(filler), c.ordinary);
    for (std::size_t i = 0; i < c.converted; ++i)
      list.OnConverted("/s/x.avi", "/c/c" + std::to_string(i) + ".mp4");
    const std::size_t before = c.ordinary + c.converted;
    ASSERT_EQ(list.EntryCount(), before);
    host = FakeHost();
    std::size_t added = c.way == Dialog ? list.AddFromDialog(c.paths) : list.AddDropped(c.paths);
    EXPECT_EQ(added, c.added);
    EXPECT_EQ(list.EntryCount(), before + c.added);
    EXPECT_EQ(host.Toasts(), c.toasts);
  }
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 0u);
}

TEST_F(VideoLibrary, OrdinaryVideosStopAtWhatTheShareListHolds) {
  std::vector<std::string> picked, dropped;
  for (int i = 0; i < 20; ++i) picked.push_back(Video("p" + std::to_string(i) + ".mp4"));
  for (int i = 0; i < 15; ++i) dropped.push_back(Video("d" + std::to_string(i) + ".mp4"));
  ASSERT_EQ(library.AddFromDialog(picked), 20u);
  ASSERT_EQ(library.AddDropped(dropped), 15u);
  // Counted from the entries: refused whether or not their probes have registered them yet.
  const std::string more = Video("more.mp4");
  EXPECT_EQ(library.AddFromDialog({more}), 0u);
  EXPECT_EQ(library.AddDropped({more}), 0u);
  EXPECT_TRUE(library.RefuseDialog());
  EXPECT_EQ(host.Toasts(), (std::vector<int>(3, TOAST_SHARE_LIST_FULL)));
  ASSERT_TRUE(WaitProbed());
  EXPECT_EQ(library.EntryCount(), 35u);
  for (const VIDEOINFO_ST& e : library.Entries()) {
    EXPECT_EQ(e.m_pTile->RegistrationResult(), SHARE_ADD_OK) << e.m_pTile->Path();
    EXPECT_TRUE(catalogue.FindShareRecord(SHARE_LIST_ORDINARY, e.m_pTile->Path()));
  }
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 35u);

  // A removed video frees its place.
  Tile(0).SetChecked(true);
  library.RemoveChecked();
  EXPECT_FALSE(library.RefuseDialog());
  EXPECT_EQ(library.AddDropped({more}), 1u);
  ASSERT_TRUE(WaitProbed());
  EXPECT_TRUE(catalogue.FindShareRecord(SHARE_LIST_ORDINARY, more));

  // A converted file takes the place of its source's entry, but the source keeps its record
  // (and its entry at the next start): the list has no place for another video.
  ASSERT_EQ(Tile(0).Path(), picked[1]);
  Tile(0).SetChecked(true);
  ASSERT_TRUE(library.SubmitChecked());
  const std::string output = box.WriteFile("appData/converted/p1.mp4", "x");
  library.OnConverted(picked[1], output);
  ASSERT_EQ(library.OrdinaryEntryCount(), 34u);
  host = FakeHost();
  EXPECT_EQ(library.AddDropped({Video("another.mp4")}), 0u);
  EXPECT_EQ(host.Toasts(), (std::vector<int>{TOAST_SHARE_LIST_FULL}));
  ASSERT_TRUE(WaitProbed());
  EXPECT_EQ(Tile(0).State(), VIDEO_CONVERTED);
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 35u);
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_CONVERTED), 1u);
}

TEST_F(VideoLibrary, TheSamePathIsRefusedAlsoAfterTheProbeRewroteIt) {
  const std::string clip = Video("clip.mp4");
  ASSERT_EQ(library.AddFromDialog({clip}), 1u);
  ASSERT_TRUE(WaitProbed());
  EXPECT_EQ(Tile(0).Path(), clip);
  EXPECT_EQ(library.AddFromDialog({clip}), 0u);
  EXPECT_EQ(library.AddDropped({clip}), 0u);
  EXPECT_EQ(host.Toasts(), (std::vector<int>{TOAST_FILE_EXISTS, TOAST_FILE_EXISTS}));
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 1u);
}

TEST_F(VideoLibrary, ProbeAllRegistersEveryNewVideoOnceAndPassesMissingOnes) {
  const std::string a = Video("a.mp4"), b = Video("b.mkv");
  ASSERT_EQ(library.AddFromDialog({a, "/nowhere/gone.mp4", b}), 3u);
  ASSERT_TRUE(WaitProbed());
  EXPECT_EQ(Tile(0).ShareKey(), ShareRecord::MakeKey(a));
  EXPECT_TRUE(Tile(0).Ready());
  EXPECT_EQ(Tile(1).State(), VIDEO_MISSING);
  EXPECT_FALSE(Tile(1).Ready());
  EXPECT_TRUE(Tile(2).Ready());
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 2u);
  // A drop probes at once; a ProbeAll started meanwhile does not probe it a second time.
  const std::string c = Video("c.avi");
  library.AddDropped({c});
  library.AddFromDialog({Video("d.mp4")});
  ASSERT_TRUE(WaitProbed());
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 4u);
}

TEST_F(VideoLibrary, LoadFromCatalogueSkipsConvertedNamesOfOrdinaryVideos) {
  const std::string a = Video("a.mp4"), b = Video("b.mp4");
  const std::string aOut = box.WriteFile("appData/converted/a.mp4", "x");
  const std::string cOut = box.WriteFile("appData/converted/c.mp4", "x");
  LoadCatalogue({{1, a}, {1, b}, {2, aOut}, {2, cOut}});
  EXPECT_EQ(TilePaths(), (std::vector<std::string>{a, b, cOut}));
  const VIDEOINFO_ST& first = library.Entries().front();
  EXPECT_EQ(first.m_strPath, a);
  EXPECT_EQ(first.m_strShareKey, ShareRecord::MakeKey(a));
  EXPECT_EQ(first.m_strName, "a.mp4");
  EXPECT_TRUE(Tile(0).Registered());
  EXPECT_EQ(Tile(0).State(), VIDEO_IDLE);
  EXPECT_EQ(Tile(2).State(), VIDEO_CONVERTED);
  EXPECT_EQ(Tile(0).ThumbnailPath(), catalogue.ThumbnailPath(ShareRecord::MakeKey(a)));
  EXPECT_TRUE(Tile(0).Ready());
  // Probing a registered video registers nothing again.
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 2u);
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_CONVERTED), 2u);
}

TEST_F(VideoLibrary, MakeUniqueNameLooksForTheConvertedFileInTheCurrentOutputFolder) {
  box.WriteFile("appData/converted/movie(1).mp4", "x");
  EXPECT_EQ(library.MakeUniqueName("movie.mp4"), "movie(2).mp4");
  // The transcoder writes movie(1).mp4 for movie(1).avi.
  EXPECT_EQ(library.MakeUniqueName("movie.avi"), "movie(2).avi");
  // Without an extension the converted file is "movie(1).mp4", which is there.
  EXPECT_EQ(library.MakeUniqueName("movie"), "movie(2)");
  EXPECT_EQ(library.MakeUniqueName("a.b.mp4"), "a.b(1).mp4");
  // A folder chosen during the run counts.
  theSettings->m_strConvertPath = box.Path("elsewhere");
  box.WriteFile("elsewhere/movie(2).mp4", "x");
  EXPECT_EQ(library.MakeUniqueName("movie.mp4"), "movie(1).mp4");
  for (int n = 1; n <= 999; ++n) box.WriteFile("elsewhere/x(" + std::to_string(n) + ").mp4", "");
  EXPECT_EQ(library.MakeUniqueName("x.mp4"), "x");
}

// Three checked videos; the first one's converted file exists already.
class SubmitChecked : public VideoLibrary {
 protected:
  void SetUp() override {
    first = Video("first.avi");
    second = Video("second.mp4");
    third = Video("third.mkv");
    box.WriteFile("appData/converted/first.mp4", "earlier output");
    ASSERT_EQ(library.AddFromDialog({first, second, third}), 3u);
    ASSERT_TRUE(WaitProbed());
    library.SelectionCommand(kSelectionCheckAll);
  }
  std::vector<std::string> RequestedNames() const {
    std::vector<std::string> names;
    for (const ConvertRequest& r : host.Requests()) names.push_back(r.VideoName);
    return names;
  }
  std::string first, second, third;
};

TEST_F(SubmitChecked, DuplicatePromptAnswers) {
  const struct {
    int answer;
    bool result;
    std::vector<std::string> requested;
    bool thirdStillChecked;
  } cases[] = {
      {NOTIFY_KEEP_BOTH, true, {"first(1).avi", "second.mp4", "third.mkv"}, false},
      {NOTIFY_SKIP, true, {"second.mp4", "third.mkv"}, false},
      {NOTIFY_CLOSED, false, {}, true},
      {0, true, {"first.avi", "second.mp4", "third.mkv"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    host = FakeHost();
    host.duplicateAnswer = c.answer;
    library.SelectionCommand(kSelectionCheckAll);
    EXPECT_EQ(library.SubmitChecked(), c.result);
    EXPECT_EQ(host.prompts, (std::vector<std::string>{"first.avi"}));
    EXPECT_EQ(RequestedNames(), c.requested);
    EXPECT_FALSE(Tile(0).Checked());
    EXPECT_EQ(Tile(2).Checked(), c.thirdStillChecked);
    EXPECT_EQ(library.Entries().front().m_strName, "first.avi");
    EXPECT_EQ(library.Entries().front().m_strOutputName,
              c.answer == NOTIFY_KEEP_BOTH ? "first(1).avi" : "");
  }
}

TEST_F(SubmitChecked, ClosingThePromptEndsTheWalkButReportsWhatWasSent) {
  RemoveFile(box.Path("appData/converted/first.mp4"));
  box.WriteFile("appData/converted/third.mp4", "earlier output");
  host.duplicateAnswer = NOTIFY_CLOSED;
  EXPECT_TRUE(library.SubmitChecked());
  EXPECT_EQ(RequestedNames(), (std::vector<std::string>{"first.avi", "second.mp4"}));
  EXPECT_EQ(host.prompts, (std::vector<std::string>{"third.mkv"}));
}

TEST_F(SubmitChecked, TheRequestCarriesTheTilesValues) {
  Tile(1).SetChecked(false);
  Tile(2).SetChecked(false);
  host.duplicateAnswer = NOTIFY_KEEP_BOTH;
  ASSERT_TRUE(library.SubmitChecked());
  ASSERT_EQ(host.Requests().size(), 1u);
  const ConvertRequest r = host.Requests()[0];
  MediaValues v = Tile(0).Values();
  EXPECT_EQ(r, (ConvertRequest{"first(1).avi", first, v.fileSize, Tile(0).ThumbnailPath(),
                               v.duration, v.width, v.height}));
  EXPECT_GT(host.panelRepaints, 0);
}

TEST_F(SubmitChecked, VideosThatCannotBeSubmitted) {
  // first: a converted-file state; second: the source of a stored relation; third: queued.
  Tile(0).SetState(VIDEO_CONVERTED);
  library.OnConverted(second, box.WriteFile("appData/converted/other.mp4", "x"));
  host = FakeHost();
  host.queued.insert(third + "|third.mkv");
  library.SelectionCommand(kSelectionCheckAll);
  Tile(3).SetChecked(false);
  EXPECT_FALSE(library.SubmitChecked());
  EXPECT_TRUE(host.Requests().empty());
  EXPECT_EQ(host.findTaskAsked, (std::vector<std::string>{third + "|third.mkv"}));
  for (std::size_t i = 0; i < 3; ++i) EXPECT_FALSE(Tile(i).Checked()) << i;

  // A source that has gone becomes state 8, its previous state kept; with or without an
  // existing output.
  RemoveFile(first);
  RemoveFile(third);
  Tile(0).SetState(VIDEO_QUEUED);
  host.queued.clear();
  host.duplicateAnswer = NOTIFY_KEEP_BOTH;
  library.SelectionCommand(kSelectionCheckAll);
  Tile(1).SetChecked(false);
  Tile(3).SetChecked(false);
  EXPECT_FALSE(library.SubmitChecked());
  EXPECT_EQ(Tile(0).State(), VIDEO_MISSING);
  EXPECT_EQ(Tile(0).PreviousState(), VIDEO_QUEUED);
  EXPECT_EQ(Tile(2).State(), VIDEO_MISSING);
  EXPECT_EQ(Tile(2).PreviousState(), VIDEO_IDLE);
}

TEST_F(SubmitChecked, AnEntryReplacedWhileThePromptRunsIsLeftAlone) {
  Tile(1).SetChecked(false);
  Tile(2).SetChecked(false);
  host.duplicateAnswer = NOTIFY_KEEP_BOTH;
  // A finished conversion named like the first video arrives during the modal prompt and
  // takes its entry's place.
  host.duringPrompt = [&] {
    library.OnConverted("/src/first.avi", box.WriteFile("out/first.avi", "x"));
  };
  EXPECT_FALSE(library.SubmitChecked());
  EXPECT_TRUE(host.Requests().empty());
  EXPECT_EQ(Tile(0).State(), VIDEO_CONVERTED);
}

TEST_F(VideoLibrary, RemoveCheckedByState) {
  const struct {
    const char* what;
    int state;
    int previous;  // for state 8
    std::intptr_t cancelAnswer;
    bool removed;
    bool cancelSent;
  } cases[] = {
      {"idle", VIDEO_IDLE, 0, 1, true, false},
      {"queued", VIDEO_QUEUED, 0, 0, true, true},
      {"interrupted", VIDEO_INTERRUPTED, 0, 0, true, true},
      {"converting, task kept", VIDEO_CONVERTING, 0, 0, false, true},
      {"converting, task dropped", VIDEO_CONVERTING, 0, 1, true, true},
      {"converted", VIDEO_CONVERTED, 0, 1, true, false},
      {"missing ordinary video", VIDEO_MISSING, VIDEO_IDLE, 1, true, false},
      {"missing converted video", VIDEO_MISSING, VIDEO_CONVERTED, 1, true, false},
      {"missing queued video", VIDEO_MISSING, VIDEO_QUEUED, 1, true, false},
      {"unknown state", 5, 0, 1, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const bool converted = c.state == VIDEO_CONVERTED || c.previous == VIDEO_CONVERTED;
    const std::uint8_t list = converted ? SHARE_LIST_CONVERTED : SHARE_LIST_ORDINARY;
    const std::string path = Video("v.mp4");
    // Two relations end in the converted file: only the first goes.
    WriteRelationFile(RelationFilePath(),
                      {{"/s/a.avi", path}, {"/s/b.avi", "/o/b.mp4"}, {"/s/c.avi", path}});
    ShareCatalogue caseCatalogue;
    ASSERT_EQ(caseCatalogue.AddShareRecord(path, list), 0);
    host = FakeHost();
    host.cancelAnswer = c.cancelAnswer;
    VideoWndListCore list2(&caseCatalogue, &host, &host);
    list2.LoadRelations();
    list2.LoadFromCatalogue();
    ASSERT_EQ(list2.EntryCount(), 1u);
    VideoWndCore& tile = *list2.Entries().front().m_pTile;
    ASSERT_TRUE(tile.WaitProbed(std::chrono::seconds(10)));
    if (c.state == VIDEO_MISSING) {
      tile.SetState(c.previous);
      tile.MarkMissing();
    } else {
      tile.SetState(c.state);
    }
    tile.SetChecked(true);
    list2.RemoveChecked();

    EXPECT_EQ(list2.EntryCount(), c.removed ? 0u : 1u);
    EXPECT_EQ(caseCatalogue.FindShareRecord(list, path), !c.removed);
    EXPECT_EQ(PathExists(caseCatalogue.RecordFilePath(ShareRecord::MakeKey(path))), !c.removed);
    std::vector<Message> cancels;
    for (const Message& m : host.sent)
      if (m.id == WM_CANCEL_TASK) cancels.push_back(m);
    ASSERT_EQ(cancels.size(), c.cancelSent ? 1u : 0u);
    if (c.cancelSent) {
      EXPECT_EQ(cancels[0].text, "v.mp4");
      EXPECT_EQ(cancels[0].text2, path);
    }
    const bool convertedRemoved = c.state == VIDEO_CONVERTED;
    ASSERT_EQ(host.posted.size(), convertedRemoved ? 1u : 0u);
    if (convertedRemoved) {
      EXPECT_EQ(host.posted[0].id, WM_CONVERTED_DELETED);
      EXPECT_EQ(host.posted[0].text, path);
    }
    const std::vector<VIDEO_RELATION_ST> expected =
        convertedRemoved
            ? std::vector<VIDEO_RELATION_ST>{{"/s/b.avi", "/o/b.mp4"}, {"/s/c.avi", path}}
            : std::vector<VIDEO_RELATION_ST>{
                  {"/s/a.avi", path}, {"/s/b.avi", "/o/b.mp4"}, {"/s/c.avi", path}};
    EXPECT_EQ(list2.Relations(), expected);
    EXPECT_EQ(ReadRelationFile(RelationFilePath()), expected);
    EXPECT_EQ(host.layouts, 1);
  }
}

TEST_F(VideoLibrary, RemovingDuringProbeAllLeavesNoRecordBehind) {
  std::vector<std::string> paths;
  for (int i = 0; i < 30; ++i) paths.push_back(Video("v" + std::to_string(i) + ".mp4"));
  ASSERT_EQ(library.AddFromDialog(paths), 30u);
  library.SelectionCommand(kSelectionCheckAll);
  library.RemoveChecked();
  EXPECT_EQ(library.EntryCount(), 0u);
  // ProbeAll goes on with what is added next.
  const std::string later = Video("later.mp4");
  library.AddFromDialog({later});
  ASSERT_TRUE(WaitProbed());
  EXPECT_TRUE(Tile(0).Ready());
  EXPECT_EQ(catalogue.ShareRecordCount(SHARE_LIST_ORDINARY), 1u);
  EXPECT_TRUE(catalogue.FindShareRecord(SHARE_LIST_ORDINARY, later));
}

TEST_F(VideoLibrary, ConversionStatusChangesTheFirstMatchingTile) {
  const std::string path = Video("v.mp4");
  const std::string other = Video("w.mp4");
  // The catalogue may hold one path twice.
  LoadCatalogue({{1, path}, {1, path}, {1, other}});
  const struct {
    int code;
    int state;
  } cases[] = {{4, VIDEO_IDLE},       {9, VIDEO_IDLE},        {1, VIDEO_QUEUED},
               {2, VIDEO_CONVERTING}, {6, VIDEO_INTERRUPTED}, {0, VIDEO_CONVERTED},
               {3, VIDEO_CONVERTED},  {5, VIDEO_CONVERTED},   {-1, VIDEO_CONVERTED}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    for (std::size_t i = 0; i < 3; ++i) Tile(i).SetState(VIDEO_CONVERTED);
    host = FakeHost();
    library.OnConversionStatus(c.code, path);
    EXPECT_EQ(Tile(0).State(), c.state);
    EXPECT_EQ(Tile(1).State(), VIDEO_CONVERTED);
    EXPECT_EQ(Tile(2).State(), VIDEO_CONVERTED);
    EXPECT_EQ(host.tileRepaints, c.state == VIDEO_CONVERTED ? 0 : 1);
  }
  library.OnConversionStatus(1, "/no/such.mp4");
  EXPECT_EQ(Tile(0).State(), VIDEO_CONVERTED);
}

TEST_F(VideoLibrary, AFinishedConversionTakesThePlaceOfTheEntryOfItsName) {
  const std::string a = Video("a.mp4"), clip = Video("clip.mp4"), b = Video("b.mp4");
  LoadCatalogue({{1, a}, {1, clip}, {1, b}});
  std::shared_ptr<VideoWndCore> source = std::next(library.Entries().begin())->m_pTile;
  source->SetState(VIDEO_CONVERTING);
  const std::string output = box.WriteFile("appData/converted/clip.mp4", "converted");
  host = FakeHost();
  library.OnConverted(clip, output);

  EXPECT_EQ(TilePaths(), (std::vector<std::string>{a, output, b}));
  EXPECT_EQ(source->State(), VIDEO_IDLE);
  EXPECT_TRUE(source->Stopped());
  VideoWndCore& converted = Tile(1);
  EXPECT_EQ(converted.State(), VIDEO_CONVERTED);
  EXPECT_EQ(std::next(library.Entries().begin())->m_strPath, output);
  ASSERT_TRUE(converted.WaitProbed(std::chrono::seconds(10)));
  EXPECT_EQ(converted.ShareKey(), ShareRecord::MakeKey(output));
  EXPECT_TRUE(catalogue.FindShareRecord(SHARE_LIST_CONVERTED, output));
  EXPECT_EQ(host.balloons, (std::vector<std::string>{"clip.mp4"}));
  const std::vector<VIDEO_RELATION_ST> relations = {{clip, output}};
  EXPECT_EQ(library.Relations(), relations);
  EXPECT_EQ(ReadRelationFile(RelationFilePath()), relations);
  EXPECT_TRUE(library.IsRelationSource(clip));
  EXPECT_FALSE(library.IsRelationSource(output));
  EXPECT_EQ(host.layouts, 1);

  // Another name is appended; the balloon title is cut to 63 characters.
  const std::string longName = std::string(70, 'n') + ".mp4";
  library.OnConverted(a, "/out/" + longName);
  EXPECT_EQ(library.EntryCount(), 4u);
  EXPECT_EQ(host.balloons.back(), std::string(63, 'n'));
  EXPECT_EQ(Tile(3).State(), VIDEO_MISSING);  // no such file: probed as missing
  EXPECT_EQ(ReadRelationFile(RelationFilePath()).size(), 2u);
}

TEST_F(VideoLibrary, SelectionCommand) {
  EXPECT_EQ(library.SelectionCommand(kSelectionReport), 0);
  EXPECT_EQ(host.SelectionStates(), (std::vector<std::pair<intptr_t, intptr_t>>{{2, 0}}));
  EXPECT_EQ(library.SelectionCommand(kSelectionAllChecked), 1);

  FillWithMissing(4);
  Tile(0).SetState(VIDEO_QUEUED);
  Tile(1).SetState(VIDEO_IDLE);
  Tile(2).SetState(VIDEO_CONVERTED);
  Tile(3).SetState(VIDEO_IDLE);
  using States = std::vector<std::pair<intptr_t, intptr_t>>;
  const struct {
    std::vector<bool> checked;
    int result;
    States states;
  } cases[] = {
      {{false, false, false, false}, 0, {{2, 0}}},
      {{true, true, false, true}, 1, {{1, 0}, {1, 1}}},
      {{true, false, true, false}, 1, {{1, 0}, {1, 0}}},
      {{false, false, false, true}, 1, {{1, 1}}},
  };
  for (const auto& c : cases) {
    for (std::size_t i = 0; i < 4; ++i) Tile(i).SetChecked(c.checked[i]);
    host = FakeHost();
    EXPECT_EQ(library.SelectionCommand(kSelectionReport), c.result);
    EXPECT_EQ(host.SelectionStates(), c.states);
    EXPECT_EQ(library.SelectionCommand(kSelectionAllChecked), 0);
  }
  host = FakeHost();
  library.SelectionCommand(kSelectionCheckAll);
  EXPECT_EQ(host.tileRepaints, 3);  // the fourth was checked already
  EXPECT_EQ(library.SelectionCommand(kSelectionAllChecked), 1);
  library.SelectionCommand(2);
  for (std::size_t i = 0; i < 4; ++i) EXPECT_FALSE(Tile(i).Checked());
  EXPECT_EQ(host.tileRepaints, 7);
}

}  // namespace
}  // namespace brisel
