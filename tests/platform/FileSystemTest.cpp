#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "platform/FileSystem.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

TEST(FileSystem, PresenceTestCutsPathsAt255Bytes) {
  test::Sandbox box;
  std::string folder = box.Path(std::string(200 - box.Folder().size(), 'd'));
  ASSERT_TRUE(CreateDirectories(folder));
  // The folder itself counts as present, also with a long tail cut away at byte 255.
  EXPECT_TRUE(FileExistsAnsi(folder));
  std::string longer = folder + "/" + std::string(100, 'x');
  EXPECT_FALSE(FileExistsAnsi(longer));
  box.WriteFile(longer.substr(box.Folder().size() + 1, 255 - box.Folder().size() - 1), "x");
  EXPECT_TRUE(FileExistsAnsi(longer)) << "the first 255 bytes name an existing file";
  EXPECT_FALSE(FileExistsAnsi(""));
}

TEST(FileSystem, CreateDirectoriesMakesEveryLevel) {
  test::Sandbox box;
  EXPECT_TRUE(CreateDirectories(box.Path("a/b/c")));
  EXPECT_TRUE(IsDirectory(box.Path("a/b/c")));
  EXPECT_TRUE(CreateDirectories(box.Path("a/b/c"))) << "an existing folder is fine";
  box.WriteFile("file", "x");
  EXPECT_FALSE(CreateDirectories(box.Path("file/sub")));
}

TEST(FileSystem, AtomicWriteReplacesContentAndLeavesNoTemporaryFile) {
  test::Sandbox box;
  std::string path = box.WriteFile("state.xml", "old content");
  ASSERT_TRUE(WriteFileAtomically(path, "new"));
  EXPECT_EQ(box.ReadFile("state.xml"), "new");
  EXPECT_EQ(ListDirectory(box.Folder()).size(), 2u) << "only state.xml and .xdg";
}

TEST(FileSystem, FailedAtomicWriteKeepsTheOldFile) {
  test::Sandbox box;
  std::string path = box.WriteFile("state.xml", "old content");
  {
    test::FileSizeLimit fullDisk(4096);
    EXPECT_FALSE(WriteFileAtomically(path, std::string(100000, 'n')));
  }
  EXPECT_EQ(box.ReadFile("state.xml"), "old content");
  EXPECT_EQ(ListDirectory(box.Folder()).size(), 2u) << "the temporary file is gone";
}

TEST(FileSystem, WriterKilledMidWayLeavesTheOldFileWhole) {
  test::Sandbox box;
  std::string path = box.WriteFile("queue.xml", std::string(1000, 'o'));
  std::string big(64 << 20, 'n');
  for (int attempt = 0; attempt < 3; ++attempt) {
    pid_t child = fork();
    if (child == 0) {
      WriteFileAtomically(path, big);
      _exit(0);
    }
    usleep(2000 + attempt * 3000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::string content = box.ReadFile("queue.xml");
    EXPECT_TRUE(content == std::string(1000, 'o') || content == big)
        << "torn file of " << content.size() << " bytes";
  }
}

TEST(FileSystem, ReadWholeFileHonoursItsBound) {
  test::Sandbox box;
  std::string path = box.WriteFile("r", std::string(100, 'x'));
  EXPECT_EQ(ReadWholeFile(path, 100).value_or(""), std::string(100, 'x'));
  EXPECT_FALSE(ReadWholeFile(path, 99).has_value());
  EXPECT_FALSE(ReadWholeFile(box.Path("missing")).has_value());
}

TEST(FileSystem, PathParts) {
  EXPECT_EQ(DirName("/a/b/c.mp4"), "/a/b");
  EXPECT_EQ(BaseName("/a/b/c.mp4"), "c.mp4");
  EXPECT_EQ(DirName("c.mp4"), "");
  EXPECT_EQ(BaseName("c.mp4"), "c.mp4");
  EXPECT_EQ(DirName("/c"), "/");
}

}  // namespace
}  // namespace brisel
