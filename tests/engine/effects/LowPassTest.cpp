// The low-pass design measured: what a signal loses through the filter is
// what the coefficients' frequency response says it loses.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <numbers>
#include <numeric>
#include <vector>

#include "engine/base/SampleBuffer.h"
#include "engine/effects/LowPass.h"

namespace {

constexpr long kRate = 44100;
// Measured once the 31-tap history is full, over a tenth of a second: whole
// periods of every frequency used.
constexpr size_t kSettled = 31, kPeriods = 4410;

// |H(f)| of the coefficients, h[0] weighing the newest sample.
double Gain(const std::vector<double>& h, double frequency) {
  std::complex<double> sum = 0.0;
  for (size_t k = 0; k < h.size(); ++k)
    sum += h[k] * std::polar(1.0, -2.0 * std::numbers::pi * frequency * k / kRate);
  return std::abs(sum);
}

std::vector<int16_t> Filter(CLowPass& filter, std::vector<int16_t> in) {
  tWAVEFORMATEX f{WAVE_FORMAT_PCM, 1, kRate, 0, 0, 16, 0};
  ValidateFormat(&f, WAVE_FORMAT_PCM);
  _bufferType b{};
  b.precision = PRECISION_NATIVE;
  b.format = &f;
  b.data = reinterpret_cast<uint8_t*>(in.data());
  b.bufferBytes = static_cast<uint32_t>(in.size() * 2);
  EXPECT_EQ(filter.Work(&b, nullptr), 1);
  return in;
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

TEST(LowPass, CoefficientsAreTheWindowedSinc) {
  CLowPass even(4, 0, kRate, 11025);
  EXPECT_EQ(even.Type(), EFFECT_LOW_PASS);
  const std::vector<double>& h = even.Coefficients();
  ASSERT_EQ(h.size(), 4u);
  // x = i - 2; the centre tap takes the limit 2 fc / fs.
  EXPECT_DOUBLE_EQ(h[2], 0.5);
  EXPECT_NEAR(h[3], (0.54 + 0.46 * std::cos(std::numbers::pi / 2)) / std::numbers::pi, 1e-12);
  EXPECT_NEAR(h[0], 0.08 * std::sin(-std::numbers::pi) / (-2 * std::numbers::pi), 1e-12);
  // A copy is a low-pass filter with the same design.
  std::unique_ptr<CEffect> copy(even.Copy());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->Type(), EFFECT_LOW_PASS);
  EXPECT_EQ(static_cast<CLowPass&>(*copy).Coefficients(), h);
  // A design that cannot be made leaves the filter as it was.
  EXPECT_EQ(even.UpdateFilterSettings(8, 0, 0, 1000, 2), 0);
  EXPECT_EQ(even.UpdateFilterSettings(0, 0, kRate, 1000, 2), 0);
  EXPECT_EQ(even.Coefficients(), h);
}

TEST(LowPass, ThirtyOneTapsPassTheBandAndStopWhatLiesWellAbove) {
  CLowPass filter(31, 0, kRate, 4410);
  const std::vector<double> h = filter.Coefficients();
  ASSERT_EQ(h.size(), 31u);

  // DC comes out at the sum of the coefficients once the history is full.
  const double sum = std::accumulate(h.begin(), h.end(), 0.0);
  std::vector<int16_t> dc = Filter(filter, std::vector<int16_t>(200, 10000));
  for (size_t i = 31; i < dc.size(); ++i) ASSERT_NEAR(dc[i], 10000 * sum, 1.0) << i;
  EXPECT_LT(dc[0], dc[30]);  // the filter fills from silence

  // Far above the cut-off the response is more than 20 dB down, and the
  // measured loss is what it predicts (within the truncation to integers).
  for (double f : {11000.0, 15000.0, 20000.0}) {
    filter.Flush();
    const double expected = 20000.0 * Gain(h, f);
    EXPECT_LT(20.0 * std::log10(Gain(h, f)), -20.0) << f;
    const double measured =
        Amplitude(Filter(filter, Sine(f, 20000.0, kSettled + kPeriods)), kSettled, f);
    EXPECT_NEAR(measured, expected, 1.0) << f;
    EXPECT_LT(measured, 2000.0) << f;
  }
  // Well inside the band the sine passes at the response's gain.
  filter.Flush();
  const double measured =
      Amplitude(Filter(filter, Sine(1000.0, 20000.0, kSettled + kPeriods)), kSettled, 1000.0);
  EXPECT_NEAR(measured, 20000.0 * Gain(h, 1000.0), 2.0);
  EXPECT_NEAR(measured, 20000.0, 20.0);
}
