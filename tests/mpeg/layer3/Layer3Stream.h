// Test-only walker over a layer III stream: finds each frame by its sync word
// and header, decodes it with CFrameDecoder and collects the PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/MpegHeader.h"

namespace mpegaudio::test {

struct FrameSpan {
  FrameHeader h;
  size_t offset = 0;
};

// The layer III frames of a stream, in order (free format measured once).
std::vector<FrameSpan> FindFrames(const std::string& bytes);

struct DecodedStream {
  std::vector<int16_t> pcm;  // interleaved when stereo
  int channels = 0;
  int sampleRate = 0;
  int frames = 0;
  int failedFrames = 0;   // frames that gave a negative result (and silence)
  int skippedFrames = 0;  // leading frames without their earlier main data (no output)
};

// Decodes frames [first, end) of the stream with a fresh decoder.
DecodedStream DecodeFrames(const std::string& bytes, const std::vector<FrameSpan>& frames,
                           size_t first = 0);

// 10 log10(32767^2 / MSE) over the first n samples; 200 for identical input.
double Psnr(const int16_t* a, const int16_t* b, size_t n);

}  // namespace mpegaudio::test
