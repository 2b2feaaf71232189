#include "engine/media/FrameHeader.h"

#include <cstring>

namespace {

// Bit rates in kbit/s by bit-rate index: ISO/IEC 11172-3 for MPEG-1 and
// ISO/IEC 13818-3 for the lower sampling frequencies (MPEG-2 and MPEG 2.5).
const int kMpeg1Rates[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},  // layer I
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},     // layer II
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}};     // layer III
const int kLowRates[2][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},  // layer I
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};      // layers II, III

// Sample rates by version index (MPEG 2.5, reserved, MPEG-2, MPEG-1) and rate index.
const int kFrequencies[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

const char* const kModeNames[4] = {"Stereo", "Joint Stereo", "Dual Channel", "Single Channel"};

}  // namespace

void CFrameHeader::loadHeader(const char* b) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(b);
  header = (uint32_t(u[0]) << 24) | (uint32_t(u[1]) << 16) | (uint32_t(u[2]) << 8) | u[3];
}

int CFrameHeader::isValidHeader() const {
  return getFrameSync() == 0x7FF && getVersionIndex() != 1 && getLayerIndex() != 0 &&
         getBitrateIndex() != 0 && getBitrateIndex() != 15 && getFrequencyIndex() != 3 &&
         getEmphasisIndex() != 2;
}

float CFrameHeader::getVersion() const {
  static const float kVersions[4] = {2.5f, 0.0f, 2.0f, 1.0f};
  return kVersions[getVersionIndex()];
}

int CFrameHeader::getBitrate() const {
  int layer = getLayer();
  if (layer < 1 || layer > 3) return 0;
  if (header & (1u << 19)) return kMpeg1Rates[layer - 1][getBitrateIndex()];
  return kLowRates[layer == 1 ? 0 : 1][getBitrateIndex()];
}

int CFrameHeader::getFrequency() const {
  int index = getFrequencyIndex();
  return index < 3 ? kFrequencies[getVersionIndex()][index] : 0;
}

void CFrameHeader::getMode(char* out) const { std::strcpy(out, kModeNames[getModeIndex()]); }

int CFrameHeader::getFrameLength() const {
  if (!isValidHeader()) return 0;
  double rate = getBitrate() * 1000.0;
  double frequency = getFrequency();
  int padding = getPaddingBit();
  switch (getLayer()) {
    case 1:  // whole 4-byte slots, 12 per bit rate over sample rate
      return (static_cast<int>(rate * 12 / frequency) + padding) * 4;
    case 2:
      return padding + static_cast<int>(rate * 144 / frequency);
    default:  // layer III: 1152 samples in MPEG-1, 576 at the lower rates
      return padding + static_cast<int>(rate * (isMpeg1() ? 144 : 72) / frequency);
  }
}

int CFrameHeader::getSamplesPerFrame() const {
  switch (getLayer()) {
    case 1:
      return 384;
    case 2:
      return 1152;
    case 3:
      return isMpeg1() ? 1152 : 576;
    default:
      return 0;
  }
}

int CFrameHeader::getSideInfoSize() const {
  bool mono = getModeIndex() == 3;
  if (isMpeg1()) return mono ? 17 : 32;
  return mono ? 9 : 17;
}
