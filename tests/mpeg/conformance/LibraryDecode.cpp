#include "tests/mpeg/conformance/LibraryDecode.h"

#include <cstring>

#include "engine/codecs/mpeg/FileInput.h"
#include "engine/codecs/mpeg/MemoryInput.h"
#include "engine/codecs/mpeg/MpegCodec.h"
#include "engine/codecs/mpeg/MpegDecoder.h"
#include "tests/TestSupport.h"

using namespace mpegaudio;

namespace mpeglib {

namespace {

std::string Format(const MpegDecoder* d) {
  int64_t level = 0, layer = 0, mode = 0;
  MpegDecoderGetPropertyInteger(d, kPropertyMpegLevel, &level);
  MpegDecoderGetPropertyInteger(d, kPropertyMpegLayer, &layer);
  MpegDecoderGetPropertyInteger(d, kPropertyMpegMode, &mode);
  return std::to_string(level) + "/" + std::to_string(layer) + "/" + std::to_string(mode);
}

}  // namespace

LibraryResult DecodeWithLibrary(const std::string& path, Feed feed, bool gapless, size_t chunk) {
  LibraryResult out;
  std::string bytes = feed == Feed::kFile ? std::string() : testsupport::ReadFile(path);
  MpegDecoder* d = nullptr;
  MpegDecoderCreate(&d);
  MpegDecoderSetErrorCallback(
      d,
      [](void* user, int, const char* message, const char* detail) {
        static_cast<LibraryResult*>(user)->errors.push_back(std::string(message) + "|" + detail);
      },
      &out);
  MpegDecoderRegisterCodec(d, MpegCodecModuleDescriptor());
  MpegDecoderRegisterInput(d,
                           feed == Feed::kFile ? MpegFileInputModule() : MpegMemoryInputModule());
  if (gapless) MpegDecoderSetPropertyInteger(d, kPropertyMpegGapless, 1);
  std::string name = feed == Feed::kFile ? path
                     : feed == Feed::kStaticBuffer
                         ? MemoryInputBufferName(bytes.data(), int64_t(bytes.size()))
                         : std::string();
  out.openResult = MpegDecoderSelectInput(d, name.c_str(), -1);
  if (out.openResult == kMpegOk) out.openResult = MpegDecoderOpenInput(d);
  size_t fed = 0;
  if (out.openResult == kMpegOk) {
    int stalls = 0;
    for (;;) {
      int r = MpegDecoderDecodeFrame(d);
      if (r == kMpegErrorFrameAbandoned && feed == Feed::kRing) {
        // Feed more; once everything is in and nothing moves any more, stop.
        if (fed >= bytes.size()) {
          if (++stalls > 2) {
            out.endResult = kMpegErrorEndOfInput;
            break;
          }
          continue;
        }
        size_t n = std::min(chunk, bytes.size() - fed);
        int64_t taken =
            MpegDecoderSendInputMessage(d, kMemoryInputFeed, bytes.data() + fed, int64_t(n));
        if (taken > 0) fed += size_t(taken);
        continue;
      }
      if (r == kMpegErrorFrameAbandoned) {
        ++out.abandoned;
        continue;
      }
      if (r != kMpegOk) {
        out.endResult = r;
        break;
      }
      stalls = 0;
      const MpegOutputBlock* o = MpegDecoderOutput(d);
      const MpegStatusBlock* s = MpegDecoderStatus(d);
      if (s->changes & kMpegChangedFormat) out.formats.push_back(Format(d));
      if (out.rateRuns.empty() || out.rateRuns.back().sampleRate != o->sampleRate)
        out.rateRuns.push_back({o->sampleRate, out.pcm.size()});
      out.channels = o->channels;
      out.sampleRate = o->sampleRate;
      out.pcm.insert(out.pcm.end(), o->samples, o->samples + o->sampleCount * o->channels);
      out.bitrates.push_back(s->bitrate);
      out.elapsedMs.push_back(s->elapsedMs);
      out.remainingMs.push_back(s->remainingMs);
    }
    out.frames = MpegDecoderStatus(d)->frame;
  }
  MpegDecoderDestroy(&d);
  return out;
}

}  // namespace mpeglib
