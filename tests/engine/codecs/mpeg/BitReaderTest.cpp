// The decoder's bit reader: the same bits on the fast and the near-the-end
// paths, zeros and an overrun past the end.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/codecs/mpeg/BitReader.h"

namespace {

using mpegaudio::CBitReader;

// Bit i of bytes, MSB first; 0 past the end.
uint32_t BitAt(const std::vector<uint8_t>& bytes, int64_t i) {
  if (i >= int64_t(bytes.size()) * 8) return 0;
  return (bytes[size_t(i >> 3)] >> (7 - (i & 7))) & 1;
}

uint32_t Expected(const std::vector<uint8_t>& bytes, int64_t pos, int n) {
  uint32_t v = 0;
  for (int k = 0; k < n; ++k) v = (v << 1) | BitAt(bytes, pos + k);
  return v;
}

TEST(BitReader, FieldsAtEveryPositionUpToAndPastTheEnd) {
  std::vector<uint8_t> bytes(13);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(0x9D * (i + 1) ^ 0x5A);
  const int64_t bits = int64_t(bytes.size()) * 8;
  for (int n : {1, 5, 13, 24, 32}) {
    for (int64_t start = 0; start <= bits; ++start) {
      CBitReader r(bytes.data(), bytes.size());
      r.SetPosition(start);
      ASSERT_EQ(r.Peek32(), Expected(bytes, start, 32)) << start;
      ASSERT_EQ(r.Read(n), Expected(bytes, start, n)) << n << " at " << start;
      EXPECT_EQ(r.Position(), start + n);
      EXPECT_EQ(r.Overrun(), start + n > bits);
    }
  }
  CBitReader r(bytes.data(), bytes.size());
  EXPECT_EQ(r.Read(0), 0u);
  r.Skip(int(bits));
  EXPECT_FALSE(r.Overrun());
  EXPECT_EQ(r.Read(3), 0u);
  EXPECT_TRUE(r.Overrun());
}

TEST(BitReader, GuardedPeekSeesTheSameBits) {
  // Ten data bytes followed by an 8-byte guard of zeros.
  std::vector<uint8_t> bytes = {0xF0, 0x0F, 0xAA, 0x55, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
  std::vector<uint8_t> guarded = bytes;
  guarded.resize(bytes.size() + 8, 0);
  CBitReader r(guarded.data(), guarded.size());
  for (int64_t pos = 0; pos <= int64_t(bytes.size()) * 8; ++pos) {
    r.SetPosition(pos);
    ASSERT_EQ(r.PeekGuarded(), Expected(bytes, pos, 32)) << pos;
  }
}

}  // namespace
