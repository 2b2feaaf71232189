// One 4-byte MPEG audio frame header (layers I to III; MPEG-1, MPEG-2 and
// MPEG 2.5) and what follows from it: bit rate, sample rate, frame length.
#pragma once

#include <cstdint>

class CFrameHeader {
 public:
  // Size of the buffers getMode fills ("Single Channel" and its NUL).
  static constexpr int kModeTextSize = 15;

  // The four bytes in file order, the first in the top 8 bits.
  void loadHeader(const char* fourBytes);
  // 1 when the word can start a frame we measure: sync bits set, no reserved
  // version, layer, sample rate or emphasis, and a bit rate from the table
  // (free format is refused).
  int isValidHeader() const;

  float getVersion() const;  // 2.5, 0 (reserved), 2 or 1
  int getLayer() const { return 4 - getLayerIndex(); }
  int getBitrate() const;    // kbit/s; 0 for index 0 and 15
  int getFrequency() const;  // Hz; 0 for the reserved version or rate
  // "Stereo", "Joint Stereo", "Dual Channel" or "Single Channel" into out
  // (kModeTextSize bytes).
  void getMode(char* out) const;

  // Bytes from this header to the next frame's; 0 when the header is not valid.
  int getFrameLength() const;
  // Samples per channel the frame holds: 384 in layer I, 1152 in layer II and
  // in MPEG-1 layer III, 576 in MPEG-2 and MPEG 2.5 layer III.
  int getSamplesPerFrame() const;
  // Bytes of layer III side information that follow the header (and the CRC
  // word of a protected frame).
  int getSideInfoSize() const;
  int isMpeg1() const { return getVersionIndex() == 3; }

  int getFrameSync() const { return static_cast<int>(header >> 21); }
  int getVersionIndex() const { return Bits(19, 2); }
  int getLayerIndex() const { return Bits(17, 2); }
  int getProtectionBit() const { return Bits(16, 1); }
  int getBitrateIndex() const { return Bits(12, 4); }
  int getFrequencyIndex() const { return Bits(10, 2); }
  int getPaddingBit() const { return Bits(9, 1); }
  int getPrivateBit() const { return Bits(8, 1); }
  int getModeIndex() const { return Bits(6, 2); }
  int getModeExtIndex() const { return Bits(4, 2); }
  int getCoprightBit() const { return Bits(3, 1); }
  int getOrginalBit() const { return Bits(2, 1); }
  int getEmphasisIndex() const { return Bits(0, 2); }

  uint32_t header = 0;

 private:
  int Bits(int shift, int count) const {
    return static_cast<int>((header >> shift) & ((1u << count) - 1));
  }
};
