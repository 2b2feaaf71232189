// Layer III Huffman codebooks: the big-value pair tables 0-31 (with their
// linbits) and the count1 quadruple tables A and B, turned once into
// multi-level lookup tables for decoding.
#pragma once

#include <cstdint>

namespace mpegaudio {

// One codebook as transcribed: codes and lengths in x-major order
// (entry x * ySize + y; for the quadruple tables entry 8v + 4w + 2x + y).
struct HuffmanCodebook {
  int xSize;
  int ySize;
  const uint16_t* codes;
  const uint8_t* lengths;
};

// The distinct codebooks: index 0..31 by table_select (0, 4 and 14 have no
// codes), 32 = quadruple table A, 33 = quadruple table B.
const HuffmanCodebook* Layer3Codebook(int index);
int Layer3Linbits(int tableSelect);

// Lookup-table form. An entry is either a leaf, (length << 8) | symbol, the
// length counted from the level it sits on, or a link to a sub-table:
// kHuffLink | (offset << 5) | subBits.
constexpr uint32_t kHuffLink = 0x80000000u;

struct HuffmanLookup {
  const uint32_t* entries = nullptr;  // null for the tables without codes
  int rootBits = 0;
  int linbits = 0;
};

// The lookup for table_select 0..31, or 32/33 for the quadruple tables.
const HuffmanLookup& Layer3Lookup(int index);

}  // namespace mpegaudio
