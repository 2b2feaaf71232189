// Test helper: decodes a stream through the decoder library's public
// interface, with the file input or the memory input, as a caller would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mpeglib {

enum class Feed { kFile, kStaticBuffer, kRing };

struct LibraryResult {
  int openResult = 0;
  int endResult = 0;  // the code that ended decoding
  std::vector<int16_t> pcm;
  int64_t frames = 0;
  int64_t abandoned = 0;
  int channels = 0;
  int sampleRate = 0;
  // Where in pcm each run of blocks at one sample rate begins.
  struct RateRun {
    int sampleRate;
    size_t start;
  };
  std::vector<RateRun> rateRuns;
  // "level/layer/mode" after every frame that reported a change of format
  std::vector<std::string> formats;
  std::vector<int> bitrates;       // reported bit rate after each frame
  std::vector<int64_t> elapsedMs;  // after each frame
  std::vector<int64_t> remainingMs;
  std::vector<std::string> errors;  // "message|detail" from the error callback
};

// path: a file; bytes are read from it for the memory feeds. chunk: bytes per
// feed for the ring.
LibraryResult DecodeWithLibrary(const std::string& path, Feed feed = Feed::kFile,
                                bool gapless = false, size_t chunk = 4096);

}  // namespace mpeglib
