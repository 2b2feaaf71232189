// What FFmpeg's WMA version 2 encoder really accepts, found by trying it:
// opening it with a rate, channel count and bit rate, and encoding a few
// frames of loud noise. Answers are cached for the life of the process.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/WaveFormat.h"

namespace wmaglue {

class CEncoderLimits {
 public:
  // Whether the encoder works at these settings.
  static bool Accepts(uint32_t rate, uint32_t channels, uint32_t bitrate);
  // The lowest bit rate (to 1 kbit/s) it works at; 0 when it works at none.
  static uint32_t LowestBitrate(uint32_t rate, uint32_t channels);
  // The wave formats (tag 353) of the rates and bit rates of the WMA
  // ladder, mono and stereo, that it accepts.
  static const std::vector<tWAVEFORMATEX>& CodecList();
  // Bytes of each coded block at these settings.
  static uint16_t BlockAlign(uint32_t rate, uint32_t channels, uint32_t bitrate);
};

}  // namespace wmaglue
