// Test-only helpers for MPEG audio: streams made with sox and an encoder
// (lame, twolame), mpg123's decoding as the reference, the MPEG wave format
// the loader builds, and the PSNR of two sample streams.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/codecs/XAMObject.h"
#include "tests/TestSupport.h"

namespace mpegtest {

struct Stream {
  std::string path;
  std::string bytes;
  std::vector<int16_t> reference;  // mpg123 --no-gapless
  int rate = 0, channels = 0, kbps = 0, layer = 3;
  float version = 1.0f;
  int mode = 0;
};

inline std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  if (!s.empty()) std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

inline std::vector<int16_t> Samples(const std::string& bytes) {
  return Samples(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

// Over the shorter of the two; 200 for identical streams, 0 when one is empty.
inline double Psnr(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  size_t n = std::min(a.size(), b.size());
  if (n == 0) return 0;
  double sum = 0;
  for (size_t i = 0; i < n; ++i) {
    double d = static_cast<double>(a[i]) - b[i];
    sum += d * d;
  }
  if (sum == 0) return 200;
  return 10 * std::log10(32767.0 * 32767.0 / (sum / static_cast<double>(n)));
}

// The 30-byte MPEG layer III wave format (in 32 bytes, as its extra count
// says 14) with the frame size at byte 24.
inline std::vector<uint8_t> MpegFormat(int rate, int channels, int kbps, int frameSize,
                                       int layer = 3) {
  std::vector<uint8_t> r(32, 0);
  tWAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  f.nChannels = static_cast<uint16_t>(channels);
  f.nSamplesPerSec = static_cast<uint32_t>(rate);
  f.nAvgBytesPerSec = static_cast<uint32_t>(kbps * 125);
  f.nBlockAlign = layer == 1 ? 4 : 1;
  f.wBitsPerSample = 16;
  f.cbSize = 14;
  std::memcpy(r.data(), &f, sizeof f);
  const uint16_t id = 1, frames = 1, delay = 1393;
  const uint32_t flags = 2;
  const auto size = static_cast<uint16_t>(frameSize);
  std::memcpy(r.data() + 18, &id, 2);
  std::memcpy(r.data() + 20, &flags, 4);
  std::memcpy(r.data() + 24, &size, 2);
  std::memcpy(r.data() + 26, &frames, 2);
  std::memcpy(r.data() + 28, &delay, 2);
  return r;
}

// Reads layer, version and mode from the first frame header.
inline void ReadHeader(Stream* s) {
  const auto* p = reinterpret_cast<const uint8_t*>(s->bytes.data());
  for (size_t i = 0; i + 4 <= s->bytes.size(); ++i) {
    if (p[i] != 0xFF || (p[i + 1] & 0xE0) != 0xE0) continue;
    int v = (p[i + 1] >> 3) & 3, l = (p[i + 1] >> 1) & 3;
    if (v == 1 || l == 0) continue;
    s->version = v == 3 ? 1.0f : v == 2 ? 2.0f : 2.5f;
    s->layer = 4 - l;
    s->mode = p[i + 3] >> 6;
    static const int kRates[3] = {44100, 48000, 32000};
    int r = (p[i + 2] >> 2) & 3;
    if (r == 3) continue;
    s->rate = kRates[r] / (v == 3 ? 1 : v == 2 ? 2 : 4);
    s->channels = s->mode == 3 ? 1 : 2;
    return;
  }
}

// Makes NAME from a sox sweep with the encoder command ("lame --quiet -b 128").
// The sweep is the same on every run (-R: sox dithers with fixed numbers).
inline bool Make(const testsupport::TempDir& dir, const std::string& name,
                 const std::string& encoder, int rate, int channels, const char* seconds,
                 Stream* s) {
  std::string wav = dir.File(name + ".wav");
  std::string synth = channels == 2 ? "sine 200-3000 sine 300-2000" : "sine 200-3000";
  auto r =
      testsupport::Run("sox -R -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                       " -b 16 '" + wav + "' synth " + seconds + " " + synth + " gain -4");
  if (r.exitCode != 0) return false;
  s->path = dir.File(name);
  r = testsupport::Run(encoder + " '" + wav + "' '" + s->path + "'");
  if (r.exitCode != 0) return false;
  std::string raw = dir.File(name + ".raw");
  r = testsupport::Run("mpg123 --no-gapless -q -s '" + s->path + "' > '" + raw + "'");
  if (r.exitCode != 0) return false;
  s->bytes = testsupport::ReadFile(s->path);
  s->reference = Samples(testsupport::ReadFile(raw));
  ReadHeader(s);
  s->rate = rate;
  s->channels = channels;
  double secondsDecoded = static_cast<double>(s->reference.size()) / channels / rate;
  s->kbps = secondsDecoded > 0
                ? static_cast<int>(std::lround(s->bytes.size() * 8 / secondsDecoded / 1000))
                : 128;
  return !s->bytes.empty() && !s->reference.empty();
}

// A decoder object set up as the loader does it.
inline std::unique_ptr<XAMObject> NewDecoder(const Stream& s) {
  int samples = s.layer == 1 ? 384 : s.layer == 3 && s.version != 1.0f ? 576 : 1152;
  double frame = samples / 8.0 * s.kbps * 1000 / s.rate;
  std::vector<uint8_t> record =
      MpegFormat(s.rate, s.channels, s.kbps, static_cast<int>(frame), s.layer);
  auto x = std::make_unique<XAMObject>(reinterpret_cast<const tWAVEFORMATEX*>(record.data()), 0,
                                       static_cast<int64_t>(record.size()));
  x->SetLayer(s.layer);
  x->SetVersion(s.version);
  x->SetMode(s.mode);
  x->SetBitRate(static_cast<uint32_t>(s.kbps * 1000));
  x->SetAverageFrameSize(frame);
  x->SetFirstFrameDecodesToCDQuality(s.rate == 44100 && s.channels == 2);
  return x;
}

}  // namespace mpegtest
