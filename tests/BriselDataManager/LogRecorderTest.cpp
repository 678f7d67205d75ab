#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <set>
#include <thread>

#include "BriselDataManager/LogRecorder.h"
#include "platform/FileSystem.h"
#include "platform/TextCodec.h"
#include "support/RecordingTarget.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

// 2016-06-06 09:05:07 local time.
std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

class LogRecorder : public ::testing::Test {
 protected:
  void SetUp() override {
    clock_ = LocalTime(2016, 6, 6, 9, 5, 7);
    SetLogClockForTesting([this] { return clock_.load(); });
  }
  void TearDown() override {
    StopLogThread();
    SetLogClockForTesting(nullptr);
  }
  std::string Read(const std::string& name) { return box_.ReadFile("ZADLog/" + name); }

  test::Sandbox box_;
  std::atomic<std::time_t> clock_;
};

TEST_F(LogRecorder, LinesAreGbkWithCrLfAndTheFirstLineIsTheThreadStart) {
  ASSERT_TRUE(StartLogThread());
  WriteLog("开启服务成功", "BriselVRClientDlg");
  WriteLog("SendRequest::::a|:b", "BriselAssist\\Http\\HttpClient");
  StopLogThread();
  std::string expected =
      "2016-06-06 09:05:07|:(BriselDataManager\\LogRecorder):初始化线程：NetLogMgrThread "
      ".（success）\r\n"
      "2016-06-06 09:05:07|:(BriselVRClientDlg):开启服务成功\r\n"
      "2016-06-06 09:05:07|:(BriselAssist\\Http\\HttpClient):SendRequest::::a|:b\r\n"
      "2016-06-06 09:05:07|:(BriselDataManager\\LogRecorder):NetLogMgrThread "
      "exit！dwThreadRtnCode:0\r\n";
  EXPECT_EQ(Read("2016-06-06.log"), Utf8ToGbk(expected));
}

TEST_F(LogRecorder, LinesQueuedBeforeStartFollowTheFirstLineAndNoneAfterStopIsWritten) {
  WriteLog("early", "T");
  ASSERT_TRUE(StartLogThread());
  StopLogThread();
  EXPECT_FALSE(WriteLog("late", "T"));
  std::string log = GbkToUtf8(Read("2016-06-06.log"));
  EXPECT_LT(log.find("初始化线程"), log.find("(T):early"));
  EXPECT_EQ(log.find("late"), std::string::npos);
}

TEST_F(LogRecorder, MidnightStartsTheNextDaysFile) {
  clock_ = LocalTime(2016, 6, 6, 23, 59, 59);
  WriteLogNow("(T):before");
  clock_ = LocalTime(2016, 6, 7, 0, 0, 0);
  WriteLogNow("(T):after");
  EXPECT_EQ(Read("2016-06-06.log"), "2016-06-06 23:59:59|:(T):before\r\n");
  EXPECT_EQ(Read("2016-06-07.log"), "2016-06-07 00:00:00|:(T):after\r\n");
}

TEST_F(LogRecorder, NamedFilesByKindAndUnknownKindsDiscarded) {
  ASSERT_TRUE(StartLogThread());
  for (int kind : {0, 1, 2, 3, -1}) WriteNamedLog("kind " + std::to_string(kind), kind);
  StopLogThread();
  EXPECT_EQ(Read("20160606_S.log"), "2016-06-06 09:05:07|:kind 1\r\n");
  EXPECT_EQ(Read("MainNet.log"), "2016-06-06 09:05:07|:kind 2\r\n");
  std::set<std::string> files;
  for (const auto& name : ListDirectory(LogFolder())) files.insert(name);
  EXPECT_EQ(files, (std::set<std::string>{"2016-06-06.log", "20160606_S.log", "MainNet.log"}));
}

TEST_F(LogRecorder, QueryReturnsTheLinesInRangeAndAlwaysReplies) {
  box_.WriteFile("ZADLog/MainNet.log", Utf8ToGbk("2016-06-06 09:00:00|:first\r\n"
                                                 "2016-06-06 10:00:00|:second 中文|:more\r\n"
                                                 "no stamp here\r\n"
                                                 "2016-06-06 11:00:00|:third\r\n"));
  ASSERT_TRUE(StartLogThread());
  auto reply = test::RecordingTarget::Create();
  struct Case {
    std::time_t from, to;
    std::vector<std::string> lines;
  } cases[] = {
      {LocalTime(2016, 6, 6, 9, 30, 0),
       LocalTime(2016, 6, 6, 11, 0, 0),
       {"2016-06-06 10:00:00|:second 中文|:more", "2016-06-06 11:00:00|:third"}},
      {LocalTime(2016, 6, 6, 0, 0, 0),
       LocalTime(2016, 6, 6, 9, 0, 0),
       {"2016-06-06 09:00:00|:first"}},
      {LocalTime(2016, 6, 6, 12, 0, 0), LocalTime(2016, 6, 6, 8, 0, 0), {}},  // from > to
  };
  std::size_t replies = 0;
  for (const auto& c : cases) {
    auto query = std::make_shared<LogQuery>();
    query->replyTo = reply;
    query->kind = LOG_KIND_MAIN_NET;
    query->fromTime = c.from;
    query->toTime = c.to;
    query->lines = std::make_shared<std::vector<std::string>>();
    ASSERT_TRUE(PostLogQuery(query));
    ASSERT_TRUE(reply->WaitForCount(++replies));
    EXPECT_EQ(*query->lines, c.lines);
  }
  // A kind without a file still gets its reply.
  auto none = std::make_shared<LogQuery>();
  none->replyTo = reply;
  none->lines = std::make_shared<std::vector<std::string>>();
  PostLogQuery(none);
  ASSERT_TRUE(reply->WaitForCount(++replies));
  EXPECT_TRUE(none->lines->empty());
  EXPECT_EQ(reply->Messages(WM_LOG_QUERY).size(), replies);
}

TEST_F(LogRecorder, ManyThreadsAtOnceLoseNothing) {
  ASSERT_TRUE(StartLogThread());
  constexpr int kThreads = 8, kLines = 500;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t)
    writers.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) WriteLog(std::to_string(t) + ":" + std::to_string(i), "T");
    });
  for (auto& w : writers) w.join();
  StopLogThread();
  std::string log = Read("2016-06-06.log");
  std::set<std::string> seen;
  std::size_t start = 0, end;
  while ((end = log.find("\r\n", start)) != std::string::npos) {
    std::string line = log.substr(start, end - start);
    if (line.find("|:(T):") != std::string::npos) seen.insert(line.substr(line.find("):") + 2));
    start = end + 2;
  }
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kThreads * kLines));
}

TEST_F(LogRecorder, PurgeDeletesLogsCreatedBeforeTheLimit) {
  EXPECT_FALSE(PurgeOldLogs(std::time(nullptr))) << "no log folder yet";
  std::string old = box_.WriteFile("ZADLog/2016-05-01.log", "x");
  box_.WriteFile("ZADLog/keep.txt", "x");
  // The files were created now. A purge 29 days from now keeps them (its limit lies a day
  // before their creation); one 31 days from now deletes the logs among them.
  std::time_t now = std::time(nullptr);
  constexpr std::time_t kDay = 86400, kThirtyDays = 2592000;
  EXPECT_TRUE(PurgeOldLogs(now + 29 * kDay - kThirtyDays));
  EXPECT_TRUE(PathExists(old));
  EXPECT_TRUE(PurgeOldLogs(0));
  EXPECT_TRUE(PathExists(old)) << "a limit of 0 deletes nothing";
  EXPECT_TRUE(PurgeOldLogs(now + 31 * kDay - kThirtyDays));
  EXPECT_FALSE(PathExists(old));
  EXPECT_TRUE(PathExists(box_.Path("ZADLog/keep.txt"))) << "only *.log files";
}

TEST_F(LogRecorder, PurgeGoesByCreationNotModificationTime) {
  std::string path = box_.WriteFile("ZADLog/touched.log", "x");
  struct statx sx {};
  ASSERT_EQ(statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME, &sx), 0);
  if (!(sx.stx_mask & STATX_BTIME)) GTEST_SKIP() << "this file system records no creation time";
  // Modified 40 days ago, created now: kept by a purge of everything older than 30 days.
  struct timespec times[2] = {{std::time(nullptr) - 40 * 86400, 0},
                              {std::time(nullptr) - 40 * 86400, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  EXPECT_TRUE(PurgeOldLogs(std::time(nullptr) - 2592000));
  EXPECT_TRUE(PathExists(path));
}

}  // namespace
}  // namespace brisel
