#include "platform/acm/SampleLayout.h"

#include <cstring>

bool CSampleLayout::Read(const tWAVEFORMATEX* f) {
  if (!f) return false;
  CSampleLayout l;
  uint16_t tag = f->wFormatTag;
  if (tag == WAVE_FORMAT_EXTENSIBLE) {
    if (!FormatHolds(*f, sizeof(tWAVEFORMATEXTENSIBLE))) return false;
    const auto* x = reinterpret_cast<const tWAVEFORMATEXTENSIBLE*>(f);
    if (x->subFormatTag > 0xffff ||
        std::memcmp(x->subFormatTail, KSDATAFORMAT_SUBTYPE_GUID_TAIL,
                    sizeof KSDATAFORMAT_SUBTYPE_GUID_TAIL) != 0 ||
        x->wValidBitsPerSample > f->wBitsPerSample)
      return false;
    tag = static_cast<uint16_t>(x->subFormatTag);
    l.channelMask = x->dwChannelMask;
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
