// Decoding speed of the MPEG audio decoder library over one file, through
// its public interface with the file input, as a caller decodes it.
//   mpeg-decode-bench FILE [ROUNDS]   (default 5 rounds)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/codecs/mpeg/FileInput.h"
#include "engine/codecs/mpeg/MpegCodec.h"
#include "engine/codecs/mpeg/MpegDecoder.h"

using namespace mpegaudio;

namespace {

// Samples (all channels counted) of one whole decoding, or -1.
long long DecodeOnce(const char* path) {
  MpegDecoder* d = nullptr;
  if (MpegDecoderCreate(&d) != kMpegOk) return -1;
  MpegDecoderRegisterCodec(d, MpegCodecModuleDescriptor());
  MpegDecoderRegisterInput(d, MpegFileInputModule());
  long long samples = -1;
  if (MpegDecoderSelectInput(d, path, -1) == kMpegOk && MpegDecoderOpenInput(d) == kMpegOk) {
    samples = 0;
    for (;;) {
      int r = MpegDecoderDecodeFrame(d);
      if (r == kMpegErrorFrameAbandoned) continue;
      if (r != kMpegOk) break;
      const MpegOutputBlock* o = MpegDecoderOutput(d);
      samples += static_cast<long long>(o->sampleCount) * o->channels;
    }
  }
  MpegDecoderDestroy(&d);
  return samples;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE [ROUNDS]\n", argv[0]);
    return 2;
  }
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const auto start = std::chrono::steady_clock::now();
  long long samples = 0;
  for (int i = 0; i < rounds; ++i) {
    long long n = DecodeOnce(argv[1]);
    if (n <= 0) {
      std::fprintf(stderr, "%s: no audio decoded\n", argv[1]);
      return 1;
    }
    samples += n;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %.3f s per decode, %.1f Msamples/s\n", argv[1], seconds / rounds,
              samples / seconds / 1e6);
  return 0;
}
