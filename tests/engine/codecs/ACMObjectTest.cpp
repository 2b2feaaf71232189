// The decoder object over the codec layer: formats, sizes, conversion, and
// the scan of a whole source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/SampleBuffer.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/ACMObject.h"
#include "engine/media/Peaks.h"
#include "engine/media/SeekMap.h"
#include "platform/acm/AcmDriver.h"
#include "platform/audio/PcmSample.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/platform/acm/WavTestFile.h"

using testsupport::TempDir;

namespace {

tWAVEFORMATEX Pcm(uint32_t rate, uint16_t channels) {
  uint16_t align = static_cast<uint16_t>(2 * channels);
  return tWAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, 16, 0};
}

class ACMObjectTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(testsupport::MissingPrograms({"sox"}), ""); }
  // A sox file of the encoding, read back.
  wavtest::Wav Make(const std::string& encoding, int rate, int channels, const char* seconds,
                    std::string* path = nullptr) {
    std::string p = dir.File(encoding + std::to_string(channels) + ".wav");
    auto r = testsupport::Run("sox -n -r " + std::to_string(rate) + " -c " +
                              std::to_string(channels) + " -e " + encoding + " '" + p + "' synth " +
                              seconds + " sine 300-2500 gain -2");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    wavtest::Wav w;
    EXPECT_TRUE(wavtest::ReadWav(p, &w));
    if (path) *path = p;
    return w;
  }
  TempDir dir;
};

TEST_F(ACMObjectTest, FormatsAndSizes) {
  wavtest::Wav ima = Make("ima-adpcm", 8000, 1, "0.3");
  ACMObject decoder(ima.Format(), 0, static_cast<int64_t>(ima.format.size()));
  EXPECT_EQ(decoder.IsACM(), 1);
  EXPECT_EQ(decoder.ACMDriverInstalled(), 1);
  EXPECT_EQ(decoder.ActivateDriver(1), 1);
  EXPECT_EQ(decoder.GetFrequency(), 8000u);
  EXPECT_EQ(decoder.DestFormat(), nullptr);
  EXPECT_EQ(decoder.EnableStream(1), 0);  // no destination yet
  ASSERT_EQ(decoder.SuggestPCMFormat(), 1);
  EXPECT_EQ(decoder.DestFormat()->wBitsPerSample, 16);
  EXPECT_EQ(decoder.DestFormat()->nAvgBytesPerSec, 16000u);
  EXPECT_EQ(decoder.FirstFrameDecodesToCDQuality(), 0);
  // Small counts are asked about 1024 times over: 10240 bytes are 40 blocks
  // of 505 samples.
  EXPECT_DOUBLE_EQ(decoder.GetConvertedBufferSize(10), 40.0 * 1010 / 1024);
  EXPECT_DOUBLE_EQ(decoder.GetConvertedBufferSize(0), 0.0);
  EXPECT_EQ(decoder.Stream(), nullptr);  // opened for the question only
  EXPECT_EQ(decoder.GetSourceBufferSize(1010 * 3), 256 * 3);
  EXPECT_EQ(decoder.BlockSize(decoder.SourceFormat()), 256);
  EXPECT_EQ(BlockSize(decoder.SourceFormat(), &decoder), 256);
  EXPECT_EQ(BlockSize(decoder.DestFormat(), nullptr), 2);
  EXPECT_EQ(IsPCMOrACM(&decoder), 1);
  EXPECT_EQ(IsPCMOrACM(nullptr), 1);

  char text[256] = "";
  EXPECT_EQ(decoder.GetSrcFormatStr(text, sizeof text), 1);
  EXPECT_NE(std::string(text).find("IMA ADPCM"), std::string::npos) << text;

  ASSERT_EQ(decoder.EnableStream(1), 1);
  EXPECT_NE(decoder.Stream(), nullptr);
  EXPECT_EQ(decoder.GetSrcFormatStr(text, sizeof text), 1);
  // The destination is fixed while the stream is open.
  tWAVEFORMATEX cd = Pcm(44100, 2);
  EXPECT_EQ(decoder.SetDestFormat(&cd), 0);
  EXPECT_EQ(decoder.SuggestPCMFormat(), 0);
  EXPECT_EQ(decoder.DestFormat()->nSamplesPerSec, 8000u);

  std::unique_ptr<ACMObject> copy(decoder.Copy());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Stream(), nullptr);
  EXPECT_EQ(copy->SourceFormat()->cbSize, 2);
  EXPECT_EQ(std::memcmp(copy->SourceFormat(), decoder.SourceFormat(), 20), 0);
  EXPECT_EQ(copy->DestFormat()->nSamplesPerSec, 8000u);

  EXPECT_EQ(decoder.EnableStream(0), 1);
  EXPECT_EQ(decoder.Stream(), nullptr);
  EXPECT_EQ(decoder.SetDestFormat(&cd), 1);
  EXPECT_EQ(decoder.FirstFrameDecodesToCDQuality(), 1);
  EXPECT_EQ(decoder.EnableStream(1), 0);  // IMA ADPCM does not decode to another rate
}

// As the WAV writer uses it: 22050 Hz mono into 44100 Hz stereo.
TEST_F(ACMObjectTest, ConvertsPcmForTheWriter) {
  tWAVEFORMATEX in = Pcm(22050, 1), out = Pcm(44100, 2);
  in.cbSize = 94;  // a stray extra count on a PCM record is never followed
  ACMObject converter(&in, 2);
  EXPECT_EQ(converter.Flags(), 2u);
  ASSERT_EQ(converter.ACMDriverInstalled(), 1);
  ASSERT_EQ(converter.ActivateDriver(1), 1);
  ASSERT_EQ(converter.SetDestFormat(&out), 1);
  ASSERT_EQ(converter.EnableStream(1), 1);
  std::vector<int16_t> samples(2000);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(10000 * std::sin(i * 0.05));
  std::vector<char> dst(samples.size() * 8 + 64);
  char* d = dst.data();
  int64_t length = static_cast<int64_t>(samples.size() * 2);
  int64_t made = converter.Convert(reinterpret_cast<char*>(samples.data()), length, d,
                                   static_cast<int64_t>(dst.size()), CONVERSION_FIRST, 0);
  EXPECT_EQ(length, 4000);
  // Twice the frames, twice the channels: each block of n bytes yields 4n.
  EXPECT_EQ(made, 4 * 4000);
  auto* o = reinterpret_cast<uint8_t*>(d);
  EXPECT_EQ(LoadSample16(o + 8), samples[0]);
  EXPECT_EQ(LoadSample16(o + 14), samples[0] + (samples[1] - samples[0]) / 2);
  EXPECT_EQ(LoadSample16(o + 16), samples[1]);
  // An empty destination: nothing to do, no failure.
  int64_t none = 10;
  EXPECT_EQ(converter.Convert(reinterpret_cast<char*>(samples.data()), none, d, 0,
                              CONVERSION_FOLLOWING, 0),
            0);
}

// Damaged fmt chunks: claimed extra bytes beyond the chunk are not copied, so
// a Microsoft ADPCM format whose coefficients lie outside it is refused.
TEST_F(ACMObjectTest, DamagedFormatsAreRefused) {
  wavtest::Wav ms = Make("ms-adpcm", 8000, 1, "0.2");
  ASSERT_EQ(ms.Format()->cbSize, 32);
  {
    ACMObject whole(ms.Format(), 0, static_cast<int64_t>(ms.format.size()));
    EXPECT_EQ(whole.SuggestPCMFormat(), 1);
  }
  {
    ACMObject cut(ms.Format(), 0, 18 + 20);
    EXPECT_EQ(cut.SourceFormat()->cbSize, 20);
    EXPECT_EQ(cut.SuggestPCMFormat(), 0);
    EXPECT_EQ(cut.DestFormat(), nullptr);
  }
  std::vector<uint8_t> absurd = ms.format;
  reinterpret_cast<tWAVEFORMATEX*>(absurd.data())->cbSize = 0xFFFF;
  ACMObject big(reinterpret_cast<tWAVEFORMATEX*>(absurd.data()), 0,
                static_cast<int64_t>(absurd.size()));
  EXPECT_EQ(big.SourceFormat()->cbSize, 32);
  EXPECT_EQ(big.SuggestPCMFormat(), 1);

  tWAVEFORMATEX unknown{0x1234, 2, 44100, 100000, 4, 16, 0};
  ACMObject none(&unknown, 0);
  EXPECT_EQ(none.SuggestPCMFormat(), 0);
  char text[64];
  EXPECT_EQ(none.GetSrcFormatStr(text, sizeof text), 0);
}

// Wide PCM and float sources: named by their sub-format with the downmix
// said, and a float source's peak beyond full scale measured by the scan
// and taken back by a gain before narrowing.
TEST_F(ACMObjectTest, WideSourcesAndFloatPeaks) {
  std::string six = dir.File("six.wav");
  auto r = testsupport::Run("sox -n -r 48000 -c 6 -b 24 '" + six + "' synth 0.1 sine 440");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  wavtest::Wav w;
  ASSERT_TRUE(wavtest::ReadWav(six, &w));
  ASSERT_EQ(w.Format()->wFormatTag, WAVE_FORMAT_EXTENSIBLE);
  ACMObject wide(w.Format(), 0, static_cast<int64_t>(w.format.size()));
  ASSERT_EQ(wide.SuggestPCMFormat(), 1);
  EXPECT_EQ(wide.DestFormat()->nChannels, 2);
  EXPECT_EQ(wide.DestFormat()->wBitsPerSample, 16);
  const std::string strings = GetTonalisStringFile();
  SetTonalisStringFile(testsupport::SourceDir() + "/engine/tonalis-strings.ini");
  char text[256] = "";
  EXPECT_EQ(wide.GetSrcFormatStr(text, sizeof text), 1);
  EXPECT_STREQ(text, "PCM, 48.000 kHz, 24-bit, 6 channels mixed to stereo");
  SetTonalisStringFile(strings);
  EXPECT_EQ(wide.MeasuresSourcePeak(), 0);  // integers cannot pass full scale

  // Float stereo, the left channel at twice full scale.
  std::vector<float> samples;
  for (int i = 0; i < 4410; ++i) {
    const float v = static_cast<float>(std::sin(i * 0.06));
    samples.insert(samples.end(), {2 * v, v / 4});
  }
  std::vector<uint8_t> data(samples.size() * 4);
  std::memcpy(data.data(), samples.data(), data.size());
  tWAVEFORMATEX f32{WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 44100 * 8, 8, 32, 0};
  std::string hot = dir.File("hot.wav");
  ASSERT_TRUE(wavtest::WriteWav(hot, &f32, sizeof f32, data));
  ASSERT_TRUE(wavtest::ReadWav(hot, &w));
  CFileObj file;
  ASSERT_EQ(file.Open(hot), 1);
  const int64_t start = w.dataOffset, end = start + static_cast<int64_t>(w.data.size());
  ASSERT_EQ(file.SetDataOffsets(start, end), 1);
  ACMObject decoder(w.Format(), 0, static_cast<int64_t>(w.format.size()));
  ASSERT_EQ(decoder.SuggestPCMFormat(), 1);
  EXPECT_EQ(decoder.MeasuresSourcePeak(), 1);
  EXPECT_EQ(decoder.SourcePeak(), 0.0);
  CPeaks* peaks = nullptr;
  int64_t lengthMs = 0;
  ASSERT_EQ(decoder.ParseScanAndBuild(&file, nullptr, &peaks, &lengthMs, nullptr, start, end, 0, 1,
                                      1, 0, 20, 0, 0, nullptr, nullptr),
            1);
  delete peaks;
  EXPECT_NEAR(decoder.SourcePeak(), 2.0, 1e-3);
  EXPECT_EQ(decoder.SetSourceGain(-1), 0);
  ASSERT_EQ(decoder.SetSourceGain(1 / decoder.SourcePeak()), 1);
  // The gain reaches streams opened later, also those of a copy.
  std::unique_ptr<ACMObject> copy(decoder.Copy());
  ASSERT_TRUE(copy);
  ASSERT_EQ(copy->EnableStream(1), 1);
  std::vector<char> out(w.data.size() / 2);
  char* o = out.data();
  int64_t length = static_cast<int64_t>(w.data.size());
  ASSERT_EQ(copy->Convert(reinterpret_cast<char*>(w.data.data()), length, o,
                          static_cast<int64_t>(out.size()), CONVERSION_FIRST, 0),
            static_cast<int64_t>(out.size()));
  int16_t loudest = 0;
  for (size_t i = 0; i < out.size(); i += 4)
    loudest = std::max(loudest, LoadSample16(reinterpret_cast<uint8_t*>(o) + i));
  EXPECT_NEAR(loudest, 32767, 40);  // brought to full scale, not clipped at it
  EXPECT_NEAR(LoadSample16(reinterpret_cast<uint8_t*>(o) + 4 * 10),
              std::lround(2 * std::sin(10 * 0.06f) * 32768 / decoder.SourcePeak()), 1);
}

struct Progress {
  uint64_t total = 0;
  int calls = 0;
  int cancelAt = -1;
  int pauses = 0;
};

int CountProgress(unsigned long value, void* user) {
  auto* p = static_cast<Progress*>(user);
  p->total += value;
  ++p->calls;
  if (p->calls == 2 && p->pauses-- > 0) return -1;
  return p->calls == p->cancelAt ? 0 : 1;
}

TEST_F(ACMObjectTest, ScanFindsLengthPeaksAndSeekPoints) {
  std::string path;
  wavtest::Wav w = Make("ima-adpcm", 22050, 2, "3.21", &path);
  CFileObj file;
  ASSERT_EQ(file.Open(path), 1);
  int64_t start = w.dataOffset, end = w.dataOffset + static_cast<int64_t>(w.data.size());
  ASSERT_EQ(file.SetDataOffsets(start, end), 1);
  ACMObject decoder(w.Format(), 0, static_cast<int64_t>(w.format.size()));
  ASSERT_EQ(decoder.SuggestPCMFormat(), 1);
  std::vector<int16_t> reference = wavtest::SoxDecode(path, dir.File("ref.raw"));

  CSeekMap* map = nullptr;
  CPeaks* peaks = nullptr;
  int64_t lengthMs = -1;
  int reported = 0;
  Progress progress;
  progress.pauses = 2;
  ASSERT_EQ(decoder.ParseScanAndBuild(&file, &map, &peaks, &lengthMs, &reported, start, end, 0, 1,
                                      1, 1, 20, 0, 0, CountProgress, &progress),
            1);
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(progress.total, w.data.size());
  int64_t decodedBytes = static_cast<int64_t>(reference.size() * 2);
  EXPECT_EQ(lengthMs, decodedBytes * 1000 / decoder.DestFormat()->nAvgBytesPerSec);
  ASSERT_NE(map, nullptr);
  EXPECT_GT(map->Count(), 1);
  CSeekMap::Point p{};
  ASSERT_EQ(map->Find(static_cast<uint64_t>(decodedBytes), &p), 1);
  EXPECT_EQ(p.source % static_cast<uint64_t>(decoder.BlockSize(w.Format())), 0u);  // block starts
  ASSERT_NE(peaks, nullptr);
  EXPECT_NEAR(peaks->GetNumPeaks(), lengthMs / 20, 1);
  EXPECT_GT(peaks->GetMaxLeft(), 10000);
  EXPECT_EQ(decoder.Stream(), nullptr);
  CSeekMap::Release(map);
  delete peaks;
  peaks = nullptr;

  // Cancelled: nothing is kept.
  Progress cancel;
  cancel.cancelAt = 1;
  lengthMs = -1;
  EXPECT_EQ(decoder.ParseScanAndBuild(&file, &map, &peaks, &lengthMs, &reported, start, end, 0, 1,
                                      1, 1, 20, 0, 0, CountProgress, &cancel),
            0);
  EXPECT_EQ(map, nullptr);
  EXPECT_EQ(peaks, nullptr);
  EXPECT_EQ(lengthMs, -1);
  // Nothing asked for: nothing done; a bad range fails.
  EXPECT_EQ(decoder.ParseScanAndBuild(&file, &map, &peaks, &lengthMs, &reported, start, end, 0, 0,
                                      0, 0, 20, 0, 0, nullptr, nullptr),
            1);
  EXPECT_EQ(decoder.ParseScanAndBuild(&file, &map, &peaks, &lengthMs, &reported, end, start, 0, 1,
                                      0, 0, 20, 0, 0, nullptr, nullptr),
            0);
}

}  // namespace
