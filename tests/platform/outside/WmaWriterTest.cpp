// wmaglue.so's writer, profiles and codec list, read back by ffmpeg: the
// file carries what the profile asks for, decodes without error, lasts as
// long as the input and keeps its sounds where they were.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "tests/platform/outside/WmaLibrary.h"

namespace {

class WmaWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"sox", "ffmpeg", "ffprobe"}), "");
    ASSERT_TRUE(wmatest::Library().IsLoaded());
  }
  // ffmpeg decodes the whole file and reports nothing.
  void ExpectCleanDecode(const std::string& path) {
    const auto r = testsupport::Run("ffmpeg -v error -xerror -i " + path + " -f null -");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
  }
  testsupport::TempDir dir;
};

// The lag of `b` behind `a` (in sample frames of channel 0) that matches
// them best around the loud part of `a`.
long BestLag(const std::vector<int16_t>& a, const std::vector<int16_t>& b, int channels,
             long maxLag) {
  const long n = static_cast<long>(a.size()) / channels;
  long first = 0;
  while (first < n && std::abs(a[first * channels]) < 1000) ++first;
  const long from = std::max(0L, first - 200), to = std::min(n, first + 3000);
  double best = -1e300;
  long bestLag = 0;
  for (long lag = -maxLag; lag <= maxLag; ++lag) {
    double sum = 0;
    for (long i = from; i < to; ++i) {
      const long j = i + lag;
      if (j >= 0 && j < static_cast<long>(b.size()) / channels)
        sum += double(a[i * channels]) * b[j * channels];
    }
    if (sum > best) best = sum, bestLag = lag;
  }
  return bestLag;
}

TEST_F(WmaWriter, ToneCarriesTheProfile) {
  const auto pcm = wmatest::SoxPcm(dir, 44100, 2, "synth 10 sine 440 sine 660 vol 0.5");
  const std::string path = dir.File("tone.wma");
  ASSERT_EQ(wmatest::WriteWma(path, pcm, 44100, 2, 128, 44100, 2), WM_OK);
  EXPECT_EQ(wmatest::Probe(path, "codec_name"), "wmav2");
  EXPECT_EQ(wmatest::Probe(path, "channels"), "2");
  EXPECT_EQ(wmatest::Probe(path, "sample_rate"), "44100");
  EXPECT_NEAR(std::stod(wmatest::Probe(path, "bit_rate")), 128000, 1280);
  EXPECT_NEAR(std::stod(wmatest::Probe(path, "duration", "format")), 10.0, 0.1);
  ExpectCleanDecode(path);
  const auto decoded = wmatest::FfmpegPcm(path);
  EXPECT_NEAR(decoded.size() / 2 / 44100.0, 10.0, 0.1);
  // A tone at this rate comes back close.
  EXPECT_GT(testsupport::Psnr(pcm, decoded), 30.0);

  // Our reader tells the same duration and bit rate.
  wmatest::Callback cb;
  wmatest::Reader r;
  ASSERT_EQ(r.Open(path, &cb), WM_OK);
  EXPECT_NEAR(wmatest::Qword(r.Attribute(u"Duration")) / 1e7, 10.0, 0.001);
  EXPECT_EQ(wmatest::Dword(r.Attribute(u"Bitrate")), 128000u);
  EXPECT_EQ(wmatest::ReadAll(r, cb), decoded);
  r.Close(&cb);
}

TEST_F(WmaWriter, BurstStaysInPlace) {
  struct Case {
    int rate, channels, kbps;
  };
  for (const Case c :
       {Case{44100, 2, 64}, Case{22050, 1, 32}, Case{8000, 1, 32}, Case{48000, 2, 192}}) {
    SCOPED_TRACE(c.rate);
    const auto pcm = wmatest::SoxPcm(dir, c.rate, c.channels, "synth 1.2 sine 1000 vol 0.6");
    // Silence with a 50 ms burst at 0.5 s.
    std::vector<int16_t> input = pcm;
    const size_t at = static_cast<size_t>(c.rate / 2) * c.channels;
    const size_t length = static_cast<size_t>(c.rate / 20) * c.channels;
    for (size_t i = 0; i < input.size(); ++i)
      if (i < at || i >= at + length) input[i] = 0;
    const std::string path = dir.File("burst.wma");
    ASSERT_EQ(wmatest::WriteWma(path, input, c.rate, c.channels, c.kbps, c.rate, c.channels),
              WM_OK);
    ExpectCleanDecode(path);
    const auto decoded = wmatest::FfmpegPcm(path);
    EXPECT_LE(std::labs(BestLag(input, decoded, c.channels, 4096)), 1);
    EXPECT_NEAR(static_cast<double>(decoded.size()) / c.channels / c.rate, 1.2, 0.1);
    EXPECT_NEAR(std::stod(wmatest::Probe(path, "duration", "format")), 1.2, 0.01);
  }
}

TEST_F(WmaWriter, ConvertsInputAndRaisesLowBitRates) {
  const auto pcm = wmatest::SoxPcm(dir, 44100, 2, "synth 2 sine 300 sine 500 vol 0.5");
  const std::string path = dir.File("low.wma");
  // 8 kbit/s is below what the encoder can do: it gets its lowest instead.
  ASSERT_EQ(wmatest::WriteWma(path, pcm, 44100, 2, 8, 8000, 1), WM_OK);
  EXPECT_EQ(wmatest::Probe(path, "sample_rate"), "8000");
  EXPECT_EQ(wmatest::Probe(path, "channels"), "1");
  EXPECT_EQ(wmatest::Probe(path, "bit_rate"), "24000");
  ExpectCleanDecode(path);
  EXPECT_NEAR(wmatest::FfmpegPcm(path).size() / 8000.0, 2.0, 0.1);
  // Mono up to stereo and 22050 up to 32000.
  const auto mono = wmatest::SoxPcm(dir, 22050, 1, "synth 2 sine 300 vol 0.5");
  ASSERT_EQ(wmatest::WriteWma(path, mono, 22050, 1, 48, 32000, 2), WM_OK);
  EXPECT_EQ(wmatest::Probe(path, "sample_rate"), "32000");
  EXPECT_EQ(wmatest::Probe(path, "channels"), "2");
  EXPECT_NEAR(wmatest::FfmpegPcm(path).size() / 2 / 32000.0, 2.0, 0.1);

  // What the encoder cannot do at all.
  CWmaGlue& lib = wmatest::Library();
  for (const TWMAProfileRequest request :
       {TWMAProfileRequest{128000, 0x55, 44100, 2}, TWMAProfileRequest{128000, 353, 96000, 2},
        TWMAProfileRequest{128000, 353, 44100, 6}, TWMAProfileRequest{128000, 353, 0, 2}}) {
    IWMProfile* profile = reinterpret_cast<IWMProfile*>(1);
    EXPECT_LT(lib.generateProfile(&request, &profile), 0);
    EXPECT_EQ(profile, nullptr);
  }
}

TEST_F(WmaWriter, ReleasedWhileWritingFinishesTheFile) {
  const auto pcm = wmatest::SoxPcm(dir, 44100, 2, "synth 3 sine 440 vol 0.5");
  const std::string path = dir.File("dropped.wma");
  ASSERT_EQ(wmatest::WriteWma(path, pcm, 44100, 2, 96, 44100, 2, false, 4096), WM_OK);
  ExpectCleanDecode(path);
  EXPECT_NEAR(std::stod(wmatest::Probe(path, "duration", "format")), 3.0, 0.01);
  EXPECT_NEAR(wmatest::FfmpegPcm(path).size() / 2 / 44100.0, 3.0, 0.1);
  // A writer that never began leaves nothing behind.
  IWMWriter* writer = nullptr;
  const std::u16string other = wmatest::Wide(dir.File("never.wma"));
  ASSERT_EQ(wmatest::Library().createWriter(nullptr, &writer, other.c_str()), WM_OK);
  EXPECT_LT(writer->BeginWriting(), 0);  // no profile
  writer->Release();
  EXPECT_EQ(testsupport::ReadFile(dir.File("never.wma")), "");
}

TEST_F(WmaWriter, CodecListHoldsWhatTheEncoderTakes) {
  CWmaGlue& lib = wmatest::Library();
  int32_t count = 0;
  ASSERT_EQ(lib.generateCodecList(nullptr, &count), WM_OK);
  ASSERT_GT(count, 0);
  std::vector<tWAVEFORMATEX> formats(static_cast<size_t>(count));
  ASSERT_EQ(lib.generateCodecList(formats.data(), &count), WM_OK);
  ASSERT_EQ(count, static_cast<int32_t>(formats.size()));
  const auto has = [&](uint32_t kbps, uint32_t rate, uint16_t channels) {
    for (const auto& f : formats)
      if (f.nSamplesPerSec == rate && f.nChannels == channels &&
          std::abs(static_cast<long>(f.nAvgBytesPerSec) * 8 - static_cast<long>(kbps) * 1000) <=
              250)
        return true;
    return false;
  };
  for (const auto& f : formats) {
    EXPECT_EQ(f.wFormatTag, 353);
    EXPECT_GT(f.nBlockAlign, 0);
    EXPECT_EQ(f.cbSize, 0);
  }
  // The presets the encoder can do, and not those below its lowest bit rate.
  EXPECT_TRUE(has(32, 22050, 2));
  EXPECT_TRUE(has(48, 44100, 1));
  for (uint32_t kbps : {64u, 96u, 128u, 192u}) EXPECT_TRUE(has(kbps, 44100, 2)) << kbps;
  EXPECT_FALSE(has(8, 8000, 1));
  EXPECT_FALSE(has(20, 16000, 1));
  // An entry picked from the list writes a file of that kind.
  const tWAVEFORMATEX& f = formats[formats.size() / 3];
  const auto pcm = wmatest::SoxPcm(dir, static_cast<int>(f.nSamplesPerSec), f.nChannels,
                                   "synth 0.5 sine 440 vol 0.5");
  const std::string path = dir.File("listed.wma");
  ASSERT_EQ(wmatest::WriteWma(path, pcm, static_cast<int>(f.nSamplesPerSec), f.nChannels,
                              static_cast<int>(f.nAvgBytesPerSec * 8 / 1000),
                              static_cast<int>(f.nSamplesPerSec), f.nChannels),
            WM_OK);
  EXPECT_EQ(wmatest::Probe(path, "bit_rate"), std::to_string(f.nAvgBytesPerSec * 8));
  ExpectCleanDecode(path);
}

}  // namespace
