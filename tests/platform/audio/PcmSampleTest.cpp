#include <gtest/gtest.h>

#include <cstdint>

#include "platform/audio/PcmSample.h"

namespace {

TEST(PcmSample, SixteenBitSamplesAreSignedLittleEndian) {
  const uint8_t b[] = {0x00, 0x80, 0xFF, 0x7F, 0xFF, 0xFF};
  EXPECT_EQ(LoadSample16(b), -32768);
  EXPECT_EQ(LoadSample16(b + 2), 32767);
  EXPECT_EQ(LoadSample16(b + 4), -1);
  uint8_t out[2];
  StoreSample16(out, -2);
  EXPECT_EQ(out[0], 0xFE);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(Saturate16(32768), 32767);
  EXPECT_EQ(Saturate16(-32769), -32768);
  EXPECT_EQ(Saturate16(int64_t{1} << 40), 32767);
  EXPECT_EQ(Saturate16(-5), -5);
}

TEST(PcmSample, EightBitSamplesAreUnsignedOnTheSixteenBitScale) {
  const uint8_t b[] = {0, 128, 255};
  EXPECT_EQ(LoadSample8(b), -32768);
  EXPECT_EQ(LoadSample8(b + 1), 0);
  EXPECT_EQ(LoadSample8(b + 2), 32512);
  // Storing keeps the top 8 bits: values round towards minus infinity.
  const int32_t values[] = {-32768, -1, 0, 255, 256, 32767};
  const uint8_t stored[] = {0, 127, 128, 128, 129, 255};
  for (int i = 0; i < 6; ++i) {
    uint8_t out = 0;
    StoreSample8(&out, values[i]);
    EXPECT_EQ(out, stored[i]) << values[i];
  }
}

}  // namespace
