// Test-only WAV helpers: read the "fmt " record (with its extra bytes) and the
// "data" payload of a file, write a minimal WAV, and compare sample streams.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/WaveFormat.h"
#include "tests/TestSupport.h"

namespace wavtest {

struct Wav {
  std::vector<uint8_t> format;  // the whole fmt chunk, at least 18 bytes
  std::vector<uint8_t> data;
  int64_t dataOffset = 0;  // file position of the first data byte
  const tWAVEFORMATEX* Format() const {
    return reinterpret_cast<const tWAVEFORMATEX*>(format.data());
  }
};

inline uint32_t Le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}

// False when the file holds no fmt or data chunk.
inline bool ReadWav(const std::string& path, Wav* out) {
  std::string s = testsupport::ReadFile(path);
  if (s.size() < 12 || s.compare(0, 4, "RIFF") || s.compare(8, 4, "WAVE")) return false;
  bool haveFmt = false, haveData = false;
  for (size_t at = 12; at + 8 <= s.size();) {
    std::string id = s.substr(at, 4);
    size_t size = Le32(s, at + 4);
    size_t avail = std::min(size, s.size() - at - 8);
    const auto* p = reinterpret_cast<const uint8_t*>(s.data() + at + 8);
    if (id == "fmt ") {
      out->format.assign(p, p + avail);
      if (out->format.size() < 18) out->format.resize(18, 0);
      haveFmt = true;
    } else if (id == "data") {
      out->data.assign(p, p + avail);
      out->dataOffset = static_cast<int64_t>(at + 8);
      haveData = true;
    }
    at += 8 + size + (size & 1);
  }
  return haveFmt && haveData;
}

inline void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i));
}

inline bool WriteWav(const std::string& path, const void* format, size_t formatBytes,
                     const std::vector<uint8_t>& data) {
  std::string body = "WAVEfmt ";
  Put32(body, static_cast<uint32_t>(formatBytes));
  body.append(static_cast<const char*>(format), formatBytes);
  if (formatBytes & 1) body += '\0';
  body += "data";
  Put32(body, static_cast<uint32_t>(data.size()));
  body.append(reinterpret_cast<const char*>(data.data()), data.size());
  if (data.size() & 1) body += '\0';
  std::string file = "RIFF";
  Put32(file, static_cast<uint32_t>(body.size()));
  return testsupport::WriteFile(path, file + body);
}

inline std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> v(bytes.size() / 2);
  std::memcpy(v.data(), bytes.data(), v.size() * 2);
  return v;
}

inline std::vector<int16_t> ReadRaw16(const std::string& path) {
  std::string s = testsupport::ReadFile(path);
  std::vector<int16_t> v(s.size() / 2);
  std::memcpy(v.data(), s.data(), v.size() * 2);
  return v;
}

// sox's own decoding of a file as 16-bit signed raw samples.
inline std::vector<int16_t> SoxDecode(const std::string& wav, const std::string& raw) {
  auto r = testsupport::Run("sox '" + wav + "' -t raw -e signed -b 16 -L '" + raw + "'");
  if (r.exitCode != 0) return {};
  return ReadRaw16(raw);
}

// Index of the first difference, or -1 when equal in length and content.
inline long FirstDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return static_cast<long>(i);
  return a.size() == b.size() ? -1 : static_cast<long>(n);
}

// Peak signal-to-noise ratio of `test` against `ref` over their common length, in dB.
inline double Psnr(const std::vector<int16_t>& ref, const std::vector<int16_t>& test) {
  size_t n = std::min(ref.size(), test.size());
  double noise = 0;
  for (size_t i = 0; i < n; ++i) {
    double d = static_cast<double>(ref[i]) - test[i];
    noise += d * d;
  }
  if (n == 0) return 0;
  if (noise == 0) return 200;
  return 10 * std::log10(32767.0 * 32767.0 / (noise / static_cast<double>(n)));
}

}  // namespace wavtest
