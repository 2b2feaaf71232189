// The mixing converter: integer code on the decoders' and writers' hot path.
#include <cstdint>

#include "engine/base/SampleBuffer.h"
#include "platform/audio/PcmSample.h"

namespace {

constexpr int kFractionBits = 27;
constexpr uint64_t kOne = uint64_t{1} << kFractionBits;
constexpr uint64_t kFractionMask = kOne - 1;

template <int Bytes>
inline int32_t Load(const uint8_t* p) {
  if constexpr (Bytes == 1)
    return LoadSample8(p);
  else
    return LoadSample16(p);
}

template <int Bytes>
inline void AddInto(uint8_t* p, int32_t v) {
  int32_t sum = Saturate16(Load<Bytes>(p) + v);
  if constexpr (Bytes == 1)
    StoreSample8(p, sum);
  else
    StoreSample16(p, sum);
}

// Linear interpolation between a and b at fraction f / 2^27; the product fits
// in 45 bits and the shift is arithmetic.
inline int32_t Interpolate(int32_t a, int32_t b, uint64_t f) {
  return a + static_cast<int32_t>((static_cast<int64_t>(b - a) * static_cast<int64_t>(f)) >>
                                  kFractionBits);
}

template <int SB, int SC, int DB, int DC>
long Mix(const uint8_t* src, long srcFrames, uint8_t* dst, long dstFrames, uint64_t step) {
  constexpr int srcAlign = SB * SC;
  constexpr int dstAlign = DB * DC;
  long written = 0;
  if (step == kOne) {
    // Equal rates: frame for frame, no interpolation.
    long n = srcFrames < dstFrames ? srcFrames : dstFrames;
    for (long k = 0; k < n; ++k, src += srcAlign, dst += dstAlign) {
      int32_t left = Load<SB>(src);
      int32_t right = SC == 2 ? Load<SB>(src + SB) : left;
      if constexpr (DC == 2) {
        AddInto<DB>(dst, left);
        AddInto<DB>(dst + DB, right);
      } else if constexpr (SC == 2) {
        AddInto<DB>(dst, right / 2 + left / 2);
      } else {
        AddInto<DB>(dst, left);
      }
    }
    return n;
  }
  uint64_t pos = 0;
  for (; written < dstFrames; ++written, pos += step, dst += dstAlign) {
    uint64_t index = pos >> kFractionBits;
    if (index >= static_cast<uint64_t>(srcFrames)) break;
    uint64_t f = pos & kFractionMask;
    const uint8_t* cur = src + index * srcAlign;
    // The last frame holds its value; it has no successor inside this block.
    const uint8_t* next = index + 1 < static_cast<uint64_t>(srcFrames) ? cur + srcAlign : cur;
    int32_t left = Interpolate(Load<SB>(cur), Load<SB>(next), f);
    int32_t right = SC == 2 ? Interpolate(Load<SB>(cur + SB), Load<SB>(next + SB), f) : left;
    if constexpr (DC == 2) {
      AddInto<DB>(dst, left);
      AddInto<DB>(dst + DB, right);
    } else if constexpr (SC == 2) {
      AddInto<DB>(dst, right / 2 + left / 2);
    } else {
      AddInto<DB>(dst, left);
    }
  }
  return written;
}

using MixFunction = long (*)(const uint8_t*, long, uint8_t*, long, uint64_t);

template <int SB, int SC>
MixFunction PickDestination(int db, int dc) {
  if (db == 1) return dc == 1 ? Mix<SB, SC, 1, 1> : Mix<SB, SC, 1, 2>;
  return dc == 1 ? Mix<SB, SC, 2, 1> : Mix<SB, SC, 2, 2>;
}

MixFunction Pick(int sb, int sc, int db, int dc) {
  if (sb == 1) return sc == 1 ? PickDestination<1, 1>(db, dc) : PickDestination<1, 2>(db, dc);
  return sc == 1 ? PickDestination<2, 1>(db, dc) : PickDestination<2, 2>(db, dc);
}

bool Mixable(const tWAVEFORMATEX* f) {
  return f && (f->wBitsPerSample == 8 || f->wBitsPerSample == 16) &&
         (f->nChannels == 1 || f->nChannels == 2) && f->nSamplesPerSec > 0;
}

}  // namespace

long MixConvertPCM(const uint8_t* source, long sourceBytes, const tWAVEFORMATEX* sourceFormat,
                   uint8_t* destination, long destinationBytes,
                   const tWAVEFORMATEX* destinationFormat) {
  if (!source || !destination || sourceBytes <= 0 || destinationBytes <= 0 ||
      !Mixable(sourceFormat) || !Mixable(destinationFormat))
    return 0;
  int sb = sourceFormat->wBitsPerSample / 8, sc = sourceFormat->nChannels;
  int db = destinationFormat->wBitsPerSample / 8, dc = destinationFormat->nChannels;
  long srcFrames = sourceBytes / (sb * sc);
  long dstFrames = destinationBytes / (db * dc);
  // Source frames per destination frame in unsigned 5.27 fixed point.
  auto step = static_cast<uint64_t>(static_cast<double>(sourceFormat->nSamplesPerSec) *
                                    static_cast<double>(kOne) /
                                    static_cast<double>(destinationFormat->nSamplesPerSec));
  if (step == 0) return 0;
  long frames = Pick(sb, sc, db, dc)(source, srcFrames, destination, dstFrames, step);
  return frames * db * dc;
}
