#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include "ConService/FileStatusChangeListener.h"
#include "ConService/Service.h"
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
  std::vector<std::string> Paths(Service& service, std::uint8_t type) {
    std::vector<std::string> paths;
    ShareRecord record;
    while (service.NextShareRecord(type, &record)) paths.push_back(record.path);
    return paths;
  }

  test::Sandbox sandbox;
};

TEST_F(ShareCatalogueTest, AddChecksPathNameAndListType) {
  Service service;
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
    EXPECT_EQ(service.AddShareRecord(c.path, c.type, &key), c.result) << c.path.size();
    if (c.result == SHARE_ADD_OK) {
      EXPECT_EQ(key, ShareRecord::MakeKey(c.path));
      EXPECT_TRUE(IsRegularFile(service.RecordFilePath(key)));
    } else {
      EXPECT_EQ(key, "unset");
    }
  }
  EXPECT_EQ(service.ShareRecordCount(1), 2u);
  EXPECT_EQ(service.ShareRecordCount(2), 1u);
}

TEST_F(ShareCatalogueTest, AddWritesTheRecordFileWithPresenceFlags) {
  Service service;
  EXPECT_TRUE(IsDirectory(sandbox.Path("file_root/image")));
  const std::string video = Video("clip.mp4");
  std::string key;
  ASSERT_EQ(service.AddShareRecord(video, 2, &key), SHARE_ADD_OK);
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
  ASSERT_TRUE(service.FindShareRecord(0, video, &record));
  EXPECT_EQ(record.type, 2);
  EXPECT_EQ(record.hasVideo, 1);
  EXPECT_FALSE(service.FindShareRecord(1, video));
}

TEST_F(ShareCatalogueTest, ListHoldsAtMost35RecordsEvenUnderConcurrentAdds) {
  Service service;
  std::atomic<int> added{0}, full{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 8; ++i) {
        int r = service.AddShareRecord("/v/t" + std::to_string(t) + "_" + std::to_string(i), 1);
        (r == SHARE_ADD_OK ? added : full)++;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(added.load(), 35);
  EXPECT_EQ(full.load(), 48 - 35);
  EXPECT_EQ(service.ShareRecordCount(1), 35u);
  EXPECT_EQ(service.AddShareRecord("/v/another", 1), SHARE_ADD_FULL);
  EXPECT_EQ(service.AddShareRecord("/v/another", 2), SHARE_ADD_OK);  // the other list has room
  EXPECT_TRUE(service.RemoveShareRecord(1, "/v/t0_0"));
  EXPECT_EQ(service.AddShareRecord("/v/another", 1), SHARE_ADD_OK);
}

// A record whose file cannot be written (the disk is full) is not added: phones never see a
// video that the next start would lose, and nothing half-written stays in file_root.
TEST_F(ShareCatalogueTest, ARecordThatCannotBeWrittenIsNotAdded) {
  Service service;
  const std::string a = Video("a.mp4");
  std::string key, error;
  {
    test::FileSizeLimit fullDisk(10);
    EXPECT_EQ(service.AddShareRecord(a, 1, &key, &error), SHARE_ADD_UNWRITABLE);
  }
  EXPECT_EQ(key, "");
  EXPECT_EQ(error, std::strerror(EFBIG));
  EXPECT_EQ(service.ShareRecordCount(1), 0u);
  EXPECT_EQ(service.SerializeList(1), std::string(4, '\0'));
  EXPECT_EQ(ListDirectory(sandbox.Path("file_root")), std::vector<std::string>{"image"});
  // The failed add took no place in the list: it can be made again once there is room.
  EXPECT_EQ(service.AddShareRecord(a, 1, &key), SHARE_ADD_OK);
  EXPECT_EQ(key, ShareRecord::MakeKey(a));
  EXPECT_EQ(service.ShareRecordCount(1), 1u);
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
  Service service;
  service.LoadAllShareRecords();
  close(held);
  EXPECT_FALSE(PathExists(abandoned));
  EXPECT_TRUE(PathExists(writing));
  EXPECT_TRUE(PathExists(notOurs));
  EXPECT_EQ(service.ShareRecordCount(1), 0u);
}

TEST_F(ShareCatalogueTest, RemoveDeletesRecordFileAndThumbnailUnlessATwinRemains) {
  Service service;
  const std::string a = Video("a.mp4"), b = Video("b.mp4");
  std::string keyA, keyB;
  service.AddShareRecord(a, 1, &keyA);
  service.AddShareRecord(b, 1, &keyB);
  sandbox.WriteFile("file_root/image/" + keyA + ".jpg", "jpeg");

  EXPECT_FALSE(service.RemoveShareRecord(2, a));  // not in that list
  EXPECT_FALSE(service.RemoveShareRecord(1, sandbox.Path("videos/A.mp4")));
  EXPECT_TRUE(service.RemoveShareRecord(1, a));
  EXPECT_FALSE(PathExists(service.RecordFilePath(keyA)));
  EXPECT_FALSE(PathExists(service.ThumbnailPath(keyA)));
  EXPECT_TRUE(PathExists(service.RecordFilePath(keyB)));
  EXPECT_EQ(Paths(service, 1), std::vector<std::string>{b});

  // The same path in both lists shares one key: removing one keeps the files for the other,
  // and the record file then names the remaining list.
  service.AddShareRecord(b, 2);
  EXPECT_EQ(sandbox.ReadFile("file_root/" + keyB)[4], 2);
  EXPECT_TRUE(service.RemoveShareRecord(2, b));
  ASSERT_TRUE(PathExists(service.RecordFilePath(keyB)));
  EXPECT_EQ(sandbox.ReadFile("file_root/" + keyB)[4], 1);
}

TEST_F(ShareCatalogueTest, RestartBringsBackBothListsAndSkipsForeignFiles) {
  const std::string a = Video("a.mp4"), b = Video("b.mkv"), c = Video("c.avi");
  {
    Service service;
    service.AddShareRecord(a, 1);
    service.AddShareRecord(b, 2);
    service.AddShareRecord(c, 1);
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

  Service service;
  service.LoadAllShareRecords();
  EXPECT_EQ(service.ShareRecordCount(1), 2u);
  EXPECT_EQ(service.ShareRecordCount(2), 1u);
  EXPECT_EQ(Paths(service, 2), std::vector<std::string>{b});
  ShareRecord loaded;
  ASSERT_TRUE(service.FindShareRecord(1, c, &loaded));
  EXPECT_EQ(loaded.name, "c.avi");
  EXPECT_EQ(loaded.key, ShareRecord::MakeKey(c));
  EXPECT_EQ(loaded.hasVideo, 1);
  service.LoadShareRecord("not-32-characters");
  service.LoadShareRecord(std::string(32, 'm'));  // no such file
  EXPECT_EQ(service.ShareRecordCount(1), 2u);
}

TEST_F(ShareCatalogueTest, EnumerationRestartsAtTheHeadAfterTheEnd) {
  Service service;
  ShareRecord record;
  EXPECT_FALSE(service.NextShareRecord(2, &record));
  EXPECT_FALSE(service.NextShareRecord(7, &record));
  service.AddShareRecord("/v/1", 1);
  service.AddShareRecord("/v/2", 1);
  service.AddShareRecord("/v/3", 1);
  ASSERT_TRUE(service.NextShareRecord(1, &record));
  EXPECT_EQ(record.path, "/v/1");
  // Removing the record under the cursor lets the enumeration go on with its successor.
  ASSERT_TRUE(service.NextShareRecord(1, &record));
  EXPECT_EQ(record.path, "/v/2");
  service.RemoveShareRecord(1, "/v/3");
  EXPECT_FALSE(service.NextShareRecord(1, &record));
  EXPECT_EQ(Paths(service, 1), (std::vector<std::string>{"/v/1", "/v/2"}));
  EXPECT_EQ(Paths(service, 1), (std::vector<std::string>{"/v/1", "/v/2"}));
}

TEST_F(ShareCatalogueTest, SerializedListFollowsPresenceAndTellsTheListenerOnce) {
  Service service;
  RecordingListener listener;
  service.SetFileStatusChangeListener(&listener);
  service.SetPresenceRetestInterval(std::chrono::milliseconds(0));
  const std::string video = Video("a.mp4");
  std::string key;
  service.AddShareRecord(video, 1, &key);
  const std::string thumbnail = sandbox.WriteFile("file_root/image/" + key + ".jpg", "jpeg");

  bool changed = false;
  std::string wire = service.SerializeList(1, &changed);
  EXPECT_TRUE(changed);  // the thumbnail appeared after the add
  ASSERT_EQ(listener.notices.size(), 1u);
  EXPECT_EQ(listener.notices[0].type, 1);
  EXPECT_EQ(listener.notices[0].hasImage, 1);
  EXPECT_EQ(listener.notices[0].path, video);
  EXPECT_EQ(wire, std::string("\x01\x00\x00\x00\x01\x01\x05\x00", 8) + "a.mp4" +
                      std::string("\x20\x00", 2) + key);

  RemoveFile(thumbnail);
  wire = service.SerializeList(1, &changed);
  EXPECT_TRUE(changed);
  ASSERT_EQ(listener.notices.size(), 2u);
  EXPECT_EQ(listener.notices[1].hasImage, 0);
  EXPECT_EQ(wire[5], 0);
  service.SerializeList(1, &changed);
  EXPECT_FALSE(changed);
  EXPECT_EQ(listener.notices.size(), 2u);

  EXPECT_EQ(service.SerializeList(2, &changed), std::string(4, '\0'));
  EXPECT_EQ(service.SerializeList(9, &changed), "");
}

TEST_F(ShareCatalogueTest, PresenceIsNotRetestedMoreOftenThanTheInterval) {
  Service service;
  service.SetPresenceRetestInterval(std::chrono::hours(1));
  const std::string video = Video("a.mp4");
  service.AddShareRecord(video, 1);
  bool changed = false;
  service.SerializeList(1, &changed);  // the first serialization always tests
  RemoveFile(video);
  EXPECT_EQ(service.SerializeList(1, &changed)[4], 1);
  EXPECT_FALSE(changed);
  service.SetPresenceRetestInterval(std::chrono::milliseconds(0));
  EXPECT_EQ(service.SerializeList(1, &changed)[4], 0);
  EXPECT_TRUE(changed);
}

TEST_F(ShareCatalogueTest, DestructionRewritesRecordFilesWithFreshFlags) {
  const std::string video = Video("a.mp4");
  std::string key;
  {
    Service service;
    service.AddShareRecord(video, 1, &key);
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
