// One 4-byte MPEG audio frame header (layers I to III; MPEG-1, MPEG-2 and
// MPEG 2.5) and what follows from it: bit rate, sample rate, frame length.
// The fields and sizes are those of the MPEG decoder's own header parser.
#pragma once

#include <cstdint>

#include "engine/codecs/mpeg/MpegHeader.h"

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
  // 1 to 3, 4 for the reserved layer.
  int getLayer() const { return Fields().layer; }
  // kbit/s; 0 for index 0 and 15.
  int getBitrate() const { return Fields().bitrateKbps; }
  // Hz; 0 for the reserved version or rate.
  int getFrequency() const { return Fields().sampleRate; }
  // "Stereo", "Joint Stereo", "Dual Channel" or "Single Channel" into out
  // (kModeTextSize bytes).
  void getMode(char* out) const;

  // Bytes from this header to the next frame's; 0 when the header is not valid.
  int getFrameLength() const;
  // Samples per channel the frame holds: 384 in layer I, 1152 in layer II and
  // in MPEG-1 layer III, 576 in MPEG-2 and MPEG 2.5 layer III.
  int getSamplesPerFrame() const { return Fields().samplesPerFrame; }
  // Bytes of layer III side information that follow the header (and the CRC
  // word of a protected frame).
  int getSideInfoSize() const { return mpegaudio::Layer3SideInfoBytes(Fields()); }
  int isMpeg1() const { return Fields().lsf == 0; }

  int getFrameSync() const { return Fields().sync; }
  int getVersionIndex() const { return Fields().version; }
  int getLayerIndex() const { return 4 - Fields().layer; }
  int getProtectionBit() const { return Fields().protection ? 0 : 1; }
  int getBitrateIndex() const { return Fields().bitrateIndex; }
  int getFrequencyIndex() const { return Fields().sampleRateIndex; }
  int getPaddingBit() const { return Fields().padding; }
  int getPrivateBit() const { return Fields().privateBit; }
  int getModeIndex() const { return Fields().mode; }
  int getModeExtIndex() const { return Fields().modeExtension; }
  int getCoprightBit() const { return Fields().copyright; }
  int getOrginalBit() const { return Fields().original; }
  int getEmphasisIndex() const { return Fields().emphasis; }

  uint32_t header = 0;

 private:
  // What the decoder's parser reads from the word, valid or not.
  mpegaudio::FrameHeader Fields() const {
    mpegaudio::FrameHeader h;
    mpegaudio::DescribeHeaderWord(header, &h);
    return h;
  }
};
