#include "platform/acm/ALawDriver.h"

CALawDriver::CALawDriver()
    : CCompandingDriver(WAVE_FORMAT_ALAW, "CCITT A-Law", &CALawDriver::Decode,
                        &CALawDriver::Encode) {}

const char* CALawDriver::ShortName() const { return "A-Law"; }
const char* CALawDriver::LongName() const { return "CCITT G.711 A-Law codec"; }

int16_t CALawDriver::Decode(uint8_t code) {
  int a = code ^ 0x55;
  int magnitude = (a & 0x0F) << 4;
  int segment = (a & 0x70) >> 4;
  if (segment == 0)
    magnitude += 8;
  else
    magnitude = (magnitude + 0x108) << (segment - 1);
  return static_cast<int16_t>((a & 0x80) ? magnitude : -magnitude);
}

uint8_t CALawDriver::Encode(int16_t sample) {
  // 13-bit magnitude; the even bits are inverted on the line.
  int value = sample >> 3;
  int mask = 0xD5;
  if (value < 0) {
    mask = 0x55;
    value = -value - 1;
  }
  int segment = 0;
  while (segment < 8 && value > (0x20 << segment) - 1) ++segment;
  if (segment >= 8) return static_cast<uint8_t>(0x7F ^ mask);
  int code = segment << 4;
  code |= segment < 2 ? (value >> 1) & 0x0F : (value >> segment) & 0x0F;
  return static_cast<uint8_t>(code ^ mask);
}
