#include <gtest/gtest.h>

#include "platform/TextCodec.h"

namespace brisel {
namespace {

TEST(TextCodec, GbkRoundTripOfChineseText) {
  const std::string text = "初始化线程：NetLogMgrThread .（success）";
  std::string gbk = Utf8ToGbk(text);
  // "初" is B3 F5 in GBK; ASCII stays as it is.
  ASSERT_GE(gbk.size(), 2u);
  EXPECT_EQ(static_cast<unsigned char>(gbk[0]), 0xB3);
  EXPECT_EQ(static_cast<unsigned char>(gbk[1]), 0xF5);
  EXPECT_NE(gbk.find("NetLogMgrThread ."), std::string::npos);
  EXPECT_EQ(GbkToUtf8(gbk), text);
}

TEST(TextCodec, CharactersWithoutGbkFormBecomeQuestionMarks) {
  // An emoji and a malformed byte have no GBK form; the neighbours survive.
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                      "b\xFF"
                      "c"),
            "a?b?c");
}

TEST(TextCodec, Utf16LengthAndTruncation) {
  struct Case {
    std::string text;
    std::size_t units;
  } cases[] = {{"", 0}, {"abc", 3}, {"测试", 2}, {"a\xF0\x9F\x98\x80", 3}};
  for (const auto& c : cases) EXPECT_EQ(Utf16Length(c.text), c.units) << c.text;

  EXPECT_EQ(TruncateUtf16("127.0.0.1234567890123", 19), "127.0.0.12345678901");
  EXPECT_EQ(TruncateUtf16("测试视频", 3), "测试视");
  // A surrogate pair is never split.
  EXPECT_EQ(TruncateUtf16("ab\xF0\x9F\x98\x80", 3), "ab");
  EXPECT_EQ(TruncateUtf16("short", 100), "short");
}

TEST(TextCodec, FileNameBytesBecomeValidUtf8) {
  const std::string kReplacement = "\xEF\xBF\xBD";
  struct Case {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"", ""},
      {"视频 a.mp4", "视频 a.mp4"},
      // GBK bytes of "视频": the first pair is no UTF-8, the second happens to be "Ƶ".
      {"\xCA\xD3\xC6\xB5.mp4", kReplacement + kReplacement + "\xC6\xB5.mp4"},
      {"a\xE8\xA7", "a" + kReplacement + kReplacement},              // cut short
      {"\xED\xA0\x80", kReplacement + kReplacement + kReplacement},  // a surrogate
      {"\xC0\xAF", kReplacement + kReplacement},                     // overlong "/"
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToValidUtf8(c.bytes), c.text);
    EXPECT_TRUE(IsValidUtf8(ToValidUtf8(c.bytes)));
  }
}

}  // namespace
}  // namespace brisel
