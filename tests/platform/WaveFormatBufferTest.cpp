// The wave format with its extra bytes: copies, limits, blocks filled in
// place and the longer records read through it.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/WaveFormatBuffer.h"

namespace {

// An IMA ADPCM record and its two extra bytes, then bytes that are not its own.
struct Stored {
  uint8_t bytes[24] = {};
  Stored() {
    const tWAVEFORMATEX f{WAVE_FORMAT_IMA_ADPCM, 1, 8000, 4055, 256, 4, 2};
    std::memcpy(bytes, &f, sizeof f);
    bytes[18] = 0xf9;
    bytes[19] = 0x01;
    std::memset(bytes + 20, 0xee, 4);
  }
  const tWAVEFORMATEX* f() const { return reinterpret_cast<const tWAVEFORMATEX*>(bytes); }
};

#pragma pack(push, 1)
struct LongerRecord {
  tWAVEFORMATEX wfx;
  uint16_t first;
  uint32_t second;
};
#pragma pack(pop)

TEST(WaveFormatBuffer, CopiesTheRecordWithItsOwnExtraBytesOnly) {
  Stored s;
  CWaveFormatBuffer copy;
  EXPECT_TRUE(copy.empty());
  EXPECT_EQ(copy.Get(), nullptr);
  ASSERT_TRUE(copy.Set(s.f()));
  ASSERT_EQ(copy.size(), 20u);
  EXPECT_EQ(std::memcmp(copy.Get(), s.bytes, 20), 0);

  // Copies and the source do not share bytes.
  CWaveFormatBuffer second = copy;
  std::memset(s.bytes, 0, sizeof s.bytes);
  copy.Get()->nChannels = 2;
  EXPECT_EQ(second.Get()->wFormatTag, WAVE_FORMAT_IMA_ADPCM);
  EXPECT_EQ(second.Get()->nChannels, 1);

  ASSERT_TRUE(copy.Set(nullptr));
  EXPECT_TRUE(copy.empty());
}

TEST(WaveFormatBuffer, LimitedCopiesCountTheExtraBytesTheyKeep) {
  Stored s;
  CWaveFormatBuffer copy;
  ASSERT_TRUE(copy.Set(s.f(), 0));
  EXPECT_EQ(copy.size(), 18u);
  EXPECT_EQ(copy.Get()->cbSize, 0);
  EXPECT_EQ(s.f()->cbSize, 2);  // the source is left as it was

  // A copy of its own block, longer than the block was.
  ASSERT_TRUE(copy.Set(s.f()));
  ASSERT_TRUE(copy.Set(copy.Get(), 1));
  EXPECT_EQ(copy.size(), 19u);
  EXPECT_EQ(copy.Get()->cbSize, 1);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(copy.Get())[18], 0xf9);
}

TEST(WaveFormatBuffer, AllocatedBlocksAreZeroedAndReadAsLongerRecords) {
  CWaveFormatBuffer block;
  ASSERT_TRUE(block.Allocate(4));
  EXPECT_EQ(block.size(), sizeof(tWAVEFORMATEX));  // never shorter than the record
  EXPECT_EQ(block.As<LongerRecord>(), nullptr);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(block.Get());
  for (size_t i = 0; i < block.size(); ++i) EXPECT_EQ(bytes[i], 0) << i;

  ASSERT_TRUE(block.Allocate(sizeof(LongerRecord)));
  LongerRecord* r = block.As<LongerRecord>();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(static_cast<const void*>(r), static_cast<const void*>(block.Get()));
  r->wfx.cbSize = sizeof(LongerRecord) - sizeof(tWAVEFORMATEX);
  r->second = 0x01020304;
  CWaveFormatBuffer copy;
  ASSERT_TRUE(copy.Set(block.Get()));
  ASSERT_NE(copy.As<LongerRecord>(), nullptr);
  EXPECT_EQ(copy.As<LongerRecord>()->second, 0x01020304u);
}

}  // namespace
