#include "BriselUIFiles/ConversionOutput.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "platform/FileSystem.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

class ConversionOutputTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateDirectories(sandbox.Path("out"))); }
  std::vector<std::string> OutFolder() const {
    std::vector<std::string> names = ListDirectory(sandbox.Path("out"));
    std::sort(names.begin(), names.end());
    return names;
  }

  test::Sandbox sandbox;
};

TEST_F(ConversionOutputTest, TheWorkingFileBecomesTheOutputOnlyWhenCommitted) {
  const std::string output = sandbox.Path("out/clip.mp4");
  std::string error;
  auto claim = ConversionOutput::Claim(output, &error);
  ASSERT_TRUE(claim) << error;
  EXPECT_EQ(claim->OutputPath(), output);
  const std::string working = claim->WorkingPath();
  EXPECT_EQ(DirName(working), sandbox.Path("out"));
  EXPECT_FALSE(PathExists(working));  // the converter refuses to write over a file
  EXPECT_EQ(ListDirectory(ConversionOutput::ClaimFolder()).size(), 1u);

  ASSERT_TRUE(WriteFileAtomically(working, "converted"));
  EXPECT_FALSE(PathExists(output));
  ASSERT_TRUE(claim->Commit(&error)) << error;
  EXPECT_EQ(sandbox.ReadFile("out/clip.mp4"), "converted");
  EXPECT_EQ(OutFolder(), std::vector<std::string>{"clip.mp4"});
  EXPECT_TRUE(ListDirectory(ConversionOutput::ClaimFolder()).empty());
}

TEST_F(ConversionOutputTest, ACommitNeverReplacesAFileAndADiscardLeavesNothing) {
  const std::string output = sandbox.Path("out/clip.mp4");
  std::string error;
  auto claim = ConversionOutput::Claim(output, &error);
  ASSERT_TRUE(claim);
  ASSERT_TRUE(WriteFileAtomically(claim->WorkingPath(), "converted"));
  sandbox.WriteFile("out/clip.mp4", "appeared meanwhile");
  EXPECT_FALSE(claim->Commit(&error));
  EXPECT_NE(error.find("File exists"), std::string::npos) << error;
  EXPECT_EQ(sandbox.ReadFile("out/clip.mp4"), "appeared meanwhile");
  EXPECT_EQ(OutFolder(), std::vector<std::string>{"clip.mp4"});

  for (bool written : {false, true}) {
    auto other = ConversionOutput::Claim(sandbox.Path("out/other.mp4"), &error);
    ASSERT_TRUE(other);
    if (written) {
      ASSERT_TRUE(WriteFileAtomically(other->WorkingPath(), "half"));
    }
    other.reset();  // neither committed nor discarded: the owner's end discards
    EXPECT_EQ(OutFolder(), std::vector<std::string>{"clip.mp4"});
  }
  EXPECT_TRUE(ListDirectory(ConversionOutput::ClaimFolder()).empty());
}

// A process killed while its converter wrote leaves a working file and its claim. The next
// run removes them, but never the working file of a live process, nor a file it did not make.
TEST_F(ConversionOutputTest, WhatAKilledRunLeftIsRemovedAndNothingElse) {
  int report[2];
  ASSERT_EQ(pipe(report), 0);
  const pid_t killed = fork();
  ASSERT_GE(killed, 0);
  if (killed == 0) {
    auto claim = ConversionOutput::Claim(sandbox.Path("out/killed.mp4"), nullptr);
    if (!claim || !WriteFileAtomically(claim->WorkingPath(), "half")) _exit(1);
    if (write(report[1], "x", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  close(report[1]);
  char ready;
  ASSERT_EQ(read(report[0], &ready, 1), 1);
  close(report[0]);
  kill(killed, SIGKILL);
  waitpid(killed, nullptr, 0);

  std::string error;
  auto live = ConversionOutput::Claim(sandbox.Path("out/live.mp4"), &error);
  ASSERT_TRUE(live);
  ASSERT_TRUE(WriteFileAtomically(live->WorkingPath(), "being written"));
  const std::string usersOwn = sandbox.WriteFile("out/.brisel-part-abcdefgh.mp4", "the user's");
  ASSERT_EQ(OutFolder().size(), 3u);

  EXPECT_EQ(ConversionOutput::RemoveAbandoned(), 1);
  EXPECT_TRUE(PathExists(live->WorkingPath()));
  EXPECT_TRUE(PathExists(usersOwn));
  EXPECT_EQ(OutFolder().size(), 2u);
  EXPECT_EQ(ListDirectory(ConversionOutput::ClaimFolder()).size(), 1u);  // the live one
  EXPECT_EQ(ConversionOutput::RemoveAbandoned(), 0);
  ASSERT_TRUE(live->Commit(&error)) << error;
  EXPECT_EQ(sandbox.ReadFile("out/live.mp4"), "being written");
}

}  // namespace
}  // namespace brisel
