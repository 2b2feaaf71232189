// The conversion targets and the constant table of their format rules.
#pragma once

#include <cstdint>

enum _tFileConversionTypedef : int32_t {
  FILE_CONVERSION_WAVE = 0,
  FILE_CONVERSION_MP3 = 1,
  FILE_CONVERSION_WMA = 2,
  FILE_CONVERSION_NONE = 3  // no target; also the number of targets
};

enum _tSoundQualityTypedef : int32_t {
  SOUND_QUALITY_MOST_NATURAL =
      0,                     // the source's shape, nearest to what the target handles naturally
  SOUND_QUALITY_CD = 1,      // the target's default preset in CD form
  SOUND_QUALITY_PRESET = 2,  // the user's preset, or the explicit settings with presets off
  SOUND_QUALITY_USER_MAXIMUMS = 3,  // the source's shape limited to the user's settings
  SOUND_QUALITY_UNCHANGED = 4       // only as an argument: keep the current quality
};

constexpr uint16_t kFormatTagPcm = 1;
constexpr uint16_t kFormatTagMp3 = 85;
constexpr uint16_t kFormatTagWma = 353;

struct TConversionTypeRow {
  uint16_t formatTag;
  const char* defaultExt;
  int32_t defaultPreset;
  _tSoundQualityTypedef defaultQuality;
  _tSoundQualityTypedef qualityMap[4];  // what a requested quality 0-3 becomes
};

// The row of a target, or null for FILE_CONVERSION_NONE and other values.
const TConversionTypeRow* ConversionTypeRow(int32_t type);
_tFileConversionTypedef GetFileConversionTypeFromFormatTag(unsigned short tag);

// Whether each target can be written (WAV always; MP3 and WMA once their
// libraries were found).
int IsConversionAvailable(int32_t type);
void SetConversionAvailable(int32_t type, int available);
