#include "platform/acm/MuLawDriver.h"

namespace {
constexpr int kBias = 0x84;
constexpr int kClip = 32635;
}  // namespace

CMuLawDriver::CMuLawDriver()
    : CCompandingDriver(WAVE_FORMAT_MULAW, "CCITT u-Law", &CMuLawDriver::Decode,
                        &CMuLawDriver::Encode) {}

const char* CMuLawDriver::ShortName() const { return "u-Law"; }
const char* CMuLawDriver::LongName() const { return "CCITT G.711 u-Law codec"; }

int16_t CMuLawDriver::Decode(uint8_t code) {
  int u = ~code & 0xFF;
  int magnitude = (((u & 0x0F) << 3) + kBias) << ((u & 0x70) >> 4);
  return static_cast<int16_t>((u & 0x80) ? kBias - magnitude : magnitude - kBias);
}

uint8_t CMuLawDriver::Encode(int16_t sample) {
  int s = sample;
  int sign = 0;
  if (s < 0) {
    sign = 0x80;
    s = -s;
  }
  if (s > kClip) s = kClip;
  s += kBias;
  int exponent = 7;
  for (int mask = 0x4000; !(s & mask) && exponent > 0; mask >>= 1) --exponent;
  int mantissa = (s >> (exponent + 3)) & 0x0F;
  return static_cast<uint8_t>(~(sign | (exponent << 4) | mantissa));
}
