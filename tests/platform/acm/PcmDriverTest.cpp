// PCM to PCM: rate, channels and width.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/acm/Acm.h"
#include "platform/acm/AcmDriver.h"
#include "tests/platform/acm/AcmTestConvert.h"
#include "tests/platform/acm/WavTestFile.h"

namespace {

tWAVEFORMATEX Pcm(uint32_t rate, uint16_t channels, uint16_t bits = 16) {
  uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  return tWAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

// A sine of `hz` (and, in a second channel, of 1.5 * hz) at `rate`, starting
// `delay` seconds late.
std::vector<int16_t> Sine(uint32_t rate, int channels, size_t frames, double hz, double delay = 0) {
  std::vector<int16_t> v(frames * channels);
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      v[i * channels + c] = static_cast<int16_t>(
          std::lround(20000 * std::sin(2 * M_PI * hz * (1 + 0.5 * c) *
                                       (static_cast<double>(i) / rate - delay))));
  return v;
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& v) {
  std::vector<uint8_t> b(v.size() * 2);
  std::memcpy(b.data(), v.data(), b.size());
  return b;
}

TEST(PcmDriverTest, RatesFollowTheSignalAndSplitAnywhere) {
  struct Pair {
    uint32_t from, to;
    int channels;
  };
  for (Pair p : {Pair{8000, 44100, 1}, Pair{44100, 22050, 2}, Pair{22050, 48000, 2},
                 Pair{48000, 44100, 1}, Pair{11025, 8000, 2}}) {
    SCOPED_TRACE(std::to_string(p.from) + " -> " + std::to_string(p.to));
    const size_t frames = p.from / 2 + 17;  // half a second and a bit
    tWAVEFORMATEX src = Pcm(p.from, static_cast<uint16_t>(p.channels));
    tWAVEFORMATEX dst = Pcm(p.to, static_cast<uint16_t>(p.channels));
    std::vector<uint8_t> in = Bytes(Sine(p.from, p.channels, frames, 300));
    bool ok;
    auto whole = acmtest::ConvertAll(&src, &dst, in, 0, &ok);
    ASSERT_TRUE(ok);
    size_t expected = (frames * p.to + p.from - 1) / p.from;
    EXPECT_EQ(whole.size() / dst.nBlockAlign, expected);
    for (size_t piece : {size_t{2}, size_t{6}, size_t{1234}})
      EXPECT_EQ(acmtest::ConvertAll(&src, &dst, in, piece, &ok), whole) << piece;
    // Linear interpolation of a 300 Hz tone stays close to the true tone, one
    // source frame late (past the held first frame).
    auto ideal = Sine(p.to, p.channels, expected, 300, 1.0 / p.from);
    auto ours = wavtest::Samples(whole);
    size_t skip = static_cast<size_t>(p.to / p.from + 1) * p.channels;
    EXPECT_GT(wavtest::Psnr(std::vector<int16_t>(ideal.begin() + skip, ideal.end()),
                            std::vector<int16_t>(ours.begin() + skip, ours.end())),
              45);
    // A destination of exactly the outputs due is filled in one call.
    HACMSTREAM s = nullptr;
    ASSERT_EQ(acmStreamOpen(&s, nullptr, &src, &dst, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<uint8_t> room(expected * dst.nBlockAlign);
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    h.pbSrc = in.data();
    h.cbSrcLength = static_cast<uint32_t>(in.size());
    h.pbDst = room.data();
    h.cbDstLength = static_cast<uint32_t>(room.size());
    ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(h.cbSrcLengthUsed, in.size());
    EXPECT_EQ(h.cbDstLengthUsed, room.size());
    acmStreamUnprepareHeader(s, &h, 0);
    acmStreamClose(s, 0);
  }
}

TEST(PcmDriverTest, ChannelsAndWidths) {
  tWAVEFORMATEX mono16 = Pcm(8000, 1), stereo16 = Pcm(8000, 2), mono8 = Pcm(8000, 1, 8),
                stereo8 = Pcm(8000, 2, 8);
  bool ok;
  std::vector<int16_t> stereo = {100, 301, -32768, 32767, -5, -6};
  auto down = wavtest::Samples(acmtest::ConvertAll(&stereo16, &mono16, Bytes(stereo), 0, &ok));
  EXPECT_EQ(down, (std::vector<int16_t>{200, 0, -5}));
  auto up = wavtest::Samples(acmtest::ConvertAll(&mono16, &stereo16, Bytes({7, -9}), 0, &ok));
  EXPECT_EQ(up, (std::vector<int16_t>{7, 7, -9, -9}));
  // 8-bit samples stand for (u - 128) << 8; 16-bit ones go back as (v >> 8) + 128.
  auto wide = wavtest::Samples(acmtest::ConvertAll(&mono8, &mono16, {0, 128, 255}, 0, &ok));
  EXPECT_EQ(wide, (std::vector<int16_t>{-32768, 0, 32512}));
  auto narrow = acmtest::ConvertAll(&stereo16, &mono8,
                                    Bytes({-32768, -32768, 255, 256, 32767, 32767}), 0, &ok);
  EXPECT_EQ(narrow, (std::vector<uint8_t>{0, 128, 255}));
  auto both = acmtest::ConvertAll(&mono8, &stereo8, {1, 200}, 0, &ok);
  EXPECT_EQ(both, (std::vector<uint8_t>{1, 1, 200, 200}));
  // A partial frame is left for the next call.
  HACMSTREAM s = nullptr;
  ASSERT_EQ(acmStreamOpen(&s, nullptr, &stereo16, &mono16, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  uint8_t src[7] = {}, dst[8] = {};
  ACMSTREAMHEADER h{};
  h.cbStruct = sizeof h;
  h.pbSrc = src;
  h.cbSrcLength = 7;
  h.pbDst = dst;
  h.cbDstLength = 8;
  ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
  ASSERT_EQ(acmStreamConvert(s, &h, 0), MMSYSERR_NOERROR);
  EXPECT_EQ(h.cbSrcLengthUsed, 4u);
  EXPECT_EQ(h.cbDstLengthUsed, 2u);
  acmStreamUnprepareHeader(s, &h, 0);
  acmStreamClose(s, 0);
  // Three channels to two is only the wide PCM driver's downmix into 16 bits;
  // no driver takes them into 8 bits.
  tWAVEFORMATEX three = Pcm(8000, 3);
  EXPECT_NE(acmStreamOpen(nullptr, nullptr, &three, &stereo8, nullptr, 0, 0, ACM_STREAMOPENF_QUERY),
            MMSYSERR_NOERROR);
}

// When the destination is full, the rate converter keeps its place: the rest
// of the source is given back and the output continues seamlessly.
TEST(PcmDriverTest, FullDestinationKeepsItsPlace) {
  tWAVEFORMATEX src = Pcm(8000, 1), dst = Pcm(44100, 1);
  std::vector<uint8_t> in = Bytes(Sine(8000, 1, 999, 440));
  bool ok;
  auto whole = acmtest::ConvertAll(&src, &dst, in, 0, &ok);
  HACMSTREAM s = nullptr;
  ASSERT_EQ(acmStreamOpen(&s, nullptr, &src, &dst, nullptr, 0, 0, 0), MMSYSERR_NOERROR);
  std::vector<uint8_t> out, room(98);
  size_t at = 0;
  for (int i = 0; i < 100000 && at <= in.size(); ++i) {
    ACMSTREAMHEADER h{};
    h.cbStruct = sizeof h;
    std::vector<uint8_t> piece(in.begin() + at, in.end());
    piece.push_back(0);
    h.pbSrc = piece.data();
    h.cbSrcLength = static_cast<uint32_t>(in.size() - at);
    h.pbDst = room.data();
    h.cbDstLength = static_cast<uint32_t>(room.size());
    ASSERT_EQ(acmStreamPrepareHeader(s, &h, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(acmStreamConvert(s, &h, ACM_STREAMCONVERTF_END), MMSYSERR_NOERROR);
    acmStreamUnprepareHeader(s, &h, 0);
    out.insert(out.end(), room.begin(), room.begin() + h.cbDstLengthUsed);
    at += h.cbSrcLengthUsed;
    if (h.cbDstLengthUsed == 0) break;
  }
  acmStreamClose(s, 0);
  EXPECT_EQ(out, whole);
}

}  // namespace
