// Writes "done.wav", the short chime that marks the end of a run: two notes
// a fifth apart, each fading out, 22050 Hz 16-bit mono.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/data/ByteOrder.h"

namespace {
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  b.resize(b.size() + 4);
  StoreLE32(b.data() + b.size() - 4, v);
}
void Put16(std::vector<uint8_t>& b, uint16_t v) {
  b.resize(b.size() + 2);
  StoreLE16(b.data() + b.size() - 2, v);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: makedonewav OUTPUT\n");
    return 2;
  }
  const uint32_t rate = 22050;
  const double pi = 3.14159265358979323846;
  std::vector<int16_t> samples;
  for (double freq : {880.0, 1318.5}) {
    const int n = static_cast<int>(rate * 0.18);
    for (int i = 0; i < n; ++i) {
      double t = static_cast<double>(i) / rate;
      double envelope = std::exp(-t * 14.0) * std::min(1.0, i / 60.0);
      samples.push_back(static_cast<int16_t>(9000.0 * envelope * std::sin(2 * pi * freq * t)));
    }
  }
  std::vector<uint8_t> f;
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  for (char c : {'R', 'I', 'F', 'F'}) f.push_back(static_cast<uint8_t>(c));
  Put32(f, 36 + dataBytes);
  for (char c : {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}) f.push_back(static_cast<uint8_t>(c));
  Put32(f, 16);
  Put16(f, 1);
  Put16(f, 1);
  Put32(f, rate);
  Put32(f, rate * 2);
  Put16(f, 2);
  Put16(f, 16);
  for (char c : {'d', 'a', 't', 'a'}) f.push_back(static_cast<uint8_t>(c));
  Put32(f, dataBytes);
  for (int16_t s : samples) Put16(f, static_cast<uint16_t>(s));
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  bool ok = std::fwrite(f.data(), 1, f.size(), out) == f.size();
  return std::fclose(out) == 0 && ok ? 0 : 1;
}
