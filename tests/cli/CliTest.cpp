#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/ProcessHelpers.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

TEST(Briselvr, SettingsCreatesTheFileOfAFirstStartAndPrintsItInOrder) {
  test::Sandbox box;
  ProcessResult r = test::RunBriselvr(box.Folder(), {"settings"});
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(r.output,
            "Base-AutoRun=0\nBase-AutoUpdate=1\nExitWndType=1\nComSleep-UnSleep=1\n"
            "DefaultIP=127.0.0.1\nDeleteOrigin=0\nVideoConvert-Ratio=1\nConvertPath=" +
                box.Folder() + "/appData/converted/\nConvertedNotify=1\n");
  EXPECT_TRUE(PathExists(box.Path("config.ini")));
  // Reading again gives the same values and leaves the file as it is.
  std::string before = box.ReadFile("config.ini");
  EXPECT_EQ(test::RunBriselvr(box.Folder(), {"settings"}).output, r.output);
  EXPECT_EQ(box.ReadFile("config.ini"), before);
}

TEST(Briselvr, UsageErrorsExitWithTwo) {
  test::Sandbox box;
  struct Case {
    std::vector<std::string> args;
    int exitCode;
  } cases[] = {
      {{}, 2},
      {{"no-such-command"}, 2},
      {{"--bogus", "settings"}, 2},
      {{"settings", "extra"}, 2},
      {{"--help"}, 0},
      {{"settings", "--help"}, 0},
  };
  for (const auto& c : cases) {
    ProcessResult r = test::RunBriselvr(box.Folder(), c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.output;
  }
  std::vector<std::string> argv = {test::BuiltProgram("briselvr"), "--program-folder"};
  EXPECT_EQ(RunProcess(argv).exitCode, 2);
}

// The build tree is a portable program folder: its skin lies beside the executables.
TEST(Briselvr, FoldersOfTheBuildTreeArePortable) {
  const std::string bin = test::BuiltProgramFolder();
  ProcessResult r = RunProcess({test::BuiltProgram("briselvr"), "folders"});
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(
      r.output.substr(0, r.output.find("converter\t")),
      "layout\tportable\ndata\t" + bin + "\nresources\t" + bin + "\nskin\t" + bin + "/SkinRes\n");
}

}  // namespace
}  // namespace brisel
