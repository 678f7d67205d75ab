#include "BriselUIFiles/VideoRelationFile.h"

#include <gtest/gtest.h>

#include "platform/FileSystem.h"
#include "support/Sandbox.h"
#include "support/TestData.h"

namespace brisel {
namespace {

TEST(VideoRelationFile, RoundTripOfItemsWithoutDeclaration) {
  test::Sandbox box;
  const std::vector<VIDEO_RELATION_ST> relations = {
      {"/home/u/视频/a b.avi", "/home/u/out/a b.mp4"},
      {"/v/\"q\" & <x>.mkv", "/o/\"q\" & <x>.mp4"},
  };
  const std::string file = RelationFilePath();
  EXPECT_EQ(file, box.Path("VideoRelation.xml"));
  ASSERT_TRUE(WriteRelationFile(file, relations));
  const std::string content = box.ReadFile("VideoRelation.xml");
  EXPECT_EQ(content.rfind("<VideoRelation><Item0 VideoSrcPath=\"/home/u/视频/a b.avi\" "
                          "VideoTargetPath=\"/home/u/out/a b.mp4\"/><Item1 ",
                          0),
            0u)
      << content;
  EXPECT_EQ(ReadRelationFile(file), relations);
}

TEST(VideoRelationFile, ReadsLeniently) {
  const struct {
    const char* what;
    std::string content;
    std::vector<VIDEO_RELATION_ST> expected;
  } cases[] = {
      {"a child without VideoTargetPath gives no relation",
       "<VideoRelation><Item0 VideoSrcPath=\"/a.avi\"/>"
       "<Item1 VideoSrcPath=\"/b.avi\" VideoTargetPath=\"/b.mp4\"/></VideoRelation>",
       {{"/b.avi", "/b.mp4"}}},
      {"an empty attribute gives no relation",
       "<VideoRelation><Item0 VideoSrcPath=\"\" VideoTargetPath=\"/b.mp4\"/></VideoRelation>",
       {}},
      {"any element name, other attributes ignored, names matched exactly",
       "<VideoRelation><Pair X=\"1\" VideoTargetPath=\"/t.mp4\" VideoSrcPath=\"/s.avi\"/>"
       "<Item1 videosrcpath=\"/c.avi\" VideoTargetPath=\"/c.mp4\"/></VideoRelation>",
       {{"/s.avi", "/t.mp4"}}},
      {"comments and text are not children",
       "<VideoRelation><!-- c -->text<Item0 VideoSrcPath=\"/s\" VideoTargetPath=\"/t\"/>"
       "</VideoRelation>",
       {{"/s", "/t"}}},
      {"a declaration naming another encoding",
       test::ReadTestData("relation-gb2312.xml"),
       {{"/视.avi", "/视.mp4"}}},
      {"malformed", "<VideoRelation><Item0 VideoSrcPath=\"/s\" VideoTargetPath=\"/t\">", {}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseRelationFile(c.content), c.expected) << c.what;
}

TEST(VideoRelationFile, AMissingFileIsEmptyAndAFailedWriteKeepsTheOldFile) {
  test::Sandbox box;
  const std::string file = RelationFilePath();
  EXPECT_TRUE(ReadRelationFile(file).empty());
  ASSERT_TRUE(WriteRelationFile(file, {{"/s.avi", "/t.mp4"}}));
  const std::string before = box.ReadFile("VideoRelation.xml");
  std::vector<VIDEO_RELATION_ST> many(200, {std::string(100, 's'), std::string(100, 't')});
  {
    test::FileSizeLimit limit(before.size() + 10);
    EXPECT_FALSE(WriteRelationFile(file, many));
  }
  EXPECT_EQ(box.ReadFile("VideoRelation.xml"), before);
}

}  // namespace
}  // namespace brisel
