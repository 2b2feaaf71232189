#include "tests/mpeg/core/StreamWalker.h"

#include <dirent.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/codecs/mpeg/FrameDecoder.h"
#include "engine/codecs/mpeg/MpegHeader.h"

namespace mpegtest {

using namespace mpegaudio;

WalkResult DecodeStream(const std::string& bytes, bool keepPcm, bool dropBad) {
  WalkResult r;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const size_t n = bytes.size();
  size_t pos = 0;
  if (n >= 10 && std::memcmp(p, "ID3", 3) == 0) {
    size_t size = (size_t(p[6] & 0x7F) << 21) | (size_t(p[7] & 0x7F) << 14) |
                  (size_t(p[8] & 0x7F) << 7) | (p[9] & 0x7F);
    pos = 10 + size;
  }
  CFrameDecoder decoder;
  FrameHeader locked;
  bool haveLock = false;
  int freeSize = 0;
  std::vector<int16_t> frame(kMaxFrameSamples);
  while (pos + 4 <= n) {
    FrameHeader h;
    if (!ParseFrameHeader(p + pos, &h) || (haveLock && !HeadersCompatible(locked, h))) {
      ++pos;
      continue;
    }
    if (h.bitrateIndex == 0) {
      if (!freeSize) freeSize = MeasureFreeFormat(p + pos, n - pos, h);
      if (!freeSize) {
        ++pos;
        continue;
      }
      ApplyFreeFormatSize(&h, freeSize);
    }
    if (h.frameBytes <= 0) {
      ++pos;
      continue;
    }
    if (!haveLock) {
      // The first frame counts only when another compatible header follows it.
      FrameHeader next;
      size_t at = pos + size_t(h.frameBytes);
      if (at + 4 <= n && !(ParseFrameHeader(p + at, &next) && HeadersCompatible(h, next))) {
        ++pos;
        continue;
      }
      locked = h;
      haveLock = true;
      r.channels = h.channels;
      r.sampleRate = h.sampleRate;
      r.layer = h.layer;
    }
    if (pos + size_t(h.frameBytes) > n) break;
    int rc = decoder.DecodeFrame(h, p + pos, n - pos, frame.data());
    ++r.frames;
    if (rc != kFrameOk) ++r.badFrames;
    r.samples += size_t(h.samplesPerFrame * h.channels);
    if (keepPcm && !(dropBad && rc != kFrameOk))
      r.pcm.insert(r.pcm.end(), frame.begin(), frame.begin() + h.samplesPerFrame * h.channels);
    pos += size_t(h.frameBytes);
  }
  r.crcErrors = decoder.CrcErrors();
  return r;
}

double Psnr(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  if (n == 0) return 0.0;
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  if (sum == 0.0) return 200.0;
  return 10.0 * std::log10(32767.0 * 32767.0 / (sum / double(n)));
}

std::vector<int16_t> ToSamples(const std::string& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = int16_t(uint16_t(uint8_t(bytes[2 * i])) | (uint16_t(uint8_t(bytes[2 * i + 1])) << 8));
  return s;
}

std::vector<std::string> ListStreams(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.rfind(prefix, 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".bit")
        names.push_back(name.substr(0, name.size() - 4));
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace mpegtest
