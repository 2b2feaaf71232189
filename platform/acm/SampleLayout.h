// How the samples of a linear wave format lie in its blocks: integers or IEEE
// floats, the bytes each takes, the channels and their speakers. Read from a
// plain record (tag 1 or 3) or a WAVE_FORMAT_EXTENSIBLE one whose sub-format
// is PCM or IEEE float. Samples are read by their container: an extensible
// record's valid bits only say how many of its bits carry sound, and the
// others are zero.
#pragma once

#include <cstdint>

#include "platform/WaveFormat.h"

class CSampleLayout {
 public:
  enum TEncoding { kInteger, kFloat };

  static constexpr int kMaxChannels = 8;
  static constexpr uint32_t kMaxRate = 192000;

  // False, leaving the layout as it was, for anything but integers of 8, 16,
  // 24 or 32 bits or floats of 32 or 64, in 1 to kMaxChannels channels at 1 to
  // kMaxRate Hz, with a block align of exactly one sample per channel. The
  // record must hold its cbSize extra bytes.
  bool Read(const tWAVEFORMATEX* format);

  TEncoding encoding = kInteger;
  int bytes = 2;  // per sample
  int channels = 1;
  uint32_t rate = 0;
  uint32_t channelMask = 0;  // speakers by WAVE_FORMAT_EXTENSIBLE bit; 0: not given
  bool extensible = false;
};
