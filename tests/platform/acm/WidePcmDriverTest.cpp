// Wide PCM, IEEE float and WAVE_FORMAT_EXTENSIBLE into 16-bit PCM: which
// formats are taken, how samples narrow, and the downmix to stereo.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/acm/Acm.h"
#include "platform/acm/DownmixMatrix.h"
#include "platform/acm/SampleLayout.h"
#include "tests/platform/acm/AcmTestConvert.h"
#include "tests/platform/acm/WavTestFile.h"

namespace {

constexpr uint8_t kPcmGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

// A wave format with room for the extensible fields behind it.
struct Format {
  tWAVEFORMATEX wfx{};
  uint8_t extra[22] = {};
  const tWAVEFORMATEX* Rec() const { return &wfx; }
};

Format Plain(uint16_t tag, uint16_t channels, uint16_t bits, uint32_t rate = 44100) {
  Format f;
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  f.wfx = {tag, channels, rate, rate * align, align, bits, 0};
  return f;
}

Format Extensible(uint16_t subTag, uint16_t channels, uint16_t bits, uint32_t mask = 0,
                  uint16_t validBits = 0, uint32_t rate = 44100) {
  Format f = Plain(WAVE_FORMAT_EXTENSIBLE, channels, bits, rate);
  f.wfx.cbSize = 22;
  f.extra[0] = static_cast<uint8_t>(validBits ? validBits : bits);
  f.extra[1] = 0;
  for (int i = 0; i < 4; ++i) f.extra[2 + i] = static_cast<uint8_t>(mask >> (8 * i));
  f.extra[6] = static_cast<uint8_t>(subTag);
  f.extra[7] = 0;
  std::memcpy(f.extra + 8, kPcmGuidTail, sizeof kPcmGuidTail);
  return f;
}

std::vector<uint8_t> Int24(const std::vector<int32_t>& v) {
  std::vector<uint8_t> b;
  for (int32_t s : v)
    for (int i = 0; i < 3; ++i)
      b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(s) >> (8 * i)));
  return b;
}

template <class T>
std::vector<uint8_t> Raw(const std::vector<T>& v) {
  std::vector<uint8_t> b(v.size() * sizeof(T));
  std::memcpy(b.data(), v.data(), b.size());  // the test host is little-endian like the files
  return b;
}

// Decodes through the registry into the format it suggests.
std::vector<int16_t> Decode(const Format& f, const std::vector<uint8_t>& in, size_t piece = 0) {
  tWAVEFORMATEX pcm;
  EXPECT_TRUE(acmtest::SuggestPcm(f.Rec(), &pcm));
  bool ok = false;
  auto out = acmtest::ConvertAll(f.Rec(), &pcm, in, piece, &ok);
  EXPECT_TRUE(ok);
  return wavtest::Samples(out);
}

TEST(WidePcmDriverTest, SuggestsSixteenBitsInAtMostTwoChannels) {
  struct Case {
    Format f;
    uint16_t channels;
  };
  for (const Case& c :
       {Case{Plain(1, 2, 24), 2}, Case{Plain(1, 1, 32, 8000), 1}, Case{Plain(3, 2, 32, 192000), 2},
        Case{Plain(3, 1, 64), 1}, Case{Plain(1, 6, 16), 2}, Case{Plain(1, 3, 8), 2},
        Case{Extensible(1, 2, 16, 3), 2}, Case{Extensible(3, 8, 32, 0x63f), 2},
        Case{Extensible(1, 1, 24, 4, 20), 1}}) {
    SCOPED_TRACE(std::to_string(c.f.wfx.wFormatTag) + " " + std::to_string(c.f.wfx.nChannels) +
                 " ch " + std::to_string(c.f.wfx.wBitsPerSample) + " bits");
    tWAVEFORMATEX pcm;
    ASSERT_TRUE(acmtest::SuggestPcm(c.f.Rec(), &pcm));
    // Packed fields are compared as values, never bound to references.
    EXPECT_EQ(int{pcm.wFormatTag}, WAVE_FORMAT_PCM);
    EXPECT_EQ(int{pcm.wBitsPerSample}, 16);
    EXPECT_EQ(int{pcm.nChannels}, c.channels);
    EXPECT_EQ(uint32_t{pcm.nSamplesPerSec}, uint32_t{c.f.wfx.nSamplesPerSec});
    EXPECT_EQ(int{pcm.nBlockAlign}, 2 * c.channels);
  }
  // The engine's own PCM stays the PCM driver's: same shape back.
  Format native = Plain(1, 2, 8);
  tWAVEFORMATEX pcm;
  ASSERT_TRUE(acmtest::SuggestPcm(native.Rec(), &pcm));
  EXPECT_EQ(int{pcm.wBitsPerSample}, 8);
}

TEST(WidePcmDriverTest, RefusesWhatItCannotReadSafely) {
  Format badGuid = Extensible(1, 2, 24);
  badGuid.extra[20] = 0;
  Format shortExtra = Extensible(1, 2, 24);
  shortExtra.wfx.cbSize = 21;
  Format badAlign = Plain(1, 2, 24);
  badAlign.wfx.nBlockAlign = 8;
  for (const Format& f :
       {Plain(1, 2, 12), Plain(1, 2, 20), Plain(3, 2, 16), Plain(1, 9, 24), Plain(1, 0, 24),
        Plain(1, 2, 24, 0), Plain(1, 2, 24, 192001), Extensible(2, 2, 16),
        Extensible(1, 2, 24, 3, 25), badGuid, shortExtra, badAlign}) {
    SCOPED_TRACE(std::to_string(f.wfx.wFormatTag) + " " + std::to_string(f.wfx.nChannels) + " ch " +
                 std::to_string(f.wfx.wBitsPerSample) + " bits " +
                 std::to_string(f.wfx.nSamplesPerSec) + " Hz");
    CSampleLayout layout;
    EXPECT_FALSE(layout.Read(f.Rec()));
    tWAVEFORMATEX pcm;
    EXPECT_FALSE(acmtest::SuggestPcm(f.Rec(), &pcm));
  }
  // Only 16-bit PCM of the source's rate and (folded) channels is made.
  Format wide = Plain(1, 6, 24);
  tWAVEFORMATEX six = Plain(1, 6, 16).wfx, stereo8 = Plain(1, 2, 8).wfx,
                other = Plain(1, 2, 16, 48000).wfx;
  for (const tWAVEFORMATEX* dst : {&six, &stereo8, &other})
    EXPECT_NE(
        acmStreamOpen(nullptr, nullptr, wide.Rec(), dst, nullptr, 0, 0, ACM_STREAMOPENF_QUERY),
        MMSYSERR_NOERROR);
}

TEST(WidePcmDriverTest, IntegersRoundToTheNearestSixteenBitValue) {
  // 24 bits: 0x80 of the low byte is half a step, rounded up; the top saturates.
  EXPECT_EQ(Decode(Plain(1, 1, 24), Int24({0x7fffff, -0x800000, 0x80, 0x7f, -0x81, -0x80, 0x1234})),
            (std::vector<int16_t>{32767, -32768, 1, 0, -1, 0, 0x12}));
  EXPECT_EQ(Decode(Plain(1, 2, 32),
                   Raw<int32_t>({INT32_MAX, INT32_MIN, 0x8000, 0x7fff, -0x10000, 0x12348000})),
            (std::vector<int16_t>{32767, -32768, 1, 0, -1, 0x1235}));
  // Extensible 8 bits are unsigned, 16 bits signed, as in plain records.
  EXPECT_EQ(Decode(Extensible(1, 1, 8, 4), {0, 128, 255}),
            (std::vector<int16_t>{-32768, 0, 32512}));
  EXPECT_EQ(Decode(Extensible(1, 2, 16, 3), Raw<int16_t>({-5, 7})), (std::vector<int16_t>{-5, 7}));
  // 20 valid bits in a 24-bit container are read by the container.
  EXPECT_EQ(Decode(Extensible(1, 1, 24, 4, 20), Int24({0x123450, -0x100})),
            (std::vector<int16_t>{0x1234, -1}));
}

TEST(WidePcmDriverTest, FloatsSaturateAndNeverWrap) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(
      Decode(Plain(3, 1, 32), Raw<float>({0.5f, -0.5f, 1.0f, -1.0f, 2.5f, -7.0f, inf, -inf, nan,
                                          1.5f / 32768, -2.5f / 32768})),
      (std::vector<int16_t>{16384, -16384, 32767, -32768, 32767, -32768, 32767, -32768, 0, 2, -2}));
  EXPECT_EQ(Decode(Extensible(3, 2, 64, 3), Raw<double>({0.25, 1e300, -1e300, -0.25})),
            (std::vector<int16_t>{8192, 32767, -32768, -8192}));
}

// The stream tells a float source's peak and brings it down by a gain before
// narrowing, so that a hot file can be normalised instead of clipped.
TEST(WidePcmDriverTest, FloatPeakAndGain) {
  Format f = Plain(3, 2, 32);
  tWAVEFORMATEX pcm = Plain(1, 2, 16).wfx;
  HACMSTREAM s = nullptr;
  ASSERT_EQ(acmStreamOpen(&s, nullptr, f.Rec(), &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  std::vector<uint8_t> in = Raw<float>({0.5f, -3.0f, 1.5f, 0.25f});
  std::vector<uint8_t> out(8);
  auto convert = [&]() {
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = in.data();
    h.cbSrcLength = static_cast<uint32_t>(in.size());
    h.pbDst = out.data();
    h.cbDstLength = static_cast<uint32_t>(out.size());
    ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
    acmStreamUnprepareHeader(s, &h, 0);
  };
  convert();
  EXPECT_EQ(wavtest::Samples(out), (std::vector<int16_t>{16384, -32768, 32767, 8192}));
  double peak = 0;
  ASSERT_EQ(acmStreamMessage(s, ACMDM_STREAM_GET_PEAK, reinterpret_cast<uintptr_t>(&peak), 0),
            MMSYSERR_NOERROR);
  EXPECT_DOUBLE_EQ(peak, 3.0);
  double gain = 1.0 / 3.0;
  ASSERT_EQ(acmStreamMessage(s, ACMDM_STREAM_SET_GAIN, reinterpret_cast<uintptr_t>(&gain), 0),
            MMSYSERR_NOERROR);
  convert();
  EXPECT_EQ(wavtest::Samples(out), (std::vector<int16_t>{5461, -32768, 16384, 2731}));
  double bad = -1;
  EXPECT_EQ(acmStreamMessage(s, ACMDM_STREAM_SET_GAIN, reinterpret_cast<uintptr_t>(&bad), 0),
            MMSYSERR_INVALPARAM);
  acmStreamClose(s, 0);
  // Integer sources cannot pass full scale and take no gain.
  Format wide = Plain(1, 2, 24);
  ASSERT_EQ(acmStreamOpen(&s, nullptr, wide.Rec(), &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(acmStreamMessage(s, ACMDM_STREAM_GET_PEAK, reinterpret_cast<uintptr_t>(&peak), 0),
            MMSYSERR_NOTSUPPORTED);
  acmStreamClose(s, 0);
}

TEST(WidePcmDriverTest, DownmixWeightsByMaskOrPosition) {
  const double h = std::sqrt(0.5);
  auto expectRow = [](const double* row, std::vector<double> want) {
    for (size_t c = 0; c < want.size(); ++c) EXPECT_NEAR(row[c], want[c], 1e-12) << "channel " << c;
  };
  // 5.1 (front L R C, LFE, back L R): L + 0.707 C + 0.707 Ls, over 1 + 2 * 0.707.
  CDownmixMatrix five(6, 0x3f);
  const double s5 = 1 + 2 * h;
  expectRow(five.left, {1 / s5, 0, h / s5, 0, h / s5, 0});
  expectRow(five.right, {0, 1 / s5, h / s5, 0, 0, h / s5});
  // 7.1 with back and side pairs: both surrounds at -3 dB.
  CDownmixMatrix seven(8, 0x63f);
  const double s7 = 1 + 3 * h;
  expectRow(seven.left, {1 / s7, 0, h / s7, 0, h / s7, 0, h / s7, 0});
  expectRow(seven.right, {0, 1 / s7, h / s7, 0, 0, h / s7, 0, h / s7});
  // Without a mask, or one naming too few speakers (bits beyond the known
  // speakers name none): even channels left, odd right, one weight for all.
  for (uint32_t mask : {0u, 0x3u, 0x7u | 0xfc0000u}) {
    SCOPED_TRACE(mask);
    CDownmixMatrix fold(5, mask);
    expectRow(fold.left, {1 / 3.0, 0, 1 / 3.0, 0, 1 / 3.0});
    expectRow(fold.right, {0, 1 / 3.0, 0, 1 / 3.0, 0});
  }
}

TEST(WidePcmDriverTest, SurroundMixesDownWithoutClipping) {
  // 5.1 frames: everything at full scale in phase, then the centre alone,
  // then the LFE alone (dropped).
  std::vector<int32_t> frames = {0x7fffff, 0x7fffff, 0x7fffff, 0x7fffff, 0x7fffff, 0x7fffff,
                                 0,        0,        0x400000, 0,        0,        0,
                                 0,        0,        0,        0x7fffff, 0,        0};
  const double h = std::sqrt(0.5);
  const int centre = static_cast<int>(std::lround(16384 * h / (1 + 2 * h)));
  std::vector<int16_t> out = Decode(Extensible(1, 6, 24, 0x3f), Int24(frames));
  ASSERT_EQ(out.size(), 6u);
  EXPECT_NEAR(out[0], 32767, 1);
  EXPECT_NEAR(out[1], 32767, 1);
  EXPECT_EQ(out[2], centre);
  EXPECT_EQ(out[3], centre);
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(out[5], 0);
  // Split anywhere, the stream gives the same: frames convert alone.
  std::vector<uint8_t> bytes = Int24(frames);
  EXPECT_EQ(Decode(Extensible(1, 6, 24, 0x3f), bytes, 5), out);
  // Sizes follow whole frames both ways.
  Format f = Extensible(1, 6, 24, 0x3f);
  tWAVEFORMATEX pcm = Plain(1, 2, 16).wfx;
  HACMSTREAM s = nullptr;
  ASSERT_EQ(acmStreamOpen(&s, nullptr, f.Rec(), &pcm, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  uint32_t size = 0;
  ASSERT_EQ(acmStreamSize(s, 18 * 10 + 7, &size, ACM_STREAMSIZEF_SOURCE), MMSYSERR_NOERROR);
  EXPECT_EQ(size, 40u);
  ASSERT_EQ(acmStreamSize(s, 4 * 10 + 3, &size, ACM_STREAMSIZEF_DESTINATION), MMSYSERR_NOERROR);
  EXPECT_EQ(size, 180u);
  acmStreamClose(s, 0);
}

TEST(WidePcmDriverTest, NamesItsTags) {
  for (auto [tag, name] : {std::pair{WAVE_FORMAT_IEEE_FLOAT, "IEEE Float"},
                           std::pair{WAVE_FORMAT_EXTENSIBLE, "Extensible"}}) {
    ACMFORMATTAGDETAILSA d{};
    d.cbStruct = sizeof d;
    d.dwFormatTag = tag;
    ASSERT_EQ(acmFormatTagDetailsA(nullptr, &d, ACM_FORMATTAGDETAILSF_FORMATTAG), MMSYSERR_NOERROR);
    EXPECT_STREQ(d.szFormatTag, name);
  }
}

}  // namespace
