// Feeds arbitrary bytes to the MPEG decoder library, as a static buffer or
// through the streaming ring in varying pieces, and decodes to the end.
#include <cstddef>
#include <cstdint>

#include "engine/codecs/mpeg/MemoryInput.h"
#include "engine/codecs/mpeg/MpegCodec.h"
#include "engine/codecs/mpeg/MpegDecoder.h"

using namespace mpegaudio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the input and the feeding; the rest is the stream.
  const uint8_t control = data[0];
  ++data;
  --size;
  MpegDecoder* d = nullptr;
  if (MpegDecoderCreate(&d) != kMpegOk) return 0;
  MpegDecoderRegisterCodec(d, MpegCodecModuleDescriptor());
  MpegDecoderRegisterInput(d, MpegMemoryInputModule());
  if (control & 0x80) MpegDecoderSetPropertyInteger(d, kPropertyMpegGapless, 1);
  const bool ring = control & 1;
  const size_t chunk = 1 + (size_t(control >> 1) & 0x3F) * 37;
  std::string name = ring ? std::string() : MemoryInputBufferName(data, int64_t(size));
  if (MpegDecoderSelectInput(d, name.c_str(), -1) == kMpegOk &&
      MpegDecoderOpenInput(d) == kMpegOk) {
    size_t fed = 0;
    int idle = 0;
    // Every call either consumes input or ends; the bound only guards against a hang.
    for (int calls = 0; calls < 200000; ++calls) {
      int r = MpegDecoderDecodeFrame(d);
      if (r == kMpegOk) {
        const MpegOutputBlock* o = MpegDecoderOutput(d);
        volatile int16_t sink =
            o->sampleCount > 0 ? o->samples[o->sampleCount * o->channels - 1] : 0;
        (void)sink;
        idle = 0;
        continue;
      }
      if (r != kMpegErrorFrameAbandoned) break;
      if (ring && fed < size) {
        size_t n = size - fed < chunk ? size - fed : chunk;
        int64_t taken = MpegDecoderSendInputMessage(d, kMemoryInputFeed, data + fed, int64_t(n));
        if (taken > 0) fed += size_t(taken);
      } else if (ring && ++idle > 3) {
        break;
      }
    }
  }
  MpegDecoderDestroy(&d);
  return 0;
}
