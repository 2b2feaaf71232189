#include "platform/acm/SampleLayout.h"

#include <cstring>

namespace {

// WAVE_FORMAT_EXTENSIBLE: behind the record come the valid bits per sample
// (16 bits), the speaker mask (32 bits) and the sub-format GUID, whose first
// two bytes are the plain format tag and whose other 14 are fixed.
constexpr uint16_t kExtensibleExtraBytes = 22;
constexpr size_t kValidBitsAt = 18;
constexpr size_t kMaskAt = 20;
constexpr size_t kSubFormatAt = 24;
constexpr uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                        0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace

bool CSampleLayout::Read(const tWAVEFORMATEX* f) {
  if (!f) return false;
  CSampleLayout l;
  uint16_t tag = f->wFormatTag;
  if (tag == WAVE_FORMAT_EXTENSIBLE) {
    if (f->cbSize < kExtensibleExtraBytes) return false;
    const auto* p = reinterpret_cast<const uint8_t*>(f);
    if (std::memcmp(p + kSubFormatAt + 2, kSubFormatTail, sizeof kSubFormatTail) != 0) return false;
    const uint16_t validBits = Le16(p + kValidBitsAt);
    if (validBits > f->wBitsPerSample) return false;
    tag = Le16(p + kSubFormatAt);
    l.channelMask = Le32(p + kMaskAt);
    l.extensible = true;
  }
  const int bits = f->wBitsPerSample;
  if (tag == WAVE_FORMAT_PCM && (bits == 8 || bits == 16 || bits == 24 || bits == 32))
    l.encoding = kInteger;
  else if (tag == WAVE_FORMAT_IEEE_FLOAT && (bits == 32 || bits == 64))
    l.encoding = kFloat;
  else
    return false;
  l.bytes = bits / 8;
  l.channels = f->nChannels;
  l.rate = f->nSamplesPerSec;
  if (l.channels < 1 || l.channels > kMaxChannels || l.rate < 1 || l.rate > kMaxRate ||
      f->nBlockAlign != l.channels * l.bytes)
    return false;
  *this = l;
  return true;
}
