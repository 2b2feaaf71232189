// Helpers of the sound tests: WAV files built byte by byte (for damaged and
// unusual files) or made with sox, and a play-once render that drives a
// sound the way the conversion mix does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WaveFormat.h"

class CPCMSound;

namespace soundtest {

std::string Le16(uint16_t v);
std::string Le32(uint32_t v);
std::string Chunk(const char* id, const std::string& data);
std::string FmtData(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits);
// A RIFF WAVE file of the given chunks (already framed with Chunk).
std::string Riff(const std::string& chunks, const char* form = "WAVE");
std::string Pcm16(const std::vector<int16_t>& samples);

tWAVEFORMATEX Pcm(uint16_t channels, uint32_t rate, uint16_t bits);

// Runs sox; false when it failed.
bool Sox(const std::string& args);
// The file's samples as sox decodes them: 16-bit signed, same rate and channels.
std::vector<int16_t> SoxSamples(const std::string& path);

struct Render {
  std::vector<uint8_t> bytes;
  int chunks = 0;
  int lastResult = -1;
};
// Puts the sound alone in a group in play-once mode and pulls it chunk by
// chunk into zeroed chunks of the format until it stops returning "more".
Render RenderPlayOnce(CPCMSound& sound, const tWAVEFORMATEX& format, uint32_t chunkBytes,
                      int maxChunks = 100000);

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes);

}  // namespace soundtest
