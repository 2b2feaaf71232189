// The FIR filter over 8- and 16-bit blocks: weights, saturation, the history
// that carries from block to block and per channel, in-place filtering.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/base/SampleBuffer.h"
#include "engine/effects/Filter.h"
#include "engine/effects/LowPass.h"

namespace {

tWAVEFORMATEX Format(uint16_t channels, uint16_t bits) {
  tWAVEFORMATEX f{WAVE_FORMAT_PCM, channels, 44100, 0, 0, bits, 0};
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
}

TEST(Filter, WithoutCoefficientsNothingIsFiltered) {
  CFilter filter(5, 0);
  tWAVEFORMATEX f = Format(1, 16);
  std::vector<int16_t> in = {1, 2, 3}, out = {7, 7, 7};
  _bufferType src = Block(&f, in.data(), 6), dst = Block(&f, out.data(), 6);
  EXPECT_EQ(filter.Work(&src, &dst), 0);
  EXPECT_EQ(out, (std::vector<int16_t>{7, 7, 7}));
  EXPECT_EQ(filter.SetCoefficients(0, nullptr, 0, 0), 0);
  EXPECT_EQ(filter.Work(&src, &dst), 0);
  EXPECT_EQ(filter.Type(), EFFECT_FILTER);
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

TEST(Filter, StopsWhereEitherBlockEnds) {
  CFilter unity = OneTap(1.0);
  tWAVEFORMATEX f = Format(1, 16);
  std::vector<int16_t> in = {1, 2, 3, 4, 5}, out(3, 0);
  _bufferType src = Block(&f, in.data(), 10), dst = Block(&f, out.data(), 6);
  ASSERT_EQ(unity.Work(&src, &dst), 1);
  EXPECT_EQ(out, (std::vector<int16_t>{1, 2, 3}));
  EXPECT_EQ(dst.dataBytes, 6u);
  src.bufferBytes = 3;  // half a frame is not filtered
  ASSERT_EQ(unity.Work(&src, &dst), 1);
  EXPECT_EQ(dst.dataBytes, 2u);
}
