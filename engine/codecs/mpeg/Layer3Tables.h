// Layer III tables: scale factor band boundaries for the nine sample rates,
// the preemphasis table, and the requantisation powers computed at start-up.
#pragma once

#include <cstdint>

namespace mpegaudio {

struct ScaleFactorBands {
  int16_t longBounds[23];   // line where long band i starts; [22] = 576
  int16_t shortBounds[14];  // line (within one window) where short band i starts; [13] = 192
};

// rateIndex: 0..2 MPEG-1 (44.1, 48, 32 kHz), 3..5 MPEG-2 (22.05, 24, 16 kHz),
// 6..8 MPEG-2.5 (11.025, 12, 8 kHz).
const ScaleFactorBands& Layer3Bands(int rateIndex);

// Added to the long-block scale factors when preflag is set.
extern const uint8_t kLayer3Pretab[22];

// |v|^(4/3) for every value Huffman decoding can give (15 + 2^13 - 1).
constexpr int kPow43Size = 8207;
const float* Layer3Pow43();

// 2^(q / 4) for q in [kGainMinQ, kGainMaxQ]; values below give 0.
constexpr int kGainMinQ = -480;
constexpr int kGainMaxQ = 64;
float Layer3Gain(int q);

}  // namespace mpegaudio
