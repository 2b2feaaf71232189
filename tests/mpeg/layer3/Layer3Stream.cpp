#include "tests/mpeg/layer3/Layer3Stream.h"

#include <cmath>

#include "engine/codecs/mpeg/FrameDecoder.h"

namespace mpegaudio::test {

namespace {

// Header at p, with the emphasis field ignored: it does not change decoding,
// and streams with the reserved value are still decodable.
bool HeaderAt(const uint8_t* p, FrameHeader* h) {
  if (p[0] != 0xff) return false;
  uint32_t w = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
  return ParseFrameHeader(w & ~3u, h) && h->layer == 3;
}

}  // namespace

std::vector<FrameSpan> FindFrames(const std::string& bytes) {
  std::vector<FrameSpan> frames;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t size = bytes.size();
  int freeBytes = 0;
  size_t pos = 0;
  bool inSync = false;
  while (pos + 4 <= size) {
    FrameHeader h;
    if (!HeaderAt(p + pos, &h) || (inSync && !HeadersCompatible(frames.back().h, h))) {
      inSync = false;
      ++pos;
      continue;
    }
    if (h.frameBytes == 0) {
      if (!freeBytes) freeBytes = MeasureFreeFormat(p + pos, size - pos, h);
      if (freeBytes <= 0) {
        freeBytes = 0;
        ++pos;
        continue;
      }
      ApplyFreeFormatSize(&h, freeBytes);
    }
    if (h.frameBytes <= 0 || pos + size_t(h.frameBytes) > size) break;
    // Out of sync, a header counts only when another compatible one follows it.
    const size_t next = pos + size_t(h.frameBytes);
    FrameHeader n;
    if (!inSync && next + 4 <= size && !(HeaderAt(p + next, &n) && HeadersCompatible(h, n))) {
      ++pos;
      continue;
    }
    frames.push_back({h, pos});
    inSync = true;
    pos = next;
  }
  return frames;
}

DecodedStream DecodeFrames(const std::string& bytes, const std::vector<FrameSpan>& frames,
                           size_t first) {
  DecodedStream out;
  CFrameDecoder decoder;
  int16_t pcm[kMaxFrameSamples];
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t i = first; i < frames.size(); ++i) {
    const FrameSpan& f = frames[i];
    int r = decoder.DecodeFrame(f.h, p + f.offset, bytes.size() - f.offset, pcm);
    // Frames before the first decodable one that lack earlier main data give
    // no output at all, as in the reference decodings.
    if (r == kFrameNeedReservoir && out.frames == out.skippedFrames) {
      ++out.skippedFrames;
      ++out.frames;
      continue;
    }
    if (r < 0) ++out.failedFrames;
    out.channels = f.h.channels;
    out.sampleRate = f.h.sampleRate;
    ++out.frames;
    out.pcm.insert(out.pcm.end(), pcm, pcm + f.h.samplesPerFrame * f.h.channels);
  }
  return out;
}

double Psnr(const int16_t* a, const int16_t* b, size_t n) {
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  if (n == 0 || sum == 0) return 200.0;
  return 10.0 * std::log10(32767.0 * 32767.0 / (sum / double(n)));
}

}  // namespace mpegaudio::test
