#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "engine/base/FileDates.h"
#include "tests/TestSupport.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

bool SetMtime(const std::string& path, time_t sec, long nsec) {
  struct timespec times[2] = {{sec, nsec}, {sec, nsec}};
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

TEST(FileDates, RightFileOlderComparesExactly) {
  TempDir dir;
  std::string cache = dir.File("a.ipk"), source = dir.File("a.mp3");
  ASSERT_TRUE(WriteFile(source, "s"));
  ASSERT_TRUE(WriteFile(cache, "c"));
  EXPECT_EQ(IsRightFileOlder(dir.File("none").c_str(), source.c_str()), 0);
  EXPECT_EQ(IsRightFileOlder(cache.c_str(), dir.File("none").c_str()), 1);
  EXPECT_EQ(IsRightFileOlder(dir.File("none").c_str(), dir.File("none2").c_str()), 0);

  time_t future = time(nullptr) + 100000;
  ASSERT_TRUE(SetMtime(cache, future, 500));
  ASSERT_TRUE(SetMtime(source, future, 499));  // older by one nanosecond
  EXPECT_EQ(IsRightFileOlder(cache.c_str(), source.c_str()), 1);
  ASSERT_TRUE(SetMtime(source, future, 500));  // equal: stale
  EXPECT_EQ(IsRightFileOlder(cache.c_str(), source.c_str()), 0);
  ASSERT_TRUE(SetMtime(source, future + 1, 0));
  EXPECT_EQ(IsRightFileOlder(cache.c_str(), source.c_str()), 0);

  // A source put back with an old modification time (cp -p) was still
  // changed after the cache was written: its change time makes the cache stale.
  time_t now = time(nullptr);
  ASSERT_TRUE(SetMtime(cache, now - 10, 0));
  ASSERT_TRUE(SetMtime(source, now - 1000, 0));
  EXPECT_EQ(IsRightFileOlder(cache.c_str(), source.c_str()), 0);
}

TEST(FileDates, ModificationDateInLocalTime) {
  TempDir dir;
  std::string f = dir.File("f");
  ASSERT_TRUE(WriteFile(f, "x"));
  time_t when = 1700000000;
  ASSERT_TRUE(SetMtime(f, when, 0));
  struct tm got = {}, expected = {};
  ASSERT_EQ(GetLastModifiedDate(f.c_str(), got), 1);
  localtime_r(&when, &expected);
  EXPECT_EQ(got.tm_year, expected.tm_year);
  EXPECT_EQ(got.tm_yday, expected.tm_yday);
  EXPECT_EQ(got.tm_hour, expected.tm_hour);
  EXPECT_EQ(got.tm_min, expected.tm_min);
  EXPECT_EQ(GetLastModifiedDate(dir.File("none").c_str(), got), 0);
}

TEST(FileDates, CurrentTimeString) {
  char out[19];
  GetCurrentTimeString(out);
  EXPECT_TRUE(std::regex_match(out, std::regex(R"(\d\d/\d\d/\d\d  \d\d:\d\d:\d\d)"))) << out;
}

}  // namespace
