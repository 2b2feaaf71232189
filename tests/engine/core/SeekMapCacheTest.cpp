// The seek map of a compressed source is saved beside its peak cache (".isk")
// and read back on the next load instead of decoding the file again; a cache
// that is stale, cut short, of another version, made for another file or
// holding points outside the data is rebuilt.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/base/EngineGlobals.h"
#include "engine/base/TempPaths.h"
#include "engine/core/InitialLoad.h"
#include "engine/media/SeekMap.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/codecs/mpeg/MpegTestStreams.h"

using testsupport::TempDir;

namespace {

struct Scan {
  int ok = 0;
  int calls = 0;  // callback calls: 2 without a scan (before and after)
  std::vector<CSeekMap::Point> points;
};

Scan LoadWithSeekMap(const std::string& path) {
  Scan s;
  CFileObj file;
  if (!file.Open(path, 0, 0)) return s;
  CInitialLoad loader;
  auto count = [](unsigned long, void* user) -> int {
    ++*static_cast<int*>(user);
    return 1;
  };
  s.ok = loader.DoInitialLoad(&file, 1, 0, 0, 0, 20, count, &s.calls);
  if (CSeekMap* map = loader.GetSeekMap())
    for (int i = 0; i < map->Count(); ++i) s.points.push_back(map->At(i));
  return s;
}

bool SamePoints(const std::vector<CSeekMap::Point>& a, const std::vector<CSeekMap::Point>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].decoded != b[i].decoded || a[i].source != b[i].source) return false;
  return true;
}

}  // namespace

TEST(SeekMapCache, SavedByTheScanAndTakenByTheNextLoadUnlessItCannotBeTrusted) {
  TempDir dir;
  SetTempSndPath(dir.File("cache").c_str());
  const std::string path = dir.File("song.mp3");
  const std::string stream = mpegtest::ReadStreamFile("l3-sin1k0db.bit");
  ASSERT_FALSE(stream.empty());
  ASSERT_TRUE(testsupport::WriteFile(path, stream));
  const std::string cache = CInitialLoad::CacheFilePath(path, ".isk");

  const Scan first = LoadWithSeekMap(path);
  ASSERT_EQ(first.ok, 1);
  ASSERT_GT(first.points.size(), 20u);
  EXPECT_GT(first.calls, 2);
  const std::string saved = testsupport::ReadFile(cache);
  EXPECT_EQ(saved.size(), 40 + 16 * first.points.size());

  Scan again = LoadWithSeekMap(path);
  EXPECT_EQ(again.calls, 2) << "the cached map stands in for the scan";
  EXPECT_TRUE(SamePoints(again.points, first.points));

  // Each spoiled cache is passed over, and the scan writes a good one again.
  auto spoiled = [&](const std::string& bytes, const char* what) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(testsupport::WriteFile(cache, bytes));
    const Scan s = LoadWithSeekMap(path);
    EXPECT_EQ(s.ok, 1);
    EXPECT_GT(s.calls, 2);
    EXPECT_TRUE(SamePoints(s.points, first.points));
    EXPECT_EQ(testsupport::ReadFile(cache), saved);
  };
  spoiled(saved.substr(0, saved.size() - 5), "cut short");
  spoiled(saved.substr(0, 40), "points missing");
  std::string other = saved;
  other[4] = 2;
  spoiled(other, "another version");
  other = saved;
  other[8] ^= 1;
  spoiled(other, "another file size");
  other = saved;
  other[16] ^= 1;
  spoiled(other, "another data start");
  other = saved;
  other[40 + 16 * 3 + 8 + 7] = 0x7F;
  spoiled(other, "a point past the data");
  other = saved;
  for (size_t i = 0; i < 16; ++i) std::swap(other[40 + 16 * 5 + i], other[40 + 16 * 6 + i]);
  spoiled(other, "points out of order");
  spoiled("", "empty");

  // A source written after its cache makes the cache stale.
  ASSERT_TRUE(testsupport::WriteFile(path, stream));
  Scan stale = LoadWithSeekMap(path);
  EXPECT_GT(stale.calls, 2);
  EXPECT_TRUE(SamePoints(stale.points, first.points));
  SetTempSndPath(nullptr);
}

// A lame file's map from a gapless decode holds other positions than one from
// a full decode: each is cached for its own decode and never stands in for
// the other.
TEST(SeekMapCache, GaplessAndFullDecodesKeepMapsOfTheirOwn) {
  ASSERT_EQ(testsupport::MissingPrograms({"sox", "lame"}), "");
  TempDir dir;
  SetTempSndPath(dir.File("cache").c_str());
  const std::string wav = dir.File("song.wav"), path = dir.File("song.mp3");
  ASSERT_EQ(
      testsupport::Run("sox -n -r 44100 -c 2 -b 16 '" + wav + "' synth 2.37 sine 440").exitCode, 0);
  ASSERT_EQ(testsupport::Run("lame --quiet -b 128 '" + wav + "' '" + path + "'").exitCode, 0);

  const Scan gapless = LoadWithSeekMap(path);
  ASSERT_EQ(gapless.ok, 1);
  SetGaplessMP3Decoding(0);
  const Scan full = LoadWithSeekMap(path);
  const Scan fullAgain = LoadWithSeekMap(path);
  SetGaplessMP3Decoding(1);
  const Scan gaplessAgain = LoadWithSeekMap(path);
  ASSERT_EQ(full.ok, 1);
  EXPECT_GT(full.calls, 2) << "the gapless map does not stand in for a full decode";
  EXPECT_FALSE(SamePoints(full.points, gapless.points));
  EXPECT_EQ(fullAgain.calls, 2);
  EXPECT_TRUE(SamePoints(fullAgain.points, full.points));
  EXPECT_EQ(gaplessAgain.calls, 2);
  EXPECT_TRUE(SamePoints(gaplessAgain.points, gapless.points));
}
