#include "engine/media/FrameHeader.h"

#include <cstring>

namespace {
const char* const kModeNames[4] = {"Stereo", "Joint Stereo", "Dual Channel", "Single Channel"};
}  // namespace

void CFrameHeader::loadHeader(const char* b) {
  header = mpegaudio::ReadHeaderWord(reinterpret_cast<const uint8_t*>(b));
}

int CFrameHeader::isValidHeader() const {
  mpegaudio::FrameHeader h;
  return mpegaudio::ParseFrameHeader(header, &h) && h.bitrateIndex != 0;
}

float CFrameHeader::getVersion() const {
  static const float kVersions[4] = {2.5f, 0.0f, 2.0f, 1.0f};
  return kVersions[getVersionIndex()];
}

void CFrameHeader::getMode(char* out) const { std::strcpy(out, kModeNames[getModeIndex()]); }

int CFrameHeader::getFrameLength() const {
  mpegaudio::FrameHeader h;
  return mpegaudio::ParseFrameHeader(header, &h) ? h.frameBytes : 0;
}
