#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConService/ShareRecord.h"
#include "platform/ChildProcess.h"
#include "support/ProcessHelpers.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

class ShareCommandsTest : public ::testing::Test {
 protected:
  // Runs briselvr on the sandbox folder; stdout and stderr come together.
  ProcessResult Cli(const std::vector<std::string>& args) {
    return test::RunBriselvr(sandbox.Folder(), args, 60000);
  }
  std::string Video(const std::string& name) { return sandbox.WriteFile("videos/" + name, "v"); }

  test::Sandbox sandbox;
};

TEST_F(ShareCommandsTest, ListShowsBothListsAndRemoveTakesRecordsOut) {
  const std::string a = Video("a.mp4"), b = Video("b.mkv");
  ASSERT_EQ(Cli({"add", a}).exitCode, 0);
  ASSERT_EQ(Cli({"add", "--converted", b}).exitCode, 0);
  sandbox.WriteFile("file_root/image/" + ShareRecord::MakeKey(b) + ".jpg", "jpeg");

  ProcessResult listed = Cli({"list"});
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_EQ(listed.output, "1\t1\t0\t" + ShareRecord::MakeKey(a) + "\t" + a + "\n" + "2\t1\t1\t" +
                               ShareRecord::MakeKey(b) + "\t" + b + "\n");

  EXPECT_EQ(Cli({"remove", a}).exitCode, 0);
  ProcessResult missing = Cli({"remove", b});  // b is in list 2
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("not in list 1"), std::string::npos);
  EXPECT_EQ(Cli({"remove", "--converted", sandbox.Path("videos/../videos/./b.mkv")}).exitCode, 0);
  EXPECT_EQ(Cli({"list"}).output, "");
  EXPECT_EQ(Cli({"remove"}).exitCode, 2);
  EXPECT_EQ(Cli({"list", "extra"}).exitCode, 2);
}

TEST_F(ShareCommandsTest, SameFileWrittenAnotherWayIsOneRecordAndAFullListIsReported) {
  std::vector<std::string> args = {"add"};
  for (int i = 0; i < 35; ++i) args.push_back(Video("v" + std::to_string(i) + ".mp4"));
  ASSERT_EQ(Cli(args).exitCode, 0);
  ProcessResult full = Cli({"add", Video("extra.mp4")});
  EXPECT_EQ(full.exitCode, 1);
  EXPECT_NE(full.output.find("is full"), std::string::npos) << full.output;
  ProcessResult again = Cli({"add", "--converted", sandbox.Path("videos/../videos/./v0.mp4")});
  EXPECT_NE(again.output.find("already in the catalogue"), std::string::npos) << again.output;
}

}  // namespace
}  // namespace brisel
