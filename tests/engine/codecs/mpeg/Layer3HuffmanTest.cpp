// The transcribed codebooks must be complete prefix codes, and the lookup
// tables built from them must give back every entry's symbol and length.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "engine/codecs/mpeg/Layer3Huffman.h"

namespace mpegaudio {
namespace {

TEST(Layer3Huffman, CodebooksAreCompletePrefixCodes) {
  for (int t = 0; t < 34; ++t) {
    const HuffmanCodebook* b = Layer3Codebook(t);
    if (!b) continue;
    const int n = b->xSize * b->ySize;
    double kraft = 0;
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(b->codes[i] >> b->lengths[i], 0) << "table " << t << " entry " << i;
      kraft += 1.0 / double(1u << b->lengths[i]);
    }
    EXPECT_DOUBLE_EQ(kraft, 1.0) << "table " << t;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j) {
        if (i == j || b->lengths[i] > b->lengths[j]) continue;
        EXPECT_NE(b->codes[j] >> (b->lengths[j] - b->lengths[i]), b->codes[i])
            << "table " << t << ": entry " << i << " is a prefix of entry " << j;
      }
  }
}

TEST(Layer3Huffman, LinbitsAndUnusedTables) {
  const int expected[32] = {0, 0, 0, 0, 0, 0, 0,  0,  0, 0, 0, 0, 0, 0, 0,  0,
                            1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};
  for (int t = 0; t < 32; ++t) EXPECT_EQ(Layer3Linbits(t), expected[t]) << t;
  for (int t : {0, 4, 14}) EXPECT_EQ(Layer3Lookup(t).entries, nullptr) << t;
}

// Walks the lookup levels for one code, left-aligned in a 32-bit word.
uint32_t Lookup(const HuffmanLookup& lk, uint32_t word, int* length) {
  int nb = lk.rootBits, used = 0;
  uint32_t e = lk.entries[word >> (32 - nb)];
  while (e & kHuffLink) {
    used += nb;
    word <<= nb;
    nb = int(e & 31);
    e = lk.entries[((e & ~kHuffLink) >> 5) + (word >> (32 - nb))];
  }
  *length = used + int((e >> 8) & 31);
  return e & 0xff;
}

TEST(Layer3Huffman, LookupDecodesEveryCode) {
  for (int t = 0; t < 34; ++t) {
    const HuffmanCodebook* b = Layer3Codebook(t);
    if (!b) continue;
    const HuffmanLookup& lk = Layer3Lookup(t);
    ASSERT_NE(lk.entries, nullptr);
    for (int i = 0; i < b->xSize * b->ySize; ++i) {
      // Any bits may follow the code; use ones to catch stray matches.
      uint32_t word =
          (uint32_t(b->codes[i]) << (32 - b->lengths[i])) | ((1u << (32 - b->lengths[i])) - 1);
      int length = 0;
      uint32_t sym = Lookup(lk, word, &length);
      uint32_t expected = t >= 32 ? uint32_t(i) : uint32_t(((i / b->ySize) << 4) | (i % b->ySize));
      EXPECT_EQ(sym, expected) << "table " << t << " entry " << i;
      EXPECT_EQ(length, b->lengths[i]) << "table " << t << " entry " << i;
    }
  }
}

}  // namespace
}  // namespace mpegaudio
