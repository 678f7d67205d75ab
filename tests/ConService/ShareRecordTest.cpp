#include "ConService/ShareRecord.h"

#include <gtest/gtest.h>

#include <string>

#include "support/TestData.h"

namespace brisel {
namespace {

std::string Le16(std::size_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}

// A record file built by hand from the documented layout.
std::string HandMadeRecordFile(char type, char video, char image, const std::string& name,
                               const std::string& key, const std::string& path) {
  return std::string("qmtk") + type + video + image + Le16(name.size()) + name + Le16(key.size()) +
         key + Le16(path.size()) + path;
}

TEST(ShareRecordTest, KeyIsLowercaseMd5OfThePathBytes) {
  EXPECT_EQ(ShareRecord::MakeKey("C:/v/a.mp4"), "89e165bbd7320ccbc43e4675e0d38de8");
  EXPECT_EQ(ShareRecord::MakeKey("C:\\v\\a.mp4"), "46c13a5b5f4e2bf2a44b0a71aee41772");
}

TEST(ShareRecordTest, RecordFileAndListEntryLayouts) {
  ShareRecord record;
  record.type = SHARE_LIST_CONVERTED;
  record.hasVideo = 1;
  record.hasImage = 0;
  record.name = "a.mp4";
  record.path = "C:/v/a.mp4";
  record.key = ShareRecord::MakeKey(record.path);

  std::string file = record.RecordFileBytes();
  EXPECT_EQ(file, HandMadeRecordFile(2, 1, 0, "a.mp4", record.key, "C:/v/a.mp4"));
  EXPECT_EQ(file.size(), 45u + 5 + 10);
  EXPECT_EQ(file.substr(7, 2), std::string("\x05\x00", 2));
  EXPECT_EQ(file.substr(14, 2), std::string("\x20\x00", 2));

  record.BuildListEntry();
  EXPECT_EQ(record.listEntry,
            std::string("\x01\x00", 2) + Le16(5) + "a.mp4" + Le16(32) + record.key);
  EXPECT_EQ(record.listEntry.size(), record.ListEntrySize());
  EXPECT_EQ(record.ListEntrySize(), 38u + 5);
}

TEST(ShareRecordTest, ParseReadsWhatWasWrittenAndIgnoresTheMagic) {
  const std::string key(32, 'a');
  ShareRecord record;
  ASSERT_TRUE(
      ShareRecord::ParseRecordFile(HandMadeRecordFile(1, 1, 1, "n.mkv", key, "/v/n.mkv"), &record));
  EXPECT_EQ(record.type, 1);
  EXPECT_EQ(record.hasVideo, 1);
  EXPECT_EQ(record.hasImage, 1);
  EXPECT_EQ(record.name, "n.mkv");
  EXPECT_EQ(record.key, key);
  EXPECT_EQ(record.path, "/v/n.mkv");

  std::string noMagic = HandMadeRecordFile(2, 0, 0, "n.mkv", key, "/v/n.mkv");
  noMagic.replace(0, 4, "xxxx");
  ASSERT_TRUE(ShareRecord::ParseRecordFile(noMagic, &record));
  EXPECT_EQ(record.type, 2);
  ShareRecord video;
  EXPECT_FALSE(ShareRecord::ParseVideoRecord(noMagic, &video));
  EXPECT_FALSE(
      ShareRecord::ParseVideoRecord(HandMadeRecordFile(2, 0, 0, "n.mkv", key, ""), &video));
  ASSERT_TRUE(
      ShareRecord::ParseVideoRecord(HandMadeRecordFile(2, 0, 0, "n.mkv", key, "/v/n.mkv"), &video));
  EXPECT_EQ(video.path, "/v/n.mkv");
  EXPECT_EQ(video.type, 2);
}

TEST(ShareRecordTest, FilesThatDoNotFitTheRecordAreRefused) {
  const std::string key(32, 'b');
  const std::string good = HandMadeRecordFile(1, 1, 0, "a.mp4", key, "/v/a.mp4");
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"header only", good.substr(0, 7)},
      {"cut inside the name", good.substr(0, 11)},
      {"cut inside the path", good.substr(0, good.size() - 1)},
      {"name of 512 bytes", HandMadeRecordFile(1, 1, 0, std::string(512, 'n'), key, "/v/a")},
      {"key of 64 bytes", HandMadeRecordFile(1, 1, 0, "a", std::string(64, 'k'), "/v/a")},
      {"path of 1024 bytes", HandMadeRecordFile(1, 1, 0, "a", key, "/" + std::string(1023, 'p'))},
      {"longer than 4096 bytes", good + std::string(4097 - good.size(), '\0')},
      {"name length past the end", std::string("qmtk\x01\x01\x00\xff\xff", 9)},
      {"a record file torn inside its path", test::ReadTestData("record-torn-inside-path")},
  };
  for (const Case& c : cases) {
    ShareRecord record;
    record.name = "untouched";
    EXPECT_FALSE(ShareRecord::ParseRecordFile(c.bytes, &record)) << c.what;
    EXPECT_EQ(record.name, "untouched") << c.what;
  }
  ShareRecord record;
  EXPECT_TRUE(ShareRecord::ParseRecordFile(good + "trailing", &record));
  EXPECT_TRUE(ShareRecord::ParseRecordFile(
      HandMadeRecordFile(1, 1, 0, std::string(511, 'n'), key, "/" + std::string(1022, 'p')),
      &record));
}

}  // namespace
}  // namespace brisel
