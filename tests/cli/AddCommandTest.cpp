#include <gtest/gtest.h>

#include <sstream>

#include "BriselUIFiles/JpegImage.h"
#include "ConService/ShareRecord.h"
#include "platform/ChildProcess.h"
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

  // Shorter than the grab's usual seek point: the picture comes from inside the clip.
  std::vector<std::string> s = Fields(second);
  ASSERT_EQ(s.size(), 7u) << second;
  EXPECT_EQ(s[1], shorter);
  EXPECT_EQ(s[6], box.Path("file_root/image/" + s[0] + ".jpg"));
  EXPECT_EQ(DecodeJpegSize(s[6]).width, 128);
  EXPECT_TRUE(PathExists(box.Path("file_root/" + s[0])));

  // A file the converter cannot read is added without a picture.
  ProcessResult converted = test::RunBriselvr(
      box.Folder(), {"add", "--converted", box.WriteFile("out/c.mp4", "x")}, 60000);
  EXPECT_EQ(converted.exitCode, 0) << converted.output;
  std::vector<std::string> c = Fields(converted.output.substr(0, converted.output.find('\n')));
  ASSERT_EQ(c.size(), 7u) << converted.output;
  EXPECT_EQ(c[6], "-");
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

// On a full disk the record cannot be written, so nothing is added: the command says why and
// exits with 1, `list` shows nothing and file_root holds nothing of the video (no record, no
// empty thumbnail). The disk is a small tmpfs, filled up, in a mount namespace of its own;
// where such a namespace cannot be made, a file-size limit stands in for the full disk.
TEST(BriselvrAdd, AFullDiskAddsNothingAndSaysSo) {
  test::Sandbox box;
  const std::string clip = Clip(box, "clips/clip.mp4", 16);
  CreateDirectories(box.Path("file_root/image"));
  const char* script =
      "root=\"$0/file_root\"\n"
      "mount -t tmpfs -o size=64k tmpfs \"$root\" && mkdir \"$root/image\" || exit 99\n"
      "head -c 1048576 /dev/zero > \"$root/filler\" 2>/dev/null\n"
      "\"$1\" --program-folder \"$0\" add \"$2\"; echo \"add exit $?\"\n"
      "\"$1\" --program-folder \"$0\" list; echo \"list exit $?\"\n"
      "cd \"$root\" && find . -mindepth 1 | sort\n";
  ProcessResult r = RunProcess({"unshare", "--mount", "sh", "-c", script, box.Folder(),
                                test::BuiltProgram("briselvr"), clip},
                               60000);
  std::string added, listed, left;
  if (r.exitCode == 0) {
    added = r.output.substr(0, r.output.find("list exit"));
    listed = r.output.substr(added.size(), r.output.find("./") - added.size());
    left = r.output.substr(r.output.find("./"));
    EXPECT_NE(added.find("No space left on device"), std::string::npos) << added;
    EXPECT_EQ(left, "./filler\n./image\n");
  } else {
    std::printf("no mount namespace here (%s): a file-size limit fills the disk\n",
                r.output.c_str());
    ProcessResult add, list;
    {
      test::FileSizeLimit fullDisk(16);
      add = test::RunBriselvr(box.Folder(), {"add", clip}, 60000);
    }
    list = test::RunBriselvr(box.Folder(), {"list"});
    added = add.output + "add exit " + std::to_string(add.exitCode) + "\n";
    listed = list.output + "list exit " + std::to_string(list.exitCode) + "\n";
    EXPECT_NE(added.find("File too large"), std::string::npos) << added;
    EXPECT_EQ(ListDirectory(box.Path("file_root")), std::vector<std::string>{"image"});
    EXPECT_TRUE(ListDirectory(box.Path("file_root/image")).empty());
  }
  EXPECT_NE(added.find("briselvr: " + clip + ": cannot write its record file in " +
                       box.Path("file_root") + ": "),
            std::string::npos)
      << added;
  EXPECT_NE(added.find("add exit 1\n"), std::string::npos) << added;
  EXPECT_EQ(added.find(ShareRecord::MakeKey(clip)), std::string::npos) << added;
  EXPECT_EQ(listed, "list exit 0\n");
}

}  // namespace
}  // namespace brisel
