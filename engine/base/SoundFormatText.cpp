// Describing a wave format in the engine's words.
#include <string>

#include "engine/base/SampleBuffer.h"
#include "engine/base/TonalisStrings.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/KeyedFormat.h"

namespace {
std::string Text(const char* key, size_t max) {
  std::string s = TonalisLoadKeyed(key);
  if (s.size() > max) s.resize(max);
  return s;
}
}  // namespace

void SoundFormatToString(const tWAVEFORMATEX* format, char* out, int outLen, const char* name) {
  // The text is bounded by the caller's length; without one nothing is written.
  if (!out || outLen <= 0) return;
  out[0] = 0;
  if (!format) return;
  // More than two channels are mixed down to stereo on the way into the engine.
  std::string channels =
      format->nChannels > 2
          ? FormatKeyed("FS_DOWNMIX", Text("FS_DOWNMIX", 32), {format->nChannels}).substr(0, 32)
          : Text(format->nChannels == 2 ? "FS_STEREO" : "FS_MONO", 32);
  std::string pattern = Text("FS_WAVE_FORMAT", 32);
  std::string formatName = name ? std::string(name).substr(0, 128) : Text("FS_MS_PCM", 128);
  std::string s = FormatKeyed("FS_WAVE_FORMAT", pattern,
                              {formatName, format->nSamplesPerSec / 1000,
                               format->nSamplesPerSec % 1000, format->wBitsPerSample, channels});
  CopyBounded(out, outLen, s);
}
