#include "BriselUIFiles/QueueFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "support/Sandbox.h"
#include "support/TestData.h"

namespace brisel {
namespace {

QueueFileEntry Entry(const std::string& name, int type = 3) {
  QueueFileEntry e;
  e.VideoName = name;
  e.VideoPath = "/videos/converted/" + name + ".mp4";
  e.VideoSize = "5242880";
  e.VideoScreenPath = "/prog/file_root/image/0123456789abcdef0123456789abcdef.jpg";
  e.VideoTime = "60000";
  e.VideoWidth = "1920";
  e.VideoHeight = "1080";
  e.VideoConvertType = type;
  return e;
}

TEST(QueueFile, WritesItemsWithTheEightAttributesInOrder) {
  QueueFileEntry e{"a", "/o/a.mp4", "1", "/s.jpg", "2", "3", "4", 3};
  EXPECT_EQ(
      SerializeQueueFile({e, e}),
      "<ConvertList>"
      "<Item0 VideoName=\"a\" VideoPath=\"/o/a.mp4\" VideoSize=\"1\" VideoScreenPath=\"/s.jpg\" "
      "VideoTime=\"2\" VideoWidth=\"3\" VideoHeight=\"4\" VideoConvertType=\"3\"/>"
      "<Item1 VideoName=\"a\" VideoPath=\"/o/a.mp4\" VideoSize=\"1\" VideoScreenPath=\"/s.jpg\" "
      "VideoTime=\"2\" VideoWidth=\"3\" VideoHeight=\"4\" VideoConvertType=\"3\"/>"
      "</ConvertList>");
  EXPECT_EQ(SerializeQueueFile({}), "<ConvertList/>");
}

TEST(QueueFile, RoundTripKeepsEveryText) {
  std::vector<QueueFileEntry> entries = {Entry("测试 视频"), Entry("a \"b\" & <c> 'd'"),
                                         Entry("tab\there"), Entry("bytes \xFF\xC3 not UTF-8"),
                                         Entry("plain", 7)};
  auto back = ParseQueueFile(SerializeQueueFile(entries));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, entries);

  test::Sandbox sandbox;
  ASSERT_TRUE(WriteQueueFile(QueueFilePath(), entries));
  EXPECT_EQ(QueueFilePath(), sandbox.Path("ConvertList.xml"));
  auto read = ReadQueueFile(QueueFilePath());
  ASSERT_TRUE(read);
  EXPECT_EQ(*read, entries);
}

TEST(QueueFile, ReaderTakesEveryElementChildAndOnlyKnownAttributes) {
  auto entries = ParseQueueFile(
      "<ConvertList>\n"
      "  <!-- written by hand -->\n"
      "  <Task VideoName=\"x\" videoname=\"ignored\" Extra=\"1\" VideoConvertType=\"-2\"/>\n"
      "  <?note something?>\n"
      "  stray text\n"
      "  <Item7 VideoPath=\"/p.mp4\" VideoConvertType=\"3abc\"><Child VideoName=\"no\"/></Item7>\n"
      "  <Item8 VideoName=\"y\" VideoConvertType=\"zz\"/>\n"
      "</ConvertList>");
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 3u);
  EXPECT_EQ((*entries)[0].VideoName, "x");
  EXPECT_EQ((*entries)[0].VideoPath, "");
  EXPECT_EQ((*entries)[0].VideoConvertType, -2);
  EXPECT_EQ((*entries)[1].VideoName, "");
  EXPECT_EQ((*entries)[1].VideoPath, "/p.mp4");
  EXPECT_EQ((*entries)[1].VideoConvertType, 3);
  EXPECT_EQ((*entries)[2].VideoConvertType, 0);

  auto empty = ParseQueueFile("<ConvertList/>");
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());

  // Nor does it look at the root's name.
  auto foreign = ParseQueueFile(test::ReadTestData("queue-foreign-root.xml"));
  ASSERT_TRUE(foreign);
  ASSERT_EQ(foreign->size(), 2u);
  EXPECT_EQ((*foreign)[0].VideoName, "a.avi");
  EXPECT_EQ((*foreign)[0].VideoConvertType, 3);
  EXPECT_EQ((*foreign)[1].VideoPath, "/src/b.avi");
}

TEST(QueueFile, ReaderAcceptsDeclarationsAndEncodings) {
  const std::string name = "电影é";
  const std::string body = "<ConvertList><Item0 VideoName=\"" + name + "\"/></ConvertList>";
  const struct {
    const char* what;
    std::string content;
    std::string expected;
  } cases[] = {
      {"no declaration", body, name},
      {"UTF-8 declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body, name},
      {"UTF-8 byte order mark", "\xEF\xBB\xBF" + body, name},
      {"GBK",
       "<?xml version='1.0' encoding='GBK'?><ConvertList><Item0 VideoName=\"" + Utf8ToGbk("电影") +
           "\"/></ConvertList>",
       "电影"},
      {"ISO-8859-1",
       "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
       "<ConvertList><Item0 VideoName=\"\xE9\"/></ConvertList>",
       "é"},
      {"UTF-16 with byte order mark", test::ReadTestData("queue-utf16-with-bom.xml"), name},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto entries = ParseQueueFile(c.content);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_EQ((*entries)[0].VideoName, c.expected);
  }
}

TEST(QueueFile, BrokenOrMissingFilesLoadNothing) {
  const char* broken[] = {
      "",
      "<ConvertList><Item0 VideoName=\"a\">",                     // unclosed
      "<ConvertList><Item0 VideoName=\"a\"/></ConvertList><x/>",  // two roots
      "<ConvertList><Item0 VideoName=\"a/></ConvertList>",        // torn attribute
      "\x01\x02garbage\xFF",
      "<?xml version=\"1.0\" encoding=\"x-no-such-encoding\"?><ConvertList/>",
  };
  for (const char* content : broken) EXPECT_FALSE(ParseQueueFile(content)) << content;

  test::Sandbox sandbox;
  EXPECT_FALSE(ReadQueueFile(sandbox.Path("ConvertList.xml")));
  // A file cut inside its second task: not even the whole first task is taken from it.
  sandbox.WriteFile("ConvertList.xml", test::ReadTestData("queue-torn.xml"));
  EXPECT_FALSE(ReadQueueFile(sandbox.Path("ConvertList.xml")));
}

std::vector<QueueFileEntry> ManyEntries(const std::string& prefix, int count) {
  std::vector<QueueFileEntry> entries;
  for (int i = 0; i < count; ++i) entries.push_back(Entry(prefix + std::to_string(i)));
  return entries;
}

// A writer killed at any moment of a save leaves the old file or the new one, never a torn
// or empty one.
TEST(QueueFile, KilledWriterLeavesAReadableFile) {
  test::Sandbox sandbox;
  const std::string path = QueueFilePath();
  const auto first = ManyEntries("first", 2000), second = ManyEntries("second", 3000);
  ASSERT_TRUE(WriteQueueFile(path, first));
  for (int round = 0; round < 12; ++round) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      for (;;) {
        WriteQueueFile(path, second);
        WriteQueueFile(path, first);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(7 + 13 * round));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    auto read = ReadQueueFile(path);
    ASSERT_TRUE(read) << "round " << round;
    EXPECT_TRUE(*read == first || *read == second) << "round " << round;
  }
}

// A save that cannot be completed (here: the file-size limit stands in for a full disk)
// reports failure and leaves the earlier file as it was.
TEST(QueueFile, FailedWriteKeepsTheEarlierFile) {
  test::Sandbox sandbox;
  const std::string path = QueueFilePath();
  ASSERT_TRUE(WriteQueueFile(path, ManyEntries("old", 3)));
  const std::string before = sandbox.ReadFile("ConvertList.xml");
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(WriteQueueFile(path, ManyEntries("new", 500)) ? 0 : 7);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 7);
  EXPECT_EQ(sandbox.ReadFile("ConvertList.xml"), before);

  EXPECT_FALSE(WriteQueueFile(sandbox.Path("no/such/folder/ConvertList.xml"), {}));
}

}  // namespace
}  // namespace brisel
