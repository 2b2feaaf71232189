#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/base/SampleBuffer.h"

namespace {

tWAVEFORMATEX Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
  tWAVEFORMATEX f{WAVE_FORMAT_PCM, channels, rate, 0, 0, bits, 0};
  ValidateFormat(&f, WAVE_FORMAT_PCM);
  return f;
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> out(samples.size() * 2);
  std::memcpy(out.data(), samples.data(), out.size());
  return out;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> out(bytes.size() / 2);
  std::memcpy(out.data(), bytes.data(), bytes.size());
  return out;
}

TEST(SampleFormats, ValidateCompletesOrLeavesTheRecordAlone) {
  tWAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 1, 1, 16, 7};
  ASSERT_EQ(ValidateFormat(&f, WAVE_FORMAT_PCM), 1);
  EXPECT_EQ(f.nBlockAlign, 4);
  EXPECT_EQ(f.nAvgBytesPerSec, 176400u);
  EXPECT_EQ(f.cbSize, 0);
  for (tWAVEFORMATEX bad :
       {tWAVEFORMATEX{1, 2, 48001, 9, 9, 16, 0}, tWAVEFORMATEX{1, 2, 44100, 9, 9, 24, 0},
        tWAVEFORMATEX{1, 3, 44100, 9, 9, 16, 0}, tWAVEFORMATEX{1, 1, 0, 9, 9, 8, 0}}) {
    tWAVEFORMATEX before = bad;
    EXPECT_EQ(ValidateFormat(&bad, WAVE_FORMAT_PCM), 0);
    EXPECT_EQ(std::memcmp(&before, &bad, sizeof bad), 0);
  }
  EXPECT_EQ(ValidateFormat(&f, WAVE_FORMAT_ADPCM), 0);
  EXPECT_EQ(ValidateFormat(nullptr, WAVE_FORMAT_PCM), 0);
}

TEST(SampleFormats, MaximaOnTheSixteenBitScale) {
  tWAVEFORMATEX eight = Pcm(1, 8000, 8);
  std::vector<uint8_t> silence(100, 128);
  long left = 5, right = 7;
  GetMaxSample(silence.data(), silence.data() + silence.size(), &eight, left, right);
  EXPECT_EQ(left, 5);
  EXPECT_EQ(right, 5);  // mono: right follows left
  tWAVEFORMATEX stereo = Pcm(2, 8000, 16);
  auto data = Bytes({100, -32768, -200, 300});
  left = right = 0;
  GetMaxSample(data.data(), data.data() + data.size(), &stereo, left, right);
  EXPECT_EQ(left, 200);
  EXPECT_EQ(right, 32768);
}

TEST(SampleFormats, ConversionsBetweenPrecisions) {
  tWAVEFORMATEX eight = Pcm(2, 8000, 8);
  uint8_t raw[] = {0, 255, 128, 64};
  _bufferType* f32 = CopyToNewBuffer(&eight, raw, sizeof raw, PRECISION_FLOAT32);
  ASSERT_NE(f32, nullptr);
  ASSERT_NE(f32->data2, nullptr);
  float v[2];
  std::memcpy(v, f32->data, sizeof v);
  EXPECT_FLOAT_EQ(v[0], -32768.0f);
  EXPECT_FLOAT_EQ(v[1], 0.0f);
  EXPECT_EQ(f32->dataBytes, 8u);
  EXPECT_EQ(f32->format->wBitsPerSample, 32);
  EXPECT_EQ(f32->format->nBlockAlign, 4);
  EXPECT_EQ(f32->format->nAvgBytesPerSec, 32u * 2 * 8000 / 8);
  _bufferType* i16 = CopyToNewBuffer(&eight, raw, sizeof raw, PRECISION_INT16);
  ASSERT_NE(i16, nullptr);
  EXPECT_EQ(i16->data2[0], 32512);
  EXPECT_EQ(i16->data2[1], (64 - 128) * 256);
  _bufferType* deep = CopyToNewBuffer(i16);
  DeleteBufferPtr(i16);
  ASSERT_NE(deep, nullptr);
  EXPECT_EQ(deep->data2[0], 32512);

  // Native 16 to native 8 and back.
  tWAVEFORMATEX sixteen = Pcm(1, 8000, 16);
  auto src = Bytes({-32768, 32767, 256});
  _bufferType from{PRECISION_NATIVE, &sixteen, 6, 6, 3, src.data(), nullptr};
  uint8_t narrow[3] = {};
  _bufferType to{PRECISION_NATIVE, &eight, 3, 0, 0, narrow, nullptr};
  tWAVEFORMATEX monoEight = Pcm(1, 8000, 8);
  to.format = &monoEight;
  CopyBufferData(&from, &to);
  EXPECT_EQ(narrow[0], 0);
  EXPECT_EQ(narrow[1], 255);
  EXPECT_EQ(narrow[2], 129);
  // A destination smaller than the source is never overrun.
  uint8_t tiny[2] = {};
  to.data = tiny;
  to.bufferBytes = 2;
  CopyBufferData(&from, &to);
  EXPECT_EQ(tiny[1], 255);
  DeleteBufferPtr(f32);
  DeleteBufferPtr(deep);
  EXPECT_EQ(deep, nullptr);
}

TEST(MixConvert, EqualRatesCopyEveryFrameFromTheFirst) {
  tWAVEFORMATEX stereo = Pcm(2, 44100, 16);
  auto src = Bytes({1, 2, 3, 4, 5, 6});
  std::vector<uint8_t> dst(12, 0);
  EXPECT_EQ(MixConvertPCM(src.data(), 12, &stereo, dst.data(), 12, &stereo), 12);
  EXPECT_EQ(Samples(dst), (std::vector<int16_t>{1, 2, 3, 4, 5, 6}));
  // Mixing adds, with saturation.
  auto loud = Bytes({30000, -30000, 0, 0, 0, 0});
  MixConvertPCM(loud.data(), 12, &stereo, dst.data(), 12, &stereo);
  MixConvertPCM(loud.data(), 12, &stereo, dst.data(), 12, &stereo);
  EXPECT_EQ(Samples(dst)[0], 32767);
  EXPECT_EQ(Samples(dst)[1], -32768);
}

TEST(MixConvert, ChannelsAndWidths) {
  tWAVEFORMATEX stereo = Pcm(2, 22050, 16), mono = Pcm(1, 22050, 16), mono8 = Pcm(1, 22050, 8);
  auto src = Bytes({3, 3, -3, -3, 1001, -1000});
  std::vector<uint8_t> dst(6, 0);
  EXPECT_EQ(MixConvertPCM(src.data(), 12, &stereo, dst.data(), 6, &mono), 6);
  EXPECT_EQ(Samples(dst), (std::vector<int16_t>{2, -2, 0}));  // halves truncate toward zero
  auto one = Bytes({-512, 1024});
  std::vector<uint8_t> wide(8, 0);
  MixConvertPCM(one.data(), 4, &mono, wide.data(), 8, &stereo);
  EXPECT_EQ(Samples(wide), (std::vector<int16_t>{-512, -512, 1024, 1024}));
  std::vector<uint8_t> narrow(2, 128);
  MixConvertPCM(one.data(), 4, &mono, narrow.data(), 2, &mono8);
  EXPECT_EQ(narrow[0], 126);
  EXPECT_EQ(narrow[1], 132);
}

TEST(MixConvert, ResamplingInterpolatesAndCoversTheSource) {
  tWAVEFORMATEX low = Pcm(1, 22050, 16), high = Pcm(1, 44100, 16);
  auto src = Bytes({0, 1000, 2000, 3000});
  std::vector<uint8_t> dst(2 * 100, 0);
  long covered = MixConvertPCM(src.data(), 8, &low, dst.data(), 200, &high);
  EXPECT_EQ(covered, 2 * 8);  // 4 source frames, two output frames each
  auto out = Samples(dst);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 8),
            (std::vector<int16_t>{0, 500, 1000, 1500, 2000, 2500, 3000, 3000}));
  std::vector<uint8_t> down(2 * 100, 0);
  covered = MixConvertPCM(dst.data(), 16, &high, down.data(), 200, &low);
  EXPECT_EQ(covered, 8);
  EXPECT_EQ(Samples(down)[3], 3000);
  // Zero or invalid sizes and formats do nothing.
  EXPECT_EQ(MixConvertPCM(src.data(), 0, &low, dst.data(), 200, &high), 0);
  tWAVEFORMATEX odd = Pcm(1, 22050, 16);
  odd.wBitsPerSample = 24;
  EXPECT_EQ(MixConvertPCM(src.data(), 8, &odd, dst.data(), 200, &high), 0);
}

}  // namespace
