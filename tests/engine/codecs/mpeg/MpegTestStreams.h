// Test support for the MPEG audio decoder library: the test streams of
// tests/data/mpeg (listed, read, their reference decodings) and one way to
// decode a stream, either through the library's public interface as a caller
// does (file input, or the memory input as a static buffer or a ring fed in
// pieces) or frame by frame through the frame decoder alone, over frames
// found here by sync word and header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/MpegHeader.h"
#include "tests/TestSupport.h"

namespace mpegtest {

using testsupport::Psnr;
using testsupport::ToSamples;

std::string StreamDir();                          // tests/data/mpeg
std::string StreamPath(const std::string& file);  // StreamDir() + "/" + file

// A file of the streams' folder ("l3-compl.bit", "fuzz/..."). The streams
// belong to the tree, so a missing one fails the test, naming its path.
std::string ReadStreamFile(const std::string& file);

// Names without ".bit" of the streams whose names begin with prefix, sorted;
// finding none fails the test.
std::vector<std::string> ListStreams(const std::string& prefix = "");

// The ISO conformance streams: l1-, l2-, l3- without "nonstandard", M2L3_.
bool IsConformance(const std::string& name);

// The layer a conformance stream's name gives.
int ConformanceLayer(const std::string& name);

// A decoding of a conformance stream is as long as its reference allows:
// layer I and II references run on past the streams' audio (the PSNR is
// taken over the decoding's length); a layer III reference may leave out up
// to one frame's samples (2304, all channels counted) at the end.
void ExpectConformanceLength(const std::vector<int16_t>& got, const std::vector<int16_t>& ref,
                             int layer);

// NAME.pcm, the reference decoding of NAME.bit, as samples.
std::vector<int16_t> Reference(const std::string& name);

struct FrameSpan {
  mpegaudio::FrameHeader h;
  size_t offset = 0;
};

// The frames of a whole stream of any layer, in order: after a leading ID3v2
// tag, each found by its sync word and header (the emphasis field ignored:
// it does not change decoding, and streams with its reserved value still
// decode). Out of sync, a header counts only when a compatible one follows
// it; a free-format stream's frame size is measured once.
std::vector<FrameSpan> FindFrames(const std::string& bytes);

enum class Feed {
  kFile,          // the library with its file input
  kStaticBuffer,  // the library with the memory input over the whole file
  kRing,          // the library with the memory input fed `chunk` bytes at a time
  kFrames,        // the frame decoder alone over FindFrames' frames
};

struct Decoded {
  int openResult = 0;
  int endResult = 0;  // the code that ended decoding (library feeds)
  std::vector<int16_t> pcm;
  int64_t frames = 0;         // frames decoded (kFrames: including refused ones)
  int64_t badFrames = 0;      // frames refused for inconsistent data (kFrames: given as silence)
  int64_t abandoned = 0;      // library: frames given up without output
  int64_t crcErrors = 0;      // kFrames: frames whose CRC did not match (still played)
  int64_t skippedFrames = 0;  // kFrames: leading frames lacking earlier main data (no output)
  int channels = 0;
  int sampleRate = 0;
  int layer = 0;  // of the first frame decoded
  // Where in pcm each run of blocks at one sample rate begins.
  struct RateRun {
    int sampleRate;
    size_t start;
  };
  std::vector<RateRun> rateRuns;
  // Library feeds: "level/layer/mode" after every frame that reported a
  // change of format; bit rate and times after each frame; "message|detail"
  // of each error reported.
  std::vector<std::string> formats;
  std::vector<int> bitrates;
  std::vector<int64_t> elapsedMs;
  std::vector<int64_t> remainingMs;
  std::vector<std::string> errors;
};

// Decodes the file at path; the memory feeds and kFrames read its bytes.
// gapless asks the library to drop the encoder delay a LAME tag announces.
Decoded Decode(const std::string& path, Feed feed = Feed::kFile, bool gapless = false,
               size_t chunk = 4096);

// The frame decoder alone, fresh, over the given frames of bytes. Refused
// frames give a frame of silence unless dropBad; leading layer III frames
// whose main data began before them give nothing, as in the references.
Decoded DecodeFrames(const std::string& bytes, const std::vector<FrameSpan>& frames,
                     bool dropBad = false);
inline Decoded DecodeFrames(const std::string& bytes, bool dropBad = false) {
  return DecodeFrames(bytes, FindFrames(bytes), dropBad);
}

}  // namespace mpegtest
