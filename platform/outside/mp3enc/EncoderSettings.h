// What a stream is set up with, read from either configuration record and
// checked: the values LAME is handed, in LAME's terms.
#pragma once

#include <cstdint>

namespace mp3enc {

enum class BitRateMode { kConstant, kVariable, kAverage };

struct EncoderSettings {
  int inputRate = 0;   // of the PCM handed in
  int outputRate = 0;  // of the file written; decides the MPEG version
  int mode = 0;        // BE_MP3_MODE_*
  int channels = 2;    // of the PCM handed in: 1 for mono, else 2
  BitRateMode bitRateMode = BitRateMode::kConstant;
  int bitRate = 0;      // kbit/s: the constant rate, or the VBR/ABR minimum (0: LAME's)
  int maxBitRate = 0;   // kbit/s, VBR/ABR maximum (0: LAME's)
  int meanBitRate = 0;  // kbit/s, ABR
  int vbrQuality = 4;   // 0 best .. 9
  int emphasis = 0;
  bool crc = false;
  bool copyright = false;
  bool original = false;
  bool privateBit = false;
  bool noReservoir = false;
  bool writeVbrTag = false;  // LAME's "Xing"/"Info" frame at the start
};

}  // namespace mp3enc
