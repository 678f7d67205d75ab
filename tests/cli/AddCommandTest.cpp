#include <gtest/gtest.h>

#include <sstream>

#include "BriselUIFiles/JpegImage.h"
#include "ConService/ShareRecord.h"
#include "platform/FileSystem.h"
#include "support/LavfiClip.h"
#include "support/ProcessHelpers.h"
#include "support/Sandbox.h"

namespace brisel {
namespace {

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, '\t');) fields.push_back(f);
  return fields;
}

std::string Clip(const test::Sandbox& box, const std::string& relative, double seconds) {
  std::string path = box.Path(relative);
  CreateDirectories(DirName(path));
  test::ClipSpec spec;
  spec.width = 160;
  spec.height = 120;
  spec.seconds = seconds;
  EXPECT_TRUE(test::MakeLavfiClip(path, spec));
  return path;
}

TEST(BriselvrAdd, PrintsKeyValuesAndThumbnailOfEachFile) {
  test::Sandbox box;
  const std::string longer = Clip(box, "clips/测试.mp4", 16);
  const std::string shorter = Clip(box, "clips/short.mkv", 5);
  ProcessResult r = test::RunBriselvr(box.Folder(), {"add", longer, shorter}, 60000);
  ASSERT_EQ(r.exitCode, 0) << r.output;
  std::istringstream lines(r.output);
  std::string first, second;
  std::getline(lines, first);
  std::getline(lines, second);

  std::vector<std::string> f = Fields(first);
  ASSERT_EQ(f.size(), 7u) << first;
  EXPECT_EQ(f[0], ShareRecord::MakeKey(longer));
  EXPECT_EQ(f[1], longer);
  EXPECT_NEAR(std::stoi(f[2]), 16000, 100);
  EXPECT_EQ(f[3], std::to_string(*FileSize(longer)));
  EXPECT_EQ(f[4], "160");
  EXPECT_EQ(f[5], "120");
  EXPECT_EQ(f[6], box.Path("file_root/image/" + f[0] + ".jpg"));
  ImageSize size = DecodeJpegSize(f[6]);
  EXPECT_EQ(size.width, 128);
  EXPECT_EQ(size.height, 72);

  std::vector<std::string> s = Fields(second);
  ASSERT_EQ(s.size(), 7u) << second;
  EXPECT_EQ(s[1], shorter);
  EXPECT_EQ(s[6], "-");
  EXPECT_TRUE(PathExists(box.Path("file_root/" + s[0])));

  ProcessResult converted = test::RunBriselvr(
      box.Folder(), {"add", "--converted", box.WriteFile("out/c.mp4", "x")}, 60000);
  EXPECT_EQ(converted.exitCode, 0) << converted.output;
  EXPECT_EQ(Fields(converted.output).size(), 7u) << converted.output;
}

TEST(BriselvrAdd, RefusedFilesAreNamedOnStandardErrorAndExitWithOne) {
  test::Sandbox box;
  const std::string ok = box.WriteFile("clips/ok.mp4", "x");
  ASSERT_EQ(test::RunBriselvr(box.Folder(), {"add", ok}).exitCode, 0);
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"add", ok}, "already in the catalogue"},
      {{"add", box.Path("clips/none.mp4")}, "not a file"},
      {{"add", box.Path("clips")}, "not a file"},
      {{"add", box.WriteFile("clips/" + std::string(61, 'n') + ".mp4", "x")},
       "longer than 60 bytes"},
  };
  for (const auto& c : cases) {
    ProcessResult r = test::RunBriselvr(box.Folder(), c.args);
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
  }
  EXPECT_EQ(test::RunBriselvr(box.Folder(), {"add"}).exitCode, 2);
  EXPECT_EQ(test::RunBriselvr(box.Folder(), {"add", "--bogus", ok}).exitCode, 2);
}

}  // namespace
}  // namespace brisel
