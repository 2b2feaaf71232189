// Polyphase synthesis filter bank of one channel: 32 subband samples per time
// slot become 32 PCM samples.
#pragma once

#include <cstdint>

namespace mpegaudio {

class CSynthesis {
 public:
  CSynthesis();
  void Reset();
  // Runs `slots` time slots of 32 subband samples (full scale +-1.0) and
  // writes 32 * slots samples, rounded and clipped to 16 bits, to pcm with the
  // given stride (1 for mono output, 2 for interleaved stereo).
  void Run(const float (*subbands)[32], int slots, int16_t* pcm, int stride);

  // The synthesis window in units of 2^-16, all 512 taps (for tests).
  static int WindowTap(int i);

 private:
  // The two halves of the last 16 matrixing outputs (V[0..31] and V[32..63]
  // of each slot), newest first from row phase_; every row is stored twice,
  // at phase_ and phase_ + 16, so the 16 rows of a slot are contiguous.
  alignas(64) float history_[2][32 * 32];
  int phase_ = 0;
};

}  // namespace mpegaudio
