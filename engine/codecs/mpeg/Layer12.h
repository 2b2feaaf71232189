// Layer I and layer II audio data of one frame: bit allocation, scale
// factors, requantisation, giving subband samples for the synthesis filter bank.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/codecs/mpeg/MpegHeader.h"

namespace mpegaudio {

class CLayer12 {
 public:
  // data points just past the header and CRC; len is the rest of the frame.
  // Fills out[ch][slot][subband] (12 slots for layer I, 36 for layer II) and
  // returns the number of slots, or a negative kFrame... code.
  int Decode(const FrameHeader& h, const uint8_t* data, size_t len, float (*out)[36][32]);

  // Bits after the CRC word that the last decoded frame's CRC covers (bit
  // allocation, and in layer II the scale factor selection); -1 when unknown.
  int ProtectedBits() const { return protectedBits_; }

 private:
  int DecodeLayer1(const FrameHeader& h, const uint8_t* data, size_t len, float (*out)[36][32]);
  int DecodeLayer2(const FrameHeader& h, const uint8_t* data, size_t len, float (*out)[36][32]);

  int protectedBits_ = -1;
};

}  // namespace mpegaudio
