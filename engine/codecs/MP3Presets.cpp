#include "engine/codecs/MP3Presets.h"

namespace {

const TMP3Preset kPresets[kMP3PresetCount] = {
    {"IDS_MP3_PRESET_PHONE", 2, 16, 8, 56, 6, 8000, 3, 1},
    {"IDS_MP3_PRESET_SW", 2, 24, 8, 64, 5, 11025, 3, 1},
    {"IDS_MP3_PRESET_AM", 0, 32, 16, 128, 5, 16000, 3, 1},
    {"IDS_MP3_PRESET_FM", 0, 96, 24, 160, 5, 22050, 1, 2},
    {"IDS_MP3_PRESET_VOICE", 1, 64, 32, 128, 4, 32000, 3, 1},
    {"IDS_MP3_PRESET_RADIO", 1, 112, 64, 256, 4, 44100, 1, 2},
    {"IDS_MP3_PRESET_TAPE", 1, 128, 96, 320, 4, 44100, 1, 2},
    {"IDS_MP3_PRESET_HIFI", 1, 160, 112, 320, 3, 44100, 1, 2},
    {"IDS_MP3_PRESET_CD", 1, 192, 128, 320, 2, 44100, 0, 2},
    {"IDS_MP3_PRESET_STUDIO", 1, 256, 160, 320, 0, 44100, 0, 2},
};

}  // namespace

const TMP3Preset* MP3Preset(long n) {
  return n >= 1 && n <= kMP3PresetCount ? &kPresets[n - 1] : nullptr;
}
