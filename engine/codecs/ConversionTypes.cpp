#include "engine/codecs/ConversionTypes.h"

#include <atomic>

namespace {

const TConversionTypeRow kRows[FILE_CONVERSION_NONE] = {
    {kFormatTagPcm,
     "wav",
     1,
     SOUND_QUALITY_CD,
     {SOUND_QUALITY_MOST_NATURAL, SOUND_QUALITY_CD, SOUND_QUALITY_PRESET,
      SOUND_QUALITY_MOST_NATURAL}},
    {kFormatTagMp3,
     "mp3",
     9,
     SOUND_QUALITY_PRESET,
     {SOUND_QUALITY_USER_MAXIMUMS, SOUND_QUALITY_PRESET, SOUND_QUALITY_PRESET,
      SOUND_QUALITY_USER_MAXIMUMS}},
    {kFormatTagWma,
     "wma",
     7,
     SOUND_QUALITY_USER_MAXIMUMS,
     {SOUND_QUALITY_USER_MAXIMUMS, SOUND_QUALITY_PRESET, SOUND_QUALITY_PRESET,
      SOUND_QUALITY_USER_MAXIMUMS}},
};

std::atomic<int> available[FILE_CONVERSION_NONE] = {1, 0, 0};

}  // namespace

const TConversionTypeRow* ConversionTypeRow(int32_t type) {
  return type >= 0 && type < FILE_CONVERSION_NONE ? &kRows[type] : nullptr;
}

_tFileConversionTypedef GetFileConversionTypeFromFormatTag(unsigned short tag) {
  for (int i = 0; i < FILE_CONVERSION_NONE; ++i)
    if (kRows[i].formatTag == tag) return static_cast<_tFileConversionTypedef>(i);
  return FILE_CONVERSION_NONE;
}

int IsConversionAvailable(int32_t type) {
  return type >= 0 && type < FILE_CONVERSION_NONE ? available[type].load() : 0;
}

void SetConversionAvailable(int32_t type, int flag) {
  if (type == FILE_CONVERSION_WAVE) return;  // WAV is always available
  if (type > 0 && type < FILE_CONVERSION_NONE) available[type] = flag ? 1 : 0;
}
