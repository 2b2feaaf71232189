// The eight named WMA presets and the table of what WMA handles naturally at
// each sample rate.
#pragma once

#include <cstdint>

#include "engine/media/TagType.h"

class CConv2FileFormat;

enum _tWMAPresetTypedef : int32_t {
  WMA_PRESET_PHONE = 1,
  WMA_PRESET_AM,
  WMA_PRESET_FM,
  WMA_PRESET_HI_MONO,
  WMA_PRESET_RADIO,
  WMA_PRESET_TAPE,
  WMA_PRESET_CD,
  WMA_PRESET_STUDIO,
};

struct TWMAPreset {
  const char* nameKey;
  uint32_t bitrate;  // kbit/s
  uint32_t sampleRate;
  uint16_t channels;
};

constexpr int kWMAPresetCount = 8;
// Preset n (1 to 8), or null.
const TWMAPreset* WMAPreset(long n);

// Per sample rate: channels forced at that rate (0 keeps them) and the
// bit-rate range with its default, for one and for two channels (kbit/s).
struct TWMARateRow {
  uint32_t sampleRate;
  uint16_t forcedChannels;
  uint32_t minMono, minStereo;
  uint32_t maxMono, maxStereo;
  uint32_t defaultMono, defaultStereo;
};
// The row of a sample rate, or null when WMA does not take it.
const TWMARateRow* WMARateRow(uint32_t sampleRate);

// Brings a format's rate, channels and bit rate into the rate table: 24000 Hz
// becomes 22050 and 12000 Hz 11025, forced channels apply, a zero bit rate
// takes the default and one outside the range its nearest end. The row index,
// or -1 (nothing else changed) for a rate WMA does not take.
int MakeMostNaturalWMABitrateFromC2FFSettings(CConv2FileFormat* format);

// Presets 1 to 8: bit rate, rate and channels of the preset, 16 bits and the
// tag kind; other presets change nothing.
void GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tagType);
