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

private:
  // state of the implementation (history of the matrixing output)
  alignas(64) float history_[2][16 * 64];
  int phase_ = 0;
};

}  // namespace mpegaudio
