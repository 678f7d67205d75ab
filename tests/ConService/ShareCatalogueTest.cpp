#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#include "ConService/FileStatusChangeListener.h"
#include "ConService/ShareCatalogue.h"
#include "platform/FileSystem.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

struct Notice {
  std::uint8_t type, hasVideo, hasImage;
  std::string name, key, path;
};

class RecordingListener : public FileStatusChangeListener {
 public:
  void OnFileStatusChanged(std::uint8_t type, std::uint8_t hasVideo, std::uint8_t hasImage,
                           const std::string& name, const std::string& key,
                           const std::string& path) override {
    notices.push_back({type, hasVideo, hasImage, name, key, path});
  }
  std::vector<Notice> notices;
};

class ShareCatalogueTest : public ::testing::Test {
 protected:
  // A real video file inside the sandbox; returns its path.
  std::string Video(const std::string& name) { return sandbox.WriteFile("videos/" + name, "v"); }
  std::vector<std::string> Paths(ShareCatalogue& catalogue, std::uint8_t type) {
    std::vector<std::string> paths;
    ShareRecord record;
    while (catalogue.NextShareRecord(type, &record)) paths.push_back(record.path);
    return paths;
  }

  test::Sandbox sandbox;
};

TEST_F(ShareCatalogueTest, AddChecksPathNameAndListType) {
  ShareCatalogue catalogue;
  const std::string folder = sandbox.Path("videos/");
  struct Case {
    std::string path;
    std::uint8_t type;
    int result;
  } cases[] = {
      {folder + std::string(60, 'n'), 1, SHARE_ADD_OK},
      {folder + std::string(61, 'n'), 1, SHARE_ADD_REJECTED},
      {"a.mp4", 1, SHARE_ADD_REJECTED},  // no "/"
      {"", 1, SHARE_ADD_REJECTED},
      {folder, 1, SHARE_ADD_REJECTED},  // nothing after the last "/"
      {folder + "a.mp4", 0, SHARE_ADD_REJECTED},
      {folder + "a.mp4", 3, SHARE_ADD_REJECTED},
      {folder + "a.mp4", 2, SHARE_ADD_OK},
      {"/" + std::string(249, 'd') + "/a.mp", 1, SHARE_ADD_OK},  // 255 bytes
      {"/" + std::string(249, 'd') + "/a.mp4", 1, SHARE_ADD_REJECTED},
      {folder + std::string("a\0b", 3), 1, SHARE_ADD_REJECTED},
  };
  for (const Case& c : cases) {
    std::string key = "unset";
    EXPECT_EQ(catalogue.AddShareRecord(c.path, c.type, &key), c.result) << c.path.size();
    if (c.result == SHARE_ADD_OK) {
      EXPECT_EQ(key, ShareRecord::MakeKey(c.path));
      EXPECT_TRUE(IsRegularFile(catalogue.RecordFilePath(key)));
    } else {
      EXPECT_EQ(key, "unset");
    }
  }
  EXPECT_EQ(catalogue.ShareRecordCount(1), 2u);
  EXPECT_EQ(catalogue.ShareRecordCount(2), 1u);
}

TEST_F(ShareCatalogueTest, AddWritesTheRecordFileWithPresenceFlags) {
  ShareCatalogue catalogue;
  EXPECT_TRUE(IsDirectory(sandbox.Path("file_root/image")));
  const std::string video = Video("clip.mp4");
  std::string key;
  ASSERT_EQ(catalogue.AddShareRecord(video, 2, &key), SHARE_ADD_OK);
  ShareRecord expected;
  expected.type = 2;
  expected.hasVideo = 1;
  expected.hasImage = 0;
  expected.name = "clip.mp4";
  expected.key = key;
  expected.path = video;
  EXPECT_EQ(sandbox.ReadFile("file_root/" + key), expected.RecordFileBytes());
  // Atomic replacement leaves no temporary files behind.
  EXPECT_EQ(ListDirectory(sandbox.Path("file_root")).size(), 2u);

  ShareRecord record;
  ASSERT_TRUE(catalogue.FindShareRecord(0, video, &record));
  EXPECT_EQ(record.type, 2);
  EXPECT_EQ(record.hasVideo, 1);
  EXPECT_FALSE(catalogue.FindShareRecord(1, video));
}

TEST_F(ShareCatalogueTest, ListHoldsAtMost35RecordsEvenUnderConcurrentAdds) {
  ShareCatalogue catalogue;
  std::atomic<int> added{0}, full{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 8; ++i) {
        int r = catalogue.AddShareRecord("/v/t" + std::to_string(t) + "_" + std::to_string(i), 1);
        (r == SHARE_ADD_OK ? added : full)++;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(added.load(), 35);
  EXPECT_EQ(full.load(), 48 - 35);
  EXPECT_EQ(catalogue.ShareRecordCount(1), 35u);
  EXPECT_EQ(catalogue.AddShareRecord("/v/another", 1), SHARE_ADD_FULL);
  EXPECT_EQ(catalogue.AddShareRecord("/v/another", 2), SHARE_ADD_OK);  // the other list has room
  EXPECT_TRUE(catalogue.RemoveShareRecord(1, "/v/t0_0"));
  EXPECT_EQ(catalogue.AddShareRecord("/v/another", 1), SHARE_ADD_OK);
}

// A record whose file cannot be written (the disk is full) is not added: phones never see a
// video that the next start would lose, and nothing half-written stays in file_root.
TEST_F(ShareCatalogueTest, ARecordThatCannotBeWrittenIsNotAdded) {
  ShareCatalogue catalogue;
  const std::string a = Video("a.mp4");
  std::string key, error;
  {
    test::FileSizeLimit fullDisk(10);
    EXPECT_EQ(catalogue.AddShareRecord(a, 1, &key, &error), SHARE_ADD_UNWRITABLE);
  }
  EXPECT_EQ(key, "");
  EXPECT_EQ(error, std::strerror(EFBIG));
  EXPECT_EQ(catalogue.ShareRecordCount(1), 0u);
  EXPECT_EQ(catalogue.SerializeList(1), std::string(4, '\0'));
  EXPECT_EQ(ListDirectory(sandbox.Path("file_root")), std::vector<std::string>{"image"});
  // The failed add took no place in the list: it can be made again once there is room.
  EXPECT_EQ(catalogue.AddShareRecord(a, 1, &key), SHARE_ADD_OK);
  EXPECT_EQ(key, ShareRecord::MakeKey(a));
  EXPECT_EQ(catalogue.ShareRecordCount(1), 1u);
}

// A save killed between writing its temporary file and renaming it leaves "<key>.tmp-XXXXXX";
// the next start removes it, but never the file of a save still going on.
TEST_F(ShareCatalogueTest, TheNextStartRemovesWhatAKilledSaveLeft) {
  const std::string key = ShareRecord::MakeKey(Video("a.mp4"));
  const std::string abandoned = sandbox.WriteFile("file_root/" + key + ".tmp-Ab12Cd", "half");
  const std::string writing = sandbox.WriteFile("file_root/" + key + ".tmp-Zz9xY0", "half");
  const std::string notOurs = sandbox.WriteFile("file_root/notes.tmp-1", "user");
  int held = open(writing.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_TRUE(held >= 0 && flock(held, LOCK_EX) == 0);  // as WriteFileAtomically holds it
  ShareCatalogue catalogue;
  catalogue.LoadAllShareRecords();
  close(held);
  EXPECT_FALSE(PathExists(abandoned));
  EXPECT_TRUE(PathExists(writing));
  EXPECT_TRUE(PathExists(notOurs));
  EXPECT_EQ(catalogue.ShareRecordCount(1), 0u);
}

TEST_F(ShareCatalogueTest, RemoveDeletesRecordFileAndThumbnailUnlessATwinRemains) {
  ShareCatalogue catalogue;
  const std::string a = Video("a.mp4"), b = Video("b.mp4");
  std::string keyA, keyB;
  catalogue.AddShareRecord(a, 1, &keyA);
  catalogue.AddShareRecord(b, 1, &keyB);
  sandbox.WriteFile("file_root/image/" + keyA + ".jpg", "jpeg");

  EXPECT_FALSE(catalogue.RemoveShareRecord(2, a));  // not in that list
  EXPECT_FALSE(catalogue.RemoveShareRecord(1, sandbox.Path("videos/A.mp4")));
  EXPECT_TRUE(catalogue.RemoveShareRecord(1, a));
  EXPECT_FALSE(PathExists(catalogue.RecordFilePath(keyA)));
  EXPECT_FALSE(PathExists(catalogue.ThumbnailPath(keyA)));
  EXPECT_TRUE(PathExists(catalogue.RecordFilePath(keyB)));
  EXPECT_EQ(Paths(catalogue, 1), std::vector<std::string>{b});

  // The same path in both lists shares one key: removing one keeps the files for the other,
  // and the record file then names the remaining list.
  catalogue.AddShareRecord(b, 2);
  EXPECT_EQ(sandbox.ReadFile("file_root/" + keyB)[4], 2);
  EXPECT_TRUE(catalogue.RemoveShareRecord(2, b));
  ASSERT_TRUE(PathExists(catalogue.RecordFilePath(keyB)));
  EXPECT_EQ(sandbox.ReadFile("file_root/" + keyB)[4], 1);
}

TEST_F(ShareCatalogueTest, RestartBringsBackBothListsAndSkipsForeignFiles) {
  const std::string a = Video("a.mp4"), b = Video("b.mkv"), c = Video("c.avi");
  {
    ShareCatalogue catalogue;
    catalogue.AddShareRecord(a, 1);
    catalogue.AddShareRecord(b, 2);
    catalogue.AddShareRecord(c, 1);
  }
  auto record = [](char type, const std::string& name, const std::string& key,
                   const std::string& path) {
    ShareRecord r;
    r.type = static_cast<std::uint8_t>(type);
    r.name = name;
    r.key = key;
    r.path = path;
    return r.RecordFileBytes();
  };
  const std::string k0(32, '0'), k3(32, '3'), kLong(32, 'l'), kKey(32, 'k'), kBig(32, 'g');
  sandbox.WriteFile("file_root/" + k0, record(0, "x", k0, "/v/x"));
  sandbox.WriteFile("file_root/" + k3, record(3, "x", k3, "/v/x"));
  sandbox.WriteFile("file_root/" + kLong,
                    record(1, std::string(61, 'n'), kLong, "/v/" + std::string(61, 'n')));
  sandbox.WriteFile("file_root/" + kKey, record(1, "x", "short", "/v/x"));
  sandbox.WriteFile("file_root/" + kBig, record(1, "x", kBig, "/v/x") + std::string(4096, '\0'));
  sandbox.WriteFile("file_root/short-name", record(1, "x", kKey, "/v/x"));
  sandbox.WriteFile("file_root/image/" + std::string(32, 'i'), record(1, "x", kKey, "/v/x"));

  ShareCatalogue catalogue;
  catalogue.LoadAllShareRecords();
  EXPECT_EQ(catalogue.ShareRecordCount(1), 2u);
  EXPECT_EQ(catalogue.ShareRecordCount(2), 1u);
  EXPECT_EQ(Paths(catalogue, 2), std::vector<std::string>{b});
  ShareRecord loaded;
  ASSERT_TRUE(catalogue.FindShareRecord(1, c, &loaded));
  EXPECT_EQ(loaded.name, "c.avi");
  EXPECT_EQ(loaded.key, ShareRecord::MakeKey(c));
  EXPECT_EQ(loaded.hasVideo, 1);
  catalogue.LoadShareRecord("not-32-characters");
  catalogue.LoadShareRecord(std::string(32, 'm'));  // no such file
  EXPECT_EQ(catalogue.ShareRecordCount(1), 2u);
}

TEST_F(ShareCatalogueTest, EnumerationRestartsAtTheHeadAfterTheEnd) {
  ShareCatalogue catalogue;
  ShareRecord record;
  EXPECT_FALSE(catalogue.NextShareRecord(2, &record));
  EXPECT_FALSE(catalogue.NextShareRecord(7, &record));
  catalogue.AddShareRecord("/v/1", 1);
  catalogue.AddShareRecord("/v/2", 1);
  catalogue.AddShareRecord("/v/3", 1);
  ASSERT_TRUE(catalogue.NextShareRecord(1, &record));
  EXPECT_EQ(record.path, "/v/1");
  // Removing the record under the cursor lets the enumeration go on with its successor.
  ASSERT_TRUE(catalogue.NextShareRecord(1, &record));
  EXPECT_EQ(record.path, "/v/2");
  catalogue.RemoveShareRecord(1, "/v/3");
  EXPECT_FALSE(catalogue.NextShareRecord(1, &record));
  EXPECT_EQ(Paths(catalogue, 1), (std::vector<std::string>{"/v/1", "/v/2"}));
  EXPECT_EQ(Paths(catalogue, 1), (std::vector<std::string>{"/v/1", "/v/2"}));
}

TEST_F(ShareCatalogueTest, SerializedListFollowsPresenceAndTellsTheListenerOnce) {
  ShareCatalogue catalogue;
  RecordingListener listener;
  catalogue.SetFileStatusChangeListener(&listener);
  catalogue.SetPresenceRetestInterval(std::chrono::milliseconds(0));
  const std::string video = Video("a.mp4");
  std::string key;
  catalogue.AddShareRecord(video, 1, &key);
  const std::string thumbnail = sandbox.WriteFile("file_root/image/" + key + ".jpg", "jpeg");

  bool changed = false;
  std::string wire = catalogue.SerializeList(1, &changed);
  EXPECT_TRUE(changed);  // the thumbnail appeared after the add
  ASSERT_EQ(listener.notices.size(), 1u);
  EXPECT_EQ(listener.notices[0].type, 1);
  EXPECT_EQ(listener.notices[0].hasImage, 1);
  EXPECT_EQ(listener.notices[0].path, video);
  EXPECT_EQ(wire, std::string("\x01\x00\x00\x00\x01\x01\x05\x00", 8) + "a.mp4" +
                      std::string("\x20\x00", 2) + key);

  RemoveFile(thumbnail);
  wire = catalogue.SerializeList(1, &changed);
  EXPECT_TRUE(changed);
  ASSERT_EQ(listener.notices.size(), 2u);
  EXPECT_EQ(listener.notices[1].hasImage, 0);
  EXPECT_EQ(wire[5], 0);
  catalogue.SerializeList(1, &changed);
  EXPECT_FALSE(changed);
  EXPECT_EQ(listener.notices.size(), 2u);

  EXPECT_EQ(catalogue.SerializeList(2, &changed), std::string(4, '\0'));
  EXPECT_EQ(catalogue.SerializeList(9, &changed), "");
}

TEST_F(ShareCatalogueTest, PresenceIsNotRetestedMoreOftenThanTheInterval) {
  ShareCatalogue catalogue;
  catalogue.SetPresenceRetestInterval(std::chrono::hours(1));
  const std::string video = Video("a.mp4");
  catalogue.AddShareRecord(video, 1);
  bool changed = false;
  catalogue.SerializeList(1, &changed);  // the first serialization always tests
  RemoveFile(video);
  EXPECT_EQ(catalogue.SerializeList(1, &changed)[4], 1);
  EXPECT_FALSE(changed);
  catalogue.SetPresenceRetestInterval(std::chrono::milliseconds(0));
  EXPECT_EQ(catalogue.SerializeList(1, &changed)[4], 0);
  EXPECT_TRUE(changed);
}

TEST_F(ShareCatalogueTest, SnapshotHoldsBothListsAsSectionsAndTheirRevisionsMove) {
  ShareCatalogue catalogue;
  catalogue.SetPresenceRetestInterval(std::chrono::milliseconds(0));
  const std::string a = Video("a.mp4"), b = Video("b.mkv");
  std::string keyA, keyB;
  catalogue.AddShareRecord(a, 1, &keyA);
  catalogue.AddShareRecord(b, 2, &keyB);

  const CatalogueSnapshot snapshot = catalogue.Snapshot();
  ASSERT_EQ(snapshot.sections.size(), 2u);
  const CatalogueSection& ordinary = snapshot.sections[0];
  const CatalogueSection& converted = snapshot.sections[1];
  EXPECT_EQ(ordinary.id, "1");
  EXPECT_EQ(ordinary.listType, SHARE_LIST_ORDINARY);
  EXPECT_EQ(converted.id, "2");
  EXPECT_EQ(converted.listType, SHARE_LIST_CONVERTED);
  ASSERT_EQ(ordinary.videos.size(), 1u);
  const CatalogueVideo& video = ordinary.videos[0];
  EXPECT_EQ(video.key, keyA);
  EXPECT_EQ(video.name, "a.mp4");
  EXPECT_EQ(video.path, a);
  EXPECT_EQ(video.urlPath, "/" + keyA);
  EXPECT_EQ(video.thumbnailUrlPath, "/image/" + keyA + ".jpg");
  EXPECT_EQ(video.thumbnailPath, catalogue.ThumbnailPath(keyA));
  EXPECT_FALSE(video.converted);
  ASSERT_EQ(converted.videos.size(), 1u);
  EXPECT_TRUE(converted.videos[0].converted);

  auto revisionsNow = [&] {
    std::vector<std::uint64_t> out;
    for (const SectionRevision& r : catalogue.Revisions()) out.push_back(r.revision);
    return out;
  };
  const std::vector<std::uint64_t> before = revisionsNow();
  EXPECT_EQ(before, (std::vector<std::uint64_t>{ordinary.revision, converted.revision}));
  // A removal moves its own list's revision, a vanished video too (once a list reply has
  // seen it); the other list's stays.
  catalogue.RemoveShareRecord(1, a);
  std::vector<std::uint64_t> after = revisionsNow();
  EXPECT_GT(after[0], before[0]);
  EXPECT_EQ(after[1], before[1]);
  RemoveFile(b);
  catalogue.SerializeList(2);
  EXPECT_GT(revisionsNow()[1], after[1]);
}

// A key resolves to what the media server streams under it: the video its record file in
// file_root names, whether this catalogue holds the record in memory or not.
TEST_F(ShareCatalogueTest, AKeyResolvesToWhatItsRecordFileOnDiskNames) {
  ShareCatalogue catalogue;
  const std::string shared = Video("shared.mp4"), converted = Video("out.mp4");
  const std::string elsewhere = Video("elsewhere.mp4"), unlisted = Video("unlisted.mp4");
  const std::string gone = Video("gone.mp4");
  std::string keyShared, keyConverted, keyUnlisted, keyUnlinked, keyGone;
  catalogue.AddShareRecord(shared, 1, &keyShared);
  catalogue.AddShareRecord(converted, 2, &keyConverted);
  catalogue.AddShareRecord(elsewhere, 1, &keyUnlinked);
  catalogue.AddShareRecord(gone, 1, &keyGone);
  {
    ShareCatalogue other;  // another briselvr writing into the same folder
    other.AddShareRecord(unlisted, 2, &keyUnlisted);
  }
  RemoveFile(catalogue.RecordFilePath(keyUnlinked));  // removed by another briselvr
  RemoveFile(gone);
  ShareRecord folder;
  folder.type = 1;
  folder.name = "videos";
  folder.key = std::string(32, 'f');
  folder.path = sandbox.Path("videos");
  sandbox.WriteFile("file_root/" + folder.key, folder.RecordFileBytes());
  sandbox.WriteFile("file_root/" + std::string(32, 'e'), "qmtk\x01\x01\x01\xff\xff");
  sandbox.WriteFile("file_root/" + std::string(32, 'd'), "no magic, a file of its own");

  struct Case {
    const char* what;
    std::string key;
    const char* path;  // null: nothing
    bool converted;
  } cases[] = {
      {"shared", keyShared, "videos/shared.mp4", false},
      {"converted", keyConverted, "videos/out.mp4", true},
      {"record file of another catalogue", keyUnlisted, "videos/unlisted.mp4", true},
      {"record file removed on disk", keyUnlinked, nullptr, false},
      {"video gone", keyGone, nullptr, false},
      {"record naming a folder", folder.key, nullptr, false},
      {"malformed record", std::string(32, 'e'), nullptr, false},
      {"plain file", std::string(32, 'd'), nullptr, false},
      {"no such key", std::string(32, '0'), nullptr, false},
      {"upper case", std::string(32, 'F'), nullptr, false},
      {"31 digits", keyShared.substr(1), nullptr, false},
      {"a path", "../" + keyShared.substr(3), nullptr, false},
      {"empty", "", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::optional<CatalogueVideo> video = catalogue.ResolveKey(c.key);
    ASSERT_EQ(video.has_value(), c.path != nullptr);
    if (!video) continue;
    EXPECT_EQ(video->path, sandbox.Path(c.path));
    EXPECT_EQ(video->name, BaseName(video->path));
    EXPECT_EQ(video->key, c.key);
    EXPECT_EQ(video->urlPath, "/" + c.key);
    EXPECT_EQ(video->converted, c.converted);
  }
}

TEST_F(ShareCatalogueTest, DestructionRewritesRecordFilesWithFreshFlags) {
  const std::string video = Video("a.mp4");
  std::string key;
  {
    ShareCatalogue catalogue;
    catalogue.AddShareRecord(video, 1, &key);
    EXPECT_EQ(sandbox.ReadFile("file_root/" + key)[5], 1);
    RemoveFile(video);
    sandbox.WriteFile("file_root/image/" + key + ".jpg", "jpeg");
  }
  const std::string file = sandbox.ReadFile("file_root/" + key);
  EXPECT_EQ(file[5], 0);
  EXPECT_EQ(file[6], 1);
}

}  // namespace
}  // namespace brisel
