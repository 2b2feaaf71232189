#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/base/AnalysisThresholds.h"
#include "engine/media/MyArrayList.h"
#include "engine/media/Peaks.h"
#include "tests/TestSupport.h"

namespace {

void Stream(CPeaks& peaks, const std::vector<unsigned char>& values, long lengthMs,
            int toFile = 0) {
  for (unsigned char v : values) peaks.StreamPeakFromParse(v, toFile);
  peaks.FinishPeaksFromParse(lengthMs, toFile);
}

TEST(Peaks, TrimPointsAndSilence) {
  SetSilenceThreshold(0);
  CPeaks peaks(10, -1);
  peaks.InitStreamPeaksFromParse(nullptr, nullptr);
  Stream(peaks, {0, 0, 5, 9, 0, 3, 0}, 70);
  EXPECT_EQ(peaks.GetAutoTrimTimeStart(), 20);
  EXPECT_EQ(peaks.GetAutoTrimTimeEnd(), 50);
  EXPECT_FALSE(peaks.IsTotalSilence());
  EXPECT_EQ(peaks.GetNumPeaks(), 7);
  EXPECT_DOUBLE_EQ(peaks.GetFractionalAmps(), 0.0);

  CPeaks silent(10, -1);
  silent.InitStreamPeaksFromParse(nullptr, nullptr);
  Stream(silent, {0, 0, 0, 0}, 40);
  EXPECT_TRUE(silent.IsTotalSilence());
  EXPECT_EQ(silent.GetAutoTrimTimeStart(), 30);
  EXPECT_EQ(silent.GetAutoTrimTimeEnd(), 30);

  SetSilenceThreshold(4);  // peaks at or below the threshold are silence
  CPeaks quiet(10, -1);
  quiet.InitStreamPeaksFromParse(nullptr, nullptr);
  Stream(quiet, {4, 4, 5, 4}, 40);
  EXPECT_EQ(quiet.GetAutoTrimTimeStart(), 20);
  EXPECT_EQ(quiet.GetAutoTrimTimeEnd(), 20);
  SetSilenceThreshold(0);
}

TEST(Peaks, PartialSongByTheLastPeak) {
  SetPartialSongThreshold(12);
  for (auto [last, partial] : {std::pair{13, true}, std::pair{12, false}}) {
    CPeaks peaks(10, -1);
    peaks.InitStreamPeaksFromParse(nullptr, nullptr);
    Stream(peaks, {100, 200, static_cast<unsigned char>(last)}, 30);
    EXPECT_EQ(peaks.IsPartialSong() != 0, partial) << last;
  }
}

TEST(Peaks, BufferSizesAndLongSequencesInMemory) {
  EXPECT_EQ(CPeaks::DetermineBufferSize(10), 1000);
  EXPECT_EQ(CPeaks::DetermineBufferSize(1000), 100);
  EXPECT_EQ(CPeaks::DetermineBufferSize(0), 100);
  // Without a peak file, a sequence longer than the buffer keeps every peak.
  CPeaks peaks(10, -1);
  peaks.InitStreamPeaksFromParse(nullptr, nullptr);
  std::vector<unsigned char> values(2500);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<unsigned char>(i % 200 + 1);
  Stream(peaks, values, 25000);
  ASSERT_EQ(peaks.GetNumPeaks(), 2500);
  EXPECT_EQ(peaks.GetDataPtr()[2499], values[2499]);
  EXPECT_EQ(peaks.GetAutoTrimTimeEnd(), 24990);
}

TEST(Peaks, LongSourceStreamsThroughAPeakFileAndLoadsBack) {
  testsupport::TempDir dir;
  std::string name = dir.File("song.wav");
  CPeaks peaks(10, -1);
  ASSERT_TRUE(peaks.InitPeaksToFile(name.c_str()));
  // 240 s at 10 ms per peak: 24000 peaks through a 1000-peak buffer.
  std::vector<unsigned char> values(24000);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<unsigned char>((i * 31) % 256);
  values.front() = 0;
  values.back() = 40;
  peaks.SetMaxPeaks(1234, 4321);
  Stream(peaks, values, 240000, 1);
  EXPECT_EQ(peaks.IsStreaming(), 1);
  EXPECT_TRUE(peaks.WroteToDisk());
  EXPECT_TRUE(peaks.IsPartialSong());
  std::string file = peaks.PeakFileName();
  EXPECT_EQ(file, name + ".ipk");
  std::string bytes = testsupport::ReadFile(file);
  ASSERT_EQ(bytes.size(), 12u + 24000 + 28);
  EXPECT_EQ(static_cast<unsigned char>(bytes[12 + 5]), values[5]);
  EXPECT_EQ(static_cast<unsigned char>(bytes[12 + 23999]), 40);

  CPeaks loaded;
  ASSERT_TRUE(loaded.LoadPeaksFromFile(file.c_str(), 0));
  EXPECT_EQ(loaded.LengthOfSound(), 240000);
  EXPECT_EQ(loaded.GetNumPeaks(), 24000);
  EXPECT_EQ(loaded.GetMaxLeft(), 1234);
  EXPECT_EQ(loaded.GetAutoTrimTimeStart(), 10);
  EXPECT_EQ(loaded.GetAutoTrimTimeEnd(), peaks.GetAutoTrimTimeEnd());
  EXPECT_TRUE(loaded.IsPartialSong());
  ASSERT_TRUE(loaded.OpenPeaksFile(file.c_str(), 0));
  ASSERT_TRUE(loaded.SeekToPeakIndex(23990));
  unsigned long got = 0;
  int atEnd = 0;
  ASSERT_TRUE(loaded.StreamPeaksFromFile(100, &got, &atEnd));
  EXPECT_EQ(got, 10u);
  EXPECT_TRUE(atEnd);
  EXPECT_EQ(loaded.GetDataPtr()[9], 40);
  loaded.ClosePeaksFile();

  std::string copy = dir.File("copy.ipk");
  ASSERT_TRUE(loaded.SaveAs(copy.c_str()));
  EXPECT_EQ(testsupport::ReadFile(copy), bytes);
}

TEST(Peaks, DamagedPeakFilesDoNotLoad) {
  testsupport::TempDir dir;
  auto header = [](int32_t len, int32_t mils, int32_t count, size_t extra) {
    std::string s(12 + extra, '\0');
    std::memcpy(&s[0], &len, 4);
    std::memcpy(&s[4], &mils, 4);
    std::memcpy(&s[8], &count, 4);
    return s;
  };
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {{"zero-length", header(0, 10, 5, 40)},
               {"zero-count", header(50, 10, 0, 40)},
               {"zero-mils", header(50, 0, 5, 40)},
               {"count-beyond-file", header(50, 10, 1000000, 40)},
               {"short", std::string(7, '\1')}};
  for (const Case& c : cases) {
    std::string path = dir.File(c.name);
    ASSERT_TRUE(testsupport::WriteFile(path, c.bytes));
    CPeaks peaks;
    EXPECT_FALSE(peaks.LoadPeaksFromFile(path.c_str(), 0)) << c.name;
  }
  CPeaks none;
  EXPECT_FALSE(none.LoadPeaksFromFile(dir.File("missing").c_str(), 0));
}

TEST(Peaks, SharedRecordsAndMixing) {
  CPeaks a(10, -1);
  a.InitStreamPeaksFromParse(nullptr, nullptr);
  Stream(a, {10, 20, 30, 40}, 40);
  CPeaks* view = a.Copy(3, 0);
  EXPECT_EQ(a.References(), 2);
  CPeaks mixed;
  mixed.InitPeaksForMix(10, 4, 40);
  mixed.Mix(view, 0, 4);
  EXPECT_EQ(mixed.GetDataPtr()[0], 40);  // the view starts at peak 3 and wraps
  EXPECT_EQ(mixed.GetDataPtr()[1], 10);
  mixed.Mix(&a, 0, 4);
  EXPECT_EQ(mixed.GetDataPtr()[0], 50);
  delete view;
  EXPECT_EQ(a.References(), 1);

  CMyArrayList list;
  for (long v : {0L, 300L, 7L}) list.AppendToTail(nullptr, v);
  CPeaks fromList;
  ASSERT_TRUE(fromList.LoadPeaksFromArrayList(list, 20, 60, 5, 6, nullptr));
  EXPECT_EQ(fromList.GetDataPtr()[1], 255);
  EXPECT_EQ(fromList.GetAutoTrimTimeStart(), 20);
  EXPECT_EQ(fromList.GetMaxRight(), 6);
}

}  // namespace
