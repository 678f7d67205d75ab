#include "ConService/DlnaContentDirectory.h"

#include <gtest/gtest.h>

#include "support/UpnpClient.h"

namespace brisel {
namespace {

const std::string kKeyA(32, 'a');
const std::string kKeyB(32, 'b');
const std::string kKeyC(32, 'c');

DlnaVideo Video(const std::string& key, const std::string& name, bool thumbnail = false) {
  DlnaVideo video;
  video.key = key;
  video.name = name;
  video.path = "/videos/" + name;
  video.urlPath = "/" + key;
  video.thumbnailUrlPath = "/image/" + key + ".jpg";
  video.hasThumbnail = thumbnail;
  video.facts.exists = true;
  video.facts.size = 123456;
  video.facts.durationMs = 17000;
  video.facts.width = 1920;
  video.facts.height = 1080;
  return video;
}

// Two ordinary videos (the first shared twice) and one converted video.
DlnaCatalogue Catalogue() {
  DlnaCatalogue catalogue;
  catalogue.mediaBaseUrl = "http://10.77.0.1:11717";
  catalogue.systemUpdateId = 40;
  catalogue.containers = {
      {"1",
       "视频",
       38,
       {Video(kKeyA, "a.mp4", true), Video(kKeyB, "b.mkv"), Video(kKeyA, "a.mp4", true)}},
      {"2", "已转码视频", 39, {Video(kKeyC, "c.mp4")}},
  };
  return catalogue;
}

struct BrowseCase {
  std::string objectId;
  std::string flag;
  std::uint32_t start;
  std::uint32_t count;
  int error;
  std::vector<std::string> ids;  // of the objects returned, in order
  std::uint32_t total;
  std::uint32_t updateId;
};

TEST(DlnaContentDirectoryTest, BrowseAnswersEachObjectWithCountsAndPaging) {
  const std::string a1 = "1$" + kKeyA, b1 = "1$" + kKeyB, c2 = "2$" + kKeyC;
  const BrowseCase cases[] = {
      {"0", "BrowseMetadata", 0, 0, 0, {"0"}, 1, 40},
      {"0", "BrowseDirectChildren", 0, 0, 0, {"1", "2"}, 2, 40},
      {"0", "BrowseDirectChildren", 1, 5, 0, {"2"}, 2, 40},
      {"1", "BrowseMetadata", 0, 0, 0, {"1"}, 1, 38},
      {"1", "BrowseDirectChildren", 0, 0, 0, {a1, b1}, 2, 38},  // the twin is listed once
      {"1", "BrowseDirectChildren", 1, 1, 0, {b1}, 2, 38},
      {"1", "BrowseDirectChildren", 0, 1, 0, {a1}, 2, 38},
      {"1", "BrowseDirectChildren", 7, 0, 0, {}, 2, 38},
      {"1", "BrowseDirectChildren", 4294967295u, 4294967295u, 0, {}, 2, 38},
      {"2", "BrowseDirectChildren", 0, 0, 0, {c2}, 1, 39},
      {a1, "BrowseMetadata", 0, 0, 0, {a1}, 1, 40},
      {a1, "BrowseDirectChildren", 0, 0, 0, {}, 0, 40},  // an item has no children
      {"2$" + kKeyA, "BrowseMetadata", 0, 0, kUpnpErrorNoSuchObject, {}, 0, 0},
      {"1$", "BrowseMetadata", 0, 0, kUpnpErrorNoSuchObject, {}, 0, 0},
      {"3", "BrowseDirectChildren", 0, 0, kUpnpErrorNoSuchObject, {}, 0, 0},
      {"", "BrowseMetadata", 0, 0, kUpnpErrorNoSuchObject, {}, 0, 0},
      {"0", "browsemetadata", 0, 0, kUpnpErrorInvalidArgs, {}, 0, 0},
      {"0", "", 0, 0, kUpnpErrorInvalidArgs, {}, 0, 0},
  };
  const DlnaCatalogue catalogue = Catalogue();
  for (const BrowseCase& c : cases) {
    SCOPED_TRACE(c.objectId + " " + c.flag + " " + std::to_string(c.start) + "+" +
                 std::to_string(c.count));
    DlnaBrowseResult result = DlnaBrowse(catalogue, {c.objectId, c.flag, "*", c.start, c.count});
    EXPECT_EQ(result.errorCode, c.error);
    if (c.error != 0) continue;
    auto objects = test::ParseDidl(result.result);
    ASSERT_TRUE(objects) << result.result;
    std::vector<std::string> ids;
    for (const auto& object : *objects) ids.push_back(object.id);
    EXPECT_EQ(ids, c.ids);
    EXPECT_EQ(result.numberReturned, c.ids.size());
    EXPECT_EQ(result.totalMatches, c.total);
    EXPECT_EQ(result.updateId, c.updateId);
  }
}

TEST(DlnaContentDirectoryTest, ContainersAndItemsCarryWhatPlayersShow) {
  const DlnaCatalogue catalogue = Catalogue();
  auto root =
      test::ParseDidl(DlnaBrowse(catalogue, {"0", "BrowseDirectChildren", "*", 0, 0}).result);
  ASSERT_TRUE(root);
  ASSERT_EQ(root->size(), 2u);
  EXPECT_TRUE((*root)[0].container);
  EXPECT_EQ((*root)[0].parentId, "0");
  EXPECT_EQ((*root)[0].childCount, "2");
  EXPECT_EQ((*root)[1].childCount, "1");
  EXPECT_EQ((*root)[0].upnpClass, "object.container.storageFolder");
  EXPECT_EQ((*root)[0].title, "视频");
  EXPECT_EQ((*root)[1].title, "已转码视频");

  auto items =
      test::ParseDidl(DlnaBrowse(catalogue, {"1", "BrowseDirectChildren", "*", 0, 0}).result);
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 2u);
  const test::DidlObject& a = (*items)[0];
  EXPECT_FALSE(a.container);
  EXPECT_EQ(a.parentId, "1");
  EXPECT_EQ(a.title, "a.mp4");
  EXPECT_EQ(a.upnpClass, "object.item.videoItem");
  EXPECT_EQ(a.resUrl, "http://10.77.0.1:11717/" + kKeyA);
  EXPECT_EQ(a.resProtocolInfo, "http-get:*:video/mp4:DLNA.ORG_OP=01");
  EXPECT_EQ(a.resSize, "123456");
  EXPECT_EQ(a.resDuration, "0:00:17.000");
  EXPECT_EQ(a.resResolution, "1920x1080");
  EXPECT_EQ(a.albumArtUrl, "http://10.77.0.1:11717/image/" + kKeyA + ".jpg");
  EXPECT_EQ(a.albumArtProfile, "JPEG_TN");
  const test::DidlObject& b = (*items)[1];
  EXPECT_EQ(b.resProtocolInfo, "http-get:*:" + DlnaMimeType("b.mkv") + ":DLNA.ORG_OP=01");
  EXPECT_NE(DlnaMimeType("b.mkv"), "application/octet-stream");
  EXPECT_TRUE(b.albumArtUrl.empty());  // no thumbnail yet
}

// Containers beyond the share lists, with ids of more than one character and videos streamed
// from other paths of the media server, are browsed the same way.
TEST(DlnaContentDirectoryTest, EveryContainerOfTheRootIsBrowsedAlike) {
  DlnaCatalogue catalogue = Catalogue();
  DlnaVideo far = Video(kKeyB, "far.mp4", true);
  far.urlPath = "/other/" + kKeyB;
  far.thumbnailUrlPath = "/other/image/" + kKeyB + ".jpg";
  catalogue.containers.push_back({"17", "a\xff<folder>", 41, {far}});
  catalogue.containers.push_back({"1x", "empty", 42, {}});

  DlnaBrowseResult root = DlnaBrowse(catalogue, {"0", "BrowseDirectChildren", "*", 2, 0});
  EXPECT_EQ(root.totalMatches, 4u);
  auto containers = test::ParseDidl(root.result);
  ASSERT_TRUE(containers);
  ASSERT_EQ(containers->size(), 2u);
  EXPECT_EQ((*containers)[0].id, "17");
  EXPECT_EQ((*containers)[0].title, "a\xef\xbf\xbd<folder>");
  EXPECT_EQ((*containers)[0].childCount, "1");
  EXPECT_EQ((*containers)[1].childCount, "0");
  auto rootItself =
      test::ParseDidl(DlnaBrowse(catalogue, {"0", "BrowseMetadata", "*", 0, 0}).result);
  ASSERT_TRUE(rootItself);
  EXPECT_EQ((*rootItself)[0].childCount, "4");

  DlnaBrowseResult item = DlnaBrowse(catalogue, {"17$" + kKeyB, "BrowseMetadata", "*", 0, 0});
  EXPECT_EQ(item.updateId, 40u);
  auto items = test::ParseDidl(item.result);
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 1u);
  EXPECT_EQ((*items)[0].parentId, "17");
  EXPECT_EQ((*items)[0].resUrl, "http://10.77.0.1:11717/other/" + kKeyB);
  EXPECT_EQ((*items)[0].albumArtUrl, "http://10.77.0.1:11717/other/image/" + kKeyB + ".jpg");
  EXPECT_EQ(DlnaBrowse(catalogue, {"17", "BrowseDirectChildren", "*", 0, 0}).updateId, 41u);
  // "1" is a prefix of "17" and of "1x": each id names its own container only.
  EXPECT_EQ(DlnaBrowse(catalogue, {"1$" + kKeyB, "BrowseMetadata", "*", 0, 0}).errorCode, 0);
  EXPECT_EQ(DlnaBrowse(catalogue, {"1x$" + kKeyB, "BrowseMetadata", "*", 0, 0}).errorCode,
            kUpnpErrorNoSuchObject);
  EXPECT_EQ(DlnaBrowse(catalogue, {"17$" + kKeyA, "BrowseMetadata", "*", 0, 0}).errorCode,
            kUpnpErrorNoSuchObject);
}

TEST(DlnaContentDirectoryTest, UnknownValuesAreLeftOutAndFilterIsHonoured) {
  DlnaCatalogue catalogue = Catalogue();
  catalogue.containers[1].videos[0].facts = MediaFacts{};  // the file is gone
  catalogue.containers[1].videos[0].path = "/videos/c.xyz";
  auto items =
      test::ParseDidl(DlnaBrowse(catalogue, {"2", "BrowseDirectChildren", "", 0, 0}).result);
  ASSERT_TRUE(items);
  ASSERT_EQ(items->size(), 1u);
  EXPECT_EQ((*items)[0].resUrl, "http://10.77.0.1:11717/" + kKeyC);
  EXPECT_EQ((*items)[0].resProtocolInfo, "http-get:*:application/octet-stream:DLNA.ORG_OP=01");
  EXPECT_TRUE((*items)[0].resSize.empty());
  EXPECT_TRUE((*items)[0].resDuration.empty());
  EXPECT_TRUE((*items)[0].resResolution.empty());

  auto titles = test::ParseDidl(
      DlnaBrowse(catalogue, {"1", "BrowseDirectChildren", "dc:title", 0, 0}).result);
  ASSERT_TRUE(titles);
  ASSERT_EQ(titles->size(), 2u);
  EXPECT_EQ((*titles)[0].title, "a.mp4");
  EXPECT_TRUE((*titles)[0].resUrl.empty());
  EXPECT_TRUE((*titles)[0].albumArtUrl.empty());
}

TEST(DlnaContentDirectoryTest, NamesOfAnyBytesBecomeWellFormedTitles) {
  struct NameCase {
    std::string name;
    std::string title;
  };
  const NameCase cases[] = {
      {"<b>&\"'.mp4", "<b>&\"'.mp4"},
      {"视频 一.mp4", "视频 一.mp4"},
      {"bad\xff\xfe.mp4", "bad\xef\xbf\xbd\xef\xbf\xbd.mp4"},  // invalid UTF-8: U+FFFD each
      {"ctl\x01\x1f\t.mp4", "ctl\t.mp4"},                      // XML cannot carry them
      {"]]>.mp4", "]]>.mp4"},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.title);
    DlnaCatalogue catalogue = Catalogue();
    catalogue.containers[1].videos[0].name = c.name;
    auto items =
        test::ParseDidl(DlnaBrowse(catalogue, {"2", "BrowseDirectChildren", "*", 0, 0}).result);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1u);
    EXPECT_EQ((*items)[0].title, c.title);
  }
}

TEST(DlnaContentDirectoryTest, SourceProtocolInfoOffersEveryVideoTypeOnce) {
  const std::string source = DlnaSourceProtocolInfo();
  EXPECT_NE(source.find("http-get:*:video/mp4:DLNA.ORG_OP=01"), std::string::npos);
  EXPECT_NE(source.find("http-get:*:" + DlnaMimeType("x.mkv") + ":"), std::string::npos);
  EXPECT_NE(source.find("image/jpeg"), std::string::npos);
  EXPECT_EQ(source.find("video/mp4"), source.rfind("video/mp4"));
}

}  // namespace
}  // namespace brisel
