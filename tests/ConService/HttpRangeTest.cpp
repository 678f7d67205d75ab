#include "ConService/HttpRange.h"

#include <gtest/gtest.h>

namespace brisel {
namespace {

using Kind = HttpRange::Kind;

TEST(HttpRangeTest, DecidesEveryFormOfASingleByteRange) {
  struct Case {
    const char* header;
    std::uint64_t size;
    Kind kind;
    std::uint64_t first, last;
  } cases[] = {
      {"bytes=100-199", 1000, Kind::Partial, 100, 199},
      {"bytes=0-", 1000, Kind::Partial, 0, 999},
      {"bytes=999-999", 1000, Kind::Partial, 999, 999},
      {"bytes=990-5000", 1000, Kind::Partial, 990, 999},  // end cut to the file
      {"bytes=-500", 1000, Kind::Partial, 500, 999},      // the last 500 bytes
      {"bytes=-5000", 1000, Kind::Partial, 0, 999},
      {"Bytes = 5 - 9 ", 1000, Kind::Partial, 5, 9},
      {"bytes=0-99999999999999999999999", 1000, Kind::Partial, 0, 999},
      {"bytes=1000-1001", 1000, Kind::Unsatisfiable, 0, 0},
      {"bytes=1000-", 1000, Kind::Unsatisfiable, 0, 0},
      {"bytes=-0", 1000, Kind::Unsatisfiable, 0, 0},
      {"bytes=99999999999999999999999-", 1000, Kind::Unsatisfiable, 0, 0},
      {"bytes=0-0", 0, Kind::Unsatisfiable, 0, 0},
      {"bytes=-1", 0, Kind::Unsatisfiable, 0, 0},
      {"bytes=200-100", 1000, Kind::Whole, 0, 0},  // not well formed: ignored
      {"bytes=0-1,5-6", 1000, Kind::Whole, 0, 0},  // several ranges: the whole file
      {"bytes=", 1000, Kind::Whole, 0, 0},
      {"bytes=-", 1000, Kind::Whole, 0, 0},
      {"bytes=a-b", 1000, Kind::Whole, 0, 0},
      {"items=0-1", 1000, Kind::Whole, 0, 0},
      {"bytes 0-1", 1000, Kind::Whole, 0, 0},
      {"", 1000, Kind::Whole, 0, 0},
  };
  for (const Case& c : cases) {
    HttpRange range = HttpRange::Decide(c.header, c.size);
    EXPECT_EQ(range.kind, c.kind) << c.header;
    if (c.kind == Kind::Partial) {
      EXPECT_EQ(range.first, c.first) << c.header;
      EXPECT_EQ(range.last, c.last) << c.header;
    }
  }
}

}  // namespace
}  // namespace brisel
