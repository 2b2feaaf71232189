// Test-only stream walker: finds frames in a whole MPEG audio file (sync,
// header, frame length, free format) and decodes them with CFrameDecoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mpegtest {

struct WalkResult {
  std::vector<int16_t> pcm;  // all frames' samples, interleaved (when kept)
  size_t samples = 0;        // all channels counted
  int channels = 0;          // of the first frame
  int sampleRate = 0;
  int layer = 0;
  int frames = 0;     // frames decoded, including failed ones
  int badFrames = 0;  // frames DecodeFrame refused (silence was produced)
  int crcErrors = 0;
};

// keepPcm false only counts samples; dropBad leaves out the silence of frames
// the decoder refused.
WalkResult DecodeStream(const std::string& bytes, bool keepPcm = true, bool dropBad = false);

// 10 log10(32767^2 / MSE) over the shorter of the two; 200 when identical.
double Psnr(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

std::vector<int16_t> ToSamples(const std::string& bytes);

// Names without ".bit" of the .bit files in dir beginning with prefix, sorted.
std::vector<std::string> ListStreams(const std::string& dir, const std::string& prefix);

}  // namespace mpegtest
