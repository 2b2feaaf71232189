#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/data/ByteOrder.h"

namespace {

// The same bytes read in either order; the top bit set in every byte, so a
// sign or promotion slip shows.
TEST(ByteOrder, LoadsReadEitherOrderFromAnyAddress) {
  static constexpr uint8_t buffer[] = {0x00, 0xF1, 0xE2, 0xD3, 0xC4, 0x00};
  const uint8_t* p = buffer + 1;  // not aligned for 16 or 32 bits
  EXPECT_EQ(LoadLE16(p), 0xE2F1u);
  EXPECT_EQ(LoadBE16(p), 0xF1E2u);
  EXPECT_EQ(LoadBE24(p), 0xF1E2D3u);
  EXPECT_EQ(LoadLE32(p), 0xC4D3E2F1u);
  EXPECT_EQ(LoadBE32(p), 0xF1E2D3C4u);
  static_assert(LoadLE32(buffer) == 0xD3E2F100u && LoadBE16(buffer) == 0x00F1u);
}

TEST(ByteOrder, StoresWriteOnlyTheirBytes) {
  uint8_t b[6] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
  auto bytes = [&b] { return std::vector<uint8_t>(b, b + 6); };
  StoreLE16(b + 1, 0x8001);
  EXPECT_EQ(bytes(), (std::vector<uint8_t>{0xAA, 0x01, 0x80, 0xAA, 0xAA, 0xAA}));
  StoreLE32(b + 1, 0x80C0E0F1u);
  EXPECT_EQ(bytes(), (std::vector<uint8_t>{0xAA, 0xF1, 0xE0, 0xC0, 0x80, 0xAA}));
  EXPECT_EQ(LoadLE32(b + 1), 0x80C0E0F1u);
  StoreBE32(b + 1, 0x80C0E0F1u);
  EXPECT_EQ(bytes(), (std::vector<uint8_t>{0xAA, 0x80, 0xC0, 0xE0, 0xF1, 0xAA}));
  EXPECT_EQ(LoadBE32(b + 1), 0x80C0E0F1u);
  // The byte-by-byte path that constant evaluation takes agrees.
  static_assert([] {
    uint8_t c[6] = {};
    StoreLE16(c, 0x8001);
    StoreLE32(c + 2, 0x80C0E0F1u);
    return c[0] == 0x01 && c[1] == 0x80 && c[2] == 0xF1 && c[5] == 0x80 &&
           LoadLE32(c + 2) == 0x80C0E0F1u && LoadLE16(c) == 0x8001;
  }());
}

}  // namespace
