// The FIR filter over 8- and 16-bit blocks: weights, saturation, the history
// that carries from block to block and per channel, in-place filtering; and
// the low-pass design measured: what a signal loses through the filter is
// what the coefficients' frequency response says it loses.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <numeric>
#include <vector>

#include "engine/base/SampleBuffer.h"
#include "engine/effects/Filter.h"
#include "engine/effects/LowPass.h"

namespace {

constexpr long kRate = 44100;
// Measured once the 31-tap history is full, over a tenth of a second: whole
// periods of every frequency used.
constexpr size_t kSettled = 31, kPeriods = 4410;

tWAVEFORMATEX Format(uint16_t channels, uint16_t bits) {
  tWAVEFORMATEX f{WAVE_FORMAT_PCM, channels, kRate, 0, 0, bits, 0};
  ValidateFormat(&f, WAVE_FORMAT_PCM);
  return f;
}

_bufferType Block(tWAVEFORMATEX* format, void* data, size_t bytes) {
  _bufferType b{};
  b.precision = PRECISION_NATIVE;
  b.format = format;
  b.data = static_cast<uint8_t*>(data);
  b.bufferBytes = static_cast<uint32_t>(bytes);
  return b;
}

// Filters 16-bit samples into a new block of the same size.
std::vector<int16_t> Filtered(CFilter& filter, std::vector<int16_t> in, uint16_t channels = 1) {
  tWAVEFORMATEX f = Format(channels, 16);
  std::vector<int16_t> out(in.size(), 0x5555);
  _bufferType src = Block(&f, in.data(), in.size() * 2);
  _bufferType dst = Block(&f, out.data(), out.size() * 2);
  EXPECT_EQ(filter.Work(&src, &dst), 1);
  EXPECT_EQ(dst.dataBytes, out.size() * 2);
  return out;
}

CFilter OneTap(double h) {
  CFilter filter(1, 0);
  EXPECT_EQ(filter.SetCoefficients(1, &h, 0, 0), 1);
  return filter;
}

// |H(f)| of the coefficients, h[0] weighing the newest sample.
double Gain(const std::vector<double>& h, double frequency) {
  std::complex<double> sum = 0.0;
  for (size_t k = 0; k < h.size(); ++k)
    sum += h[k] * std::polar(1.0, -2.0 * std::numbers::pi * frequency * k / kRate);
  return std::abs(sum);
}

// Amplitude of a sine of the frequency in the samples from `from` on (least
// squares against sine and cosine; exact over whole periods).
double Amplitude(const std::vector<int16_t>& s, size_t from, double frequency) {
  double ss = 0, sc = 0;
  for (size_t i = from; i < s.size(); ++i) {
    const double phase = 2.0 * std::numbers::pi * frequency * i / kRate;
    ss += s[i] * std::sin(phase);
    sc += s[i] * std::cos(phase);
  }
  const double n = static_cast<double>(s.size() - from);
  return 2.0 * std::hypot(ss, sc) / n;
}

std::vector<int16_t> Sine(double frequency, double amplitude, size_t n) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i)
    s[i] = static_cast<int16_t>(
        std::lround(amplitude * std::sin(2.0 * std::numbers::pi * frequency * i / kRate)));
  return s;
}

}  // namespace

TEST(Filter, OneTapCopiesOrScalesWithSaturation) {
  const std::vector<int16_t> in = {0, 1, -1, 20000, -20000, 32767, -32768};
  CFilter unity = OneTap(1.0);
  EXPECT_EQ(Filtered(unity, in), in);
  CFilter twice = OneTap(2.0);
  EXPECT_EQ(Filtered(twice, in), (std::vector<int16_t>{0, 2, -2, 32767, -32768, 32767, -32768}));
  // The weighed sum is truncated toward zero.
  CFilter third = OneTap(1.0 / 3.0);
  EXPECT_EQ(Filtered(third, {100, -100, 2}), (std::vector<int16_t>{33, -33, 0}));

  // Without coefficients nothing is filtered.
  CFilter none(5, 0);
  tWAVEFORMATEX f = Format(1, 16);
  std::vector<int16_t> data = {1, 2, 3};
  _bufferType block = Block(&f, data.data(), 6);
  EXPECT_EQ(none.Work(&block, nullptr), 0);
  EXPECT_EQ(none.SetCoefficients(0, nullptr, 0, 0), 0);
  EXPECT_EQ(none.Work(&block, nullptr), 0);
  EXPECT_EQ(data, (std::vector<int16_t>{1, 2, 3}));
}

// h = {0, 1}: a delay of one sample, kept per channel and across blocks.
TEST(Filter, HistoryCarriesAcrossBlocksAndChannels) {
  const double delay[] = {0.0, 1.0};
  CFilter stereo(2, 1);
  ASSERT_EQ(stereo.SetCoefficients(2, delay, 1, 0), 1);
  EXPECT_EQ(Filtered(stereo, {10, -10, 20, -20}, 2), (std::vector<int16_t>{0, 0, 10, -10}));
  EXPECT_EQ(Filtered(stereo, {30, -30}, 2), (std::vector<int16_t>{20, -20}));
  // A copy goes on from the same history, independently of the original.
  std::unique_ptr<CEffect> copy(stereo.Copy());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Type(), EFFECT_FILTER);
  auto& copied = static_cast<CFilter&>(*copy);
  EXPECT_EQ(Filtered(copied, {40, -40}, 2), (std::vector<int16_t>{30, -30}));
  EXPECT_EQ(Filtered(stereo, {50, -50}, 2), (std::vector<int16_t>{30, -30}));
  stereo.Flush();
  EXPECT_EQ(Filtered(stereo, {60, -60}, 2), (std::vector<int16_t>{0, 0}));
  // New coefficients start from silence too.
  ASSERT_EQ(copied.SetCoefficients(2, delay, 0, 0), 1);
  EXPECT_EQ(Filtered(copied, {1, 2, 3}), (std::vector<int16_t>{0, 1, 2}));
}

TEST(Filter, InPlaceEqualsIntoAnotherBlock) {
  std::vector<int16_t> signal(3000);
  for (size_t i = 0; i < signal.size(); ++i)
    signal[i] = static_cast<int16_t>((i * 7919 % 65536) - 32768);  // full-scale, noise-like
  CLowPass apart(31, 1, 44100, 4410), inPlace(31, 1, 44100, 4410);
  std::vector<int16_t> expected = Filtered(apart, signal, 2);
  tWAVEFORMATEX f = Format(2, 16);
  std::vector<int16_t> data = signal;
  _bufferType block = Block(&f, data.data(), data.size() * 2);
  ASSERT_EQ(inPlace.Work(&block, nullptr), 1);
  EXPECT_EQ(data, expected);
  EXPECT_NE(data, signal);
}

TEST(Filter, EightBitSamplesOnTheSixteenBitScale) {
  tWAVEFORMATEX eight = Format(1, 8), sixteen = Format(1, 16);
  std::vector<uint8_t> in = {0, 1, 127, 128, 200, 255};
  std::vector<uint8_t> out(in.size());
  _bufferType src = Block(&eight, in.data(), in.size());
  _bufferType dst = Block(&eight, out.data(), out.size());
  CFilter unity = OneTap(1.0);
  ASSERT_EQ(unity.Work(&src, &dst), 1);
  EXPECT_EQ(out, in);
  CFilter twice = OneTap(2.0);
  ASSERT_EQ(twice.Work(&src, &dst), 1);
  EXPECT_EQ(out, (std::vector<uint8_t>{0, 0, 126, 128, 255, 255}));
  // Into a 16-bit block: the same values on the 16-bit scale.
  std::vector<int16_t> wide(in.size());
  _bufferType wideDst = Block(&sixteen, wide.data(), wide.size() * 2);
  ASSERT_EQ(unity.Work(&src, &wideDst), 1);
  EXPECT_EQ(wide, (std::vector<int16_t>{-32768, -32512, -256, 0, 18432, 32512}));
}

TEST(LowPass, ThirtyOneTapsPassTheBandAndStopWhatLiesWellAbove) {
  CLowPass filter(31, 0, kRate, 4410);
  const std::vector<double> h = filter.Coefficients();
  ASSERT_EQ(h.size(), 31u);
  EXPECT_EQ(filter.Type(), EFFECT_LOW_PASS);
  EXPECT_EQ(filter.UpdateFilterSettings(8, 0, 0, 1000, 2), 0);  // no rate: kept as it was
  EXPECT_EQ(filter.Coefficients(), h);

  // DC comes out at the sum of the coefficients once the history is full.
  const double sum = std::accumulate(h.begin(), h.end(), 0.0);
  std::vector<int16_t> dc = Filtered(filter, std::vector<int16_t>(200, 10000));
  for (size_t i = 31; i < dc.size(); ++i) ASSERT_NEAR(dc[i], 10000 * sum, 1.0) << i;
  EXPECT_LT(dc[0], dc[30]);  // the filter fills from silence

  // Far above the cut-off the response is more than 20 dB down, and the
  // measured loss is what it predicts (within the truncation to integers).
  for (double f : {11000.0, 15000.0, 20000.0}) {
    filter.Flush();
    const double expected = 20000.0 * Gain(h, f);
    EXPECT_LT(20.0 * std::log10(Gain(h, f)), -20.0) << f;
    const double measured =
        Amplitude(Filtered(filter, Sine(f, 20000.0, kSettled + kPeriods)), kSettled, f);
    EXPECT_NEAR(measured, expected, 1.0) << f;
    EXPECT_LT(measured, 2000.0) << f;
  }
  // Well inside the band the sine passes at the response's gain.
  filter.Flush();
  const double measured =
      Amplitude(Filtered(filter, Sine(1000.0, 20000.0, kSettled + kPeriods)), kSettled, 1000.0);
  EXPECT_NEAR(measured, 20000.0 * Gain(h, 1000.0), 2.0);
  EXPECT_NEAR(measured, 20000.0, 20.0);
}
