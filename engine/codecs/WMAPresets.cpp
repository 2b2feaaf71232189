#include "engine/codecs/WMAPresets.h"

#include <algorithm>

#include "engine/codecs/Conv2FileFormat.h"

namespace {

const TWMAPreset kPresets[kWMAPresetCount] = {
    {"IDS_WMA_PRESET_PHONE", 8, 8000, 1},   {"IDS_WMA_PRESET_AM", 20, 16000, 1},
    {"IDS_WMA_PRESET_FM", 32, 22050, 2},    {"IDS_WMA_PRESET_HI_MONO", 48, 44100, 1},
    {"IDS_WMA_PRESET_RADIO", 64, 44100, 2}, {"IDS_WMA_PRESET_TAPE", 96, 44100, 2},
    {"IDS_WMA_PRESET_CD", 128, 44100, 2},   {"IDS_WMA_PRESET_STUDIO", 192, 44100, 2},
};

const TWMARateRow kRates[] = {
    {44100, 0, 32, 32, 48, 192, 48, 160}, {48000, 2, 128, 128, 192, 192, 192, 192},
    {32000, 0, 20, 32, 20, 48, 20, 48},   {22050, 0, 16, 22, 20, 32, 20, 32},
    {16000, 0, 10, 20, 20, 20, 20, 20},   {11025, 1, 8, 8, 8, 8, 8, 8},
    {8000, 0, 5, 12, 8, 12, 8, 12},
};

}  // namespace

const TWMAPreset* WMAPreset(long n) {
  return n >= 1 && n <= kWMAPresetCount ? &kPresets[n - 1] : nullptr;
}

const TWMARateRow* WMARateRow(uint32_t sampleRate) {
  for (const auto& row : kRates)
    if (row.sampleRate == sampleRate) return &row;
  return nullptr;
}

int MakeMostNaturalWMABitrateFromC2FFSettings(CConv2FileFormat* format) {
  if (!format) return -1;
  if (format->nSamplesPerSec == 24000) format->nSamplesPerSec = 22050;
  if (format->nSamplesPerSec == 12000) format->nSamplesPerSec = 11025;
  const TWMARateRow* row = WMARateRow(format->nSamplesPerSec);
  if (!row) return -1;
  if (row->forcedChannels) format->nChannels = row->forcedChannels;
  const bool mono = format->nChannels == 1;
  const uint32_t low = mono ? row->minMono : row->minStereo;
  const uint32_t high = mono ? row->maxMono : row->maxStereo;
  if (format->bitrate == 0)
    format->bitrate = mono ? row->defaultMono : row->defaultStereo;
  else
    format->bitrate = std::clamp(format->bitrate, low, high);
  format->CalcBlockAlignNAvgBytesPerSec();
  return static_cast<int>(row - kRates);
}

void GetFormatFromPreset(CConv2FileFormat* format, long preset, _tTagTypedef tagType) {
  const TWMAPreset* row = WMAPreset(preset);
  if (!format || !row) return;
  format->bitrate = row->bitrate;
  format->nSamplesPerSec = row->sampleRate;
  format->nChannels = row->channels;
  format->wBitsPerSample = 16;
  format->CalcBlockAlignNAvgBytesPerSec();
  if (tagType != TAG_UNCHANGED) format->tagType = tagType;
}
