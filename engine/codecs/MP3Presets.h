// The ten named MP3 presets, from the smallest file to the best sound.
#pragma once

#include <cstdint>

struct TMP3Preset {
  const char* nameKey;
  int32_t mpegVersion;  // 1 MPEG-1, 0 MPEG-2, 2 MPEG-2.5
  uint32_t bitrate;     // kbit/s
  uint32_t minBitrate;
  uint32_t maxBitrate;
  int32_t vbrQuality;
  uint32_t sampleRate;
  int32_t mode;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  uint16_t channels;
};

constexpr int kMP3PresetCount = 10;
// Preset n (1 to 10), or null.
const TMP3Preset* MP3Preset(long n);
