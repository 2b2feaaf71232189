#include "engine/codecs/mpeg/Layer3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/codecs/mpeg/BitReader.h"
#include "engine/codecs/mpeg/FrameDecoder.h"
#include "engine/codecs/mpeg/Layer3Huffman.h"
#include "engine/codecs/mpeg/Layer3Imdct.h"
#include "engine/codecs/mpeg/Layer3Tables.h"

namespace mpegaudio {
namespace {

// A frame's main data may begin up to 511 bytes before its own; that much of
// earlier frames is kept, followed by the current frame's main data.
constexpr int kReservoirKeep = 511;
constexpr int kMaxMainData = 4096;
// Readers peek a little past the end of valid data; those bytes are in bounds.
constexpr int kReservoirGuard = 64;

struct GranuleInfo {
  int part23Length = 0;
  int bigValues = 0;
  int globalGain = 0;
  int scalefacCompress = 0;
  int windowSwitching = 0;
  int blockType = 0;
  int mixed = 0;
  int tableSelect[3] = {};
  int subblockGain[3] = {};
  int region0Count = 0;
  int region1Count = 0;
  int preflag = 0;
  int scalefacScale = 0;
  int count1Table = 0;
};

struct SideInfo {
  int mainDataBegin = 0;
  int scfsi[2][4] = {};
  GranuleInfo gr[2][2];
};

const uint8_t kSlen1[16] = {0, 0, 0, 0, 3, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4};
const uint8_t kSlen2[16] = {0, 1, 2, 3, 0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 2, 3};

// Scale factors per partition at the lower rates: [table][long, short, mixed][partition].
const uint8_t kLsfPartitions[6][3][4] = {{{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}},
                                         {{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}},
                                         {{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}},
                                         {{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}},
                                         {{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}},
                                         {{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}}};

// Alias-reduction butterflies from the coefficients c_i.
struct AliasCoefficients {
  float cs[8], ca[8];
  AliasCoefficients() {
    const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
    for (int i = 0; i < 8; ++i) {
      double d = std::sqrt(1.0 + c[i] * c[i]);
      cs[i] = float(1.0 / d);
      ca[i] = float(c[i] / d);
    }
  }
};

// Intensity stereo gains: MPEG-1 positions 0..6, and the lower rates' positions
// 0..31 for both intensity scales.
struct IntensityTables {
  float mpeg1[7][2];
  float lsf[2][32][2];
  IntensityTables() {
    const double pi = 3.14159265358979323846;
    for (int p = 0; p < 7; ++p) {
      if (p == 6) {
        mpeg1[p][0] = 1.0f;
        mpeg1[p][1] = 0.0f;
        continue;
      }
      double r = std::tan(p * pi / 12);
      mpeg1[p][0] = float(r / (1 + r));
      mpeg1[p][1] = float(1 / (1 + r));
    }
    for (int s = 0; s < 2; ++s) {
      double io = s ? std::sqrt(0.5) : std::pow(2.0, -0.25);
      for (int p = 0; p < 32; ++p) {
        double kl = 1, kr = 1;
        if (p & 1)
          kl = std::pow(io, (p + 1) / 2);
        else
          kr = std::pow(io, p / 2);
        lsf[s][p][0] = float(kl);
        lsf[s][p][1] = float(kr);
      }
    }
  }
};

const AliasCoefficients& Alias() {
  static const AliasCoefficients a;
  return a;
}
const IntensityTables& Intensity() {
  static const IntensityTables t;
  return t;
}

// v with its sign bit set when negative is 1.
inline float WithSign(float v, uint32_t negative) {
  uint32_t u;
  std::memcpy(&u, &v, 4);
  u |= negative << 31;
  std::memcpy(&v, &u, 4);
  return v;
}

inline uint32_t HuffSymbol(const HuffmanLookup& lk, CBitReader& br) {
  uint32_t w = br.PeekGuarded();
  int nb = lk.rootBits;
  uint32_t e = lk.entries[w >> (32 - nb)];
  int used = 0;
  while (e & kHuffLink) {
    used += nb;
    w <<= nb;
    nb = int(e & 31);
    e = lk.entries[((e & ~kHuffLink) >> 5) + (w >> (32 - nb))];
  }
  br.Skip(used + int((e >> 8) & 31));
  return e & 0xff;
}

}  // namespace

struct CLayer3::State {
  uint8_t reservoir[kReservoirKeep + kMaxMainData + kReservoirGuard];
  int reservoirLen = 0;
  // Reservoir bytes before this offset belong to (or precede) a frame whose
  // side information was refused; main data that starts there is unusable.
  int damagedEnd = 0;
  SideInfo si;
  // Scale factors of the granule being decoded; the long ones stay for the
  // next granule's scfsi.
  int scaleLong[2][22];
  int scaleShort[2][13][3];
  // Largest value of each right-channel scale factor at the lower rates
  // (its intensity position with that value is illegal).
  int maxLong[22];
  int maxShort[13][3];
  alignas(16) float xr[2][576];
  alignas(16) float reordered[576];
  int nonzero[2];
  alignas(16) float overlap[2][32][18];
  int overlapSubbands[2];
};

CLayer3::CLayer3() : state_(std::make_unique<State>()) {
  // Build the start-up tables now rather than inside the first frame.
  Layer3Lookup(0);
  Layer3Pow43();
  Alias();
  Intensity();
  float in[18] = {}, out[36];
  Layer3ImdctLong(in, out);
}

CLayer3::~CLayer3() = default;

void CLayer3::ResetOverlap() {
  std::memset(state_->overlap, 0, sizeof(state_->overlap));
  state_->overlapSubbands[0] = state_->overlapSubbands[1] = 0;
}

void CLayer3::Reset() {
  state_->reservoirLen = 0;
  state_->damagedEnd = 0;
  ResetOverlap();
}

namespace {

// Returns false when the side information cannot be genuine: a count of
// more than 576 lines, the reserved block type with window switching, or
// granules longer than the main data the frame can reach.
bool ParseSideInfo(const FrameHeader& h, const uint8_t* data, int mainLen, SideInfo* si) {
  // The side information lies within the frame, followed by its main data.
  CBitReader r(data, size_t(Layer3SideInfoBytes(h) + mainLen));
  const int nch = h.channels;
  const int ngr = h.lsf ? 1 : 2;
  int64_t bits = 0;
  if (h.lsf) {
    si->mainDataBegin = int(r.Read(8));
    r.Read(nch == 1 ? 1 : 2);
  } else {
    si->mainDataBegin = int(r.Read(9));
    r.Read(nch == 1 ? 5 : 3);
    for (int ch = 0; ch < nch; ++ch)
      for (int g = 0; g < 4; ++g) si->scfsi[ch][g] = int(r.Read(1));
  }
  for (int gr = 0; gr < ngr; ++gr) {
    for (int ch = 0; ch < nch; ++ch) {
      GranuleInfo& gi = si->gr[gr][ch];
      gi.part23Length = int(r.Read(12));
      gi.bigValues = int(r.Read(9));
      gi.globalGain = int(r.Read(8));
      gi.scalefacCompress = int(r.Read(h.lsf ? 9 : 4));
      gi.windowSwitching = int(r.Read(1));
      if (gi.windowSwitching) {
        gi.blockType = int(r.Read(2));
        gi.mixed = int(r.Read(1));
        for (int i = 0; i < 2; ++i) gi.tableSelect[i] = int(r.Read(5));
        gi.tableSelect[2] = 0;
        for (int i = 0; i < 3; ++i) gi.subblockGain[i] = int(r.Read(3));
        gi.region0Count = 7;
        gi.region1Count = 36;
      } else {
        gi.blockType = 0;
        gi.mixed = 0;
        for (int i = 0; i < 3; ++i) gi.tableSelect[i] = int(r.Read(5));
        for (int i = 0; i < 3; ++i) gi.subblockGain[i] = 0;
        gi.region0Count = int(r.Read(4));
        gi.region1Count = int(r.Read(3));
      }
      gi.preflag = h.lsf ? 0 : int(r.Read(1));
      gi.scalefacScale = int(r.Read(1));
      gi.count1Table = int(r.Read(1));
      if (gi.bigValues > 288 || (gi.windowSwitching && gi.blockType == 0)) return false;
      bits += gi.part23Length;
    }
  }
  return bits <= int64_t(si->mainDataBegin + mainLen) * 8;
}

// Scale factors of one granule and channel, MPEG-1 form.
void ReadScaleFactorsMpeg1(CBitReader& br, const GranuleInfo& gi, const int* scfsi, int gr,
                           int* scaleLong, int (*scaleShort)[3]) {
  const int slen1 = kSlen1[gi.scalefacCompress];
  const int slen2 = kSlen2[gi.scalefacCompress];
  if (gi.blockType == 2) {
    int sfb = 0;
    if (gi.mixed) {
      for (; sfb < 8; ++sfb) scaleLong[sfb] = int(br.Read(slen1));
      sfb = 3;
    }
    for (; sfb < 12; ++sfb) {
      int bits = sfb < 6 ? slen1 : slen2;
      for (int w = 0; w < 3; ++w) scaleShort[sfb][w] = int(br.Read(bits));
    }
    for (int w = 0; w < 3; ++w) scaleShort[12][w] = 0;
  } else {
    static const int kGroups[5] = {0, 6, 11, 16, 21};
    for (int g = 0; g < 4; ++g) {
      if (gr == 1 && scfsi[g]) continue;  // kept from granule 0
      int bits = g < 2 ? slen1 : slen2;
      for (int sfb = kGroups[g]; sfb < kGroups[g + 1]; ++sfb) scaleLong[sfb] = int(br.Read(bits));
    }
    scaleLong[21] = 0;
  }
}

// Scale factors at the lower rates. intensityRight selects the partitions of
// the right channel in intensity stereo; the largest value of every factor
// goes to maxLong/maxShort. Returns preflag.
int ReadScaleFactorsLsf(CBitReader& br, const GranuleInfo& gi, bool intensityRight, int* scaleLong,
                        int (*scaleShort)[3], int* maxLong, int (*maxShort)[3]) {
  int slen[4] = {};
  int table = 0;
  int preflag = 0;
  int sfc = gi.scalefacCompress;
  if (intensityRight) {
    sfc >>= 1;
    if (sfc < 180) {
      slen[0] = sfc / 36;
      slen[1] = (sfc % 36) / 6;
      slen[2] = sfc % 6;
      table = 3;
    } else if (sfc < 244) {
      sfc -= 180;
      slen[0] = (sfc % 64) >> 4;
      slen[1] = (sfc % 16) >> 2;
      slen[2] = sfc % 4;
      table = 4;
    } else {
      sfc -= 244;
      slen[0] = sfc / 3;
      slen[1] = sfc % 3;
      table = 5;
    }
  } else if (sfc < 400) {
    slen[0] = (sfc >> 4) / 5;
    slen[1] = (sfc >> 4) % 5;
    slen[2] = (sfc & 15) >> 2;
    slen[3] = sfc & 3;
    table = 0;
  } else if (sfc < 500) {
    sfc -= 400;
    slen[0] = (sfc >> 2) / 5;
    slen[1] = (sfc >> 2) % 5;
    slen[2] = sfc & 3;
    table = 1;
  } else {
    sfc -= 500;
    slen[0] = sfc / 3;
    slen[1] = sfc % 3;
    table = 2;
    preflag = 1;
  }
  const int kind = gi.blockType == 2 ? (gi.mixed ? 2 : 1) : 0;
  int values[39];
  int maxima[39];
  int n = 0;
  for (int part = 0; part < 4; ++part) {
    int bits = slen[part];
    for (int i = 0; i < kLsfPartitions[table][kind][part]; ++i, ++n) {
      values[n] = int(br.Read(bits));
      maxima[n] = (1 << bits) - 1;
    }
  }
  int k = 0;
  if (kind == 0) {
    for (int sfb = 0; sfb < 21; ++sfb, ++k) {
      scaleLong[sfb] = values[k];
      maxLong[sfb] = maxima[k];
    }
    scaleLong[21] = 0;
    maxLong[21] = maxLong[20];
  } else {
    int sfb = 0;
    if (kind == 2) {
      for (; sfb < 6; ++sfb, ++k) {
        scaleLong[sfb] = values[k];
        maxLong[sfb] = maxima[k];
      }
      sfb = 3;
    }
    for (; sfb < 12; ++sfb)
      for (int w = 0; w < 3; ++w, ++k) {
        scaleShort[sfb][w] = values[k];
        maxShort[sfb][w] = maxima[k];
      }
    for (int w = 0; w < 3; ++w) {
      scaleShort[12][w] = 0;
      maxShort[12][w] = maxShort[11][w];
    }
  }
  return preflag;
}

// Huffman decoding of one granule and channel into unscaled magnitudes with
// signs (|v|^(4/3)); reads no further than `end`. Returns the count of lines
// up to and including the last nonzero one.
int DecodeSpectrum(CBitReader& br, int64_t end, const GranuleInfo& gi, const ScaleFactorBands& sfb,
                   float* xr) {
  const float* pow43 = Layer3Pow43();
  const int bigEnd = gi.bigValues * 2;
  int r1, r2;
  if (gi.windowSwitching) {
    r1 = (gi.blockType == 2 && !gi.mixed) ? sfb.shortBounds[3] * 3 : sfb.longBounds[8];
    r2 = 576;
  } else {
    r1 = sfb.longBounds[std::min(gi.region0Count + 1, 22)];
    r2 = sfb.longBounds[std::min(gi.region0Count + gi.region1Count + 2, 22)];
  }
  r1 = std::min(r1, bigEnd);
  r2 = std::min(std::max(r2, r1), bigEnd);
  const int regionEnd[3] = {r1, r2, bigEnd};
  int i = 0;
  for (int region = 0; region < 3; ++region) {
    const int stop = regionEnd[region];
    const HuffmanLookup& lk = Layer3Lookup(gi.tableSelect[region]);
    if (!lk.entries) {
      // Table 0 (and the unused 4 and 14): all lines zero, no bits.
      for (; i < stop; ++i) xr[i] = 0.0f;
      continue;
    }
    const int linbits = lk.linbits;
    for (; i < stop; i += 2) {
      if (br.Position() > end) break;
      uint32_t sym = HuffSymbol(lk, br);
      uint32_t x = sym >> 4, y = sym & 15;
      if (linbits && (x == 15 || y == 15)) {
        float vx = 0.0f, vy = 0.0f;
        if (x) {
          if (x == 15) x += br.Read(linbits);
          vx = br.Read(1) ? -pow43[x] : pow43[x];
        }
        if (y) {
          if (y == 15) y += br.Read(linbits);
          vy = br.Read(1) ? -pow43[y] : pow43[y];
        }
        xr[i] = vx;
        xr[i + 1] = vy;
        continue;
      }
      // Without escapes both sign bits (present for nonzero values only) come
      // from one look at the stream, without branches.
      uint32_t w = br.PeekGuarded();
      const uint32_t nx = x != 0, ny = y != 0;
      const uint32_t sx = (w >> 31) & nx;
      w <<= nx;
      const uint32_t sy = (w >> 31) & ny;
      br.Skip(int(nx + ny));
      xr[i] = WithSign(pow43[x], sx);
      xr[i + 1] = WithSign(pow43[y], sy);
    }
    if (br.Position() > end) break;
  }
  if (br.Position() > end) {
    // The big values ran past the granule's bits: what was read last is not
    // trustworthy, the rest of the spectrum is silent.
    i = std::min(i, bigEnd);
  } else {
    i = bigEnd;
    const HuffmanLookup& lk = Layer3Lookup(32 + gi.count1Table);
    while (i <= 572 && br.Position() < end) {
      uint32_t sym = HuffSymbol(lk, br);
      float v[4];
      for (int k = 0; k < 4; ++k) {
        v[k] = 0.0f;
        if (sym & (8 >> k)) v[k] = br.Read(1) ? -1.0f : 1.0f;
      }
      // A quadruple that ends beyond the granule's bits is dropped.
      if (br.Position() > end) break;
      xr[i] = v[0];
      xr[i + 1] = v[1];
      xr[i + 2] = v[2];
      xr[i + 3] = v[3];
      i += 4;
    }
  }
  while (i > 0 && xr[i - 1] == 0.0f) --i;
  if (i < 576) std::memset(xr + i, 0, sizeof(float) * size_t(576 - i));
  return i;
}

// Applies global gain, subblock gain and scale factors to the lines below nz.
void Requantise(const GranuleInfo& gi, const ScaleFactorBands& sfb, const int* scaleLong,
                const int (*scaleShort)[3], int lsf, float* xr, int nz) {
  const int base = gi.globalGain - 210;
  const int shift = 2 * (1 + gi.scalefacScale);
  int longBands = 22, shortStart = 13;
  if (gi.blockType == 2) {
    longBands = gi.mixed ? (lsf ? 6 : 8) : 0;
    shortStart = gi.mixed ? 3 : 0;
  }
  for (int b = 0; b < longBands; ++b) {
    int start = sfb.longBounds[b];
    if (start >= nz) return;
    int end = std::min<int>(sfb.longBounds[b + 1], nz);
    int q = base - shift * (scaleLong[b] + (gi.preflag ? kLayer3Pretab[b] : 0));
    float g = Layer3Gain(q);
    for (int k = start; k < end; ++k) xr[k] *= g;
  }
  for (int b = shortStart; b < 13; ++b) {
    int start = sfb.shortBounds[b] * 3;
    if (start >= nz) return;
    int width = sfb.shortBounds[b + 1] - sfb.shortBounds[b];
    for (int w = 0; w < 3; ++w) {
      int s = start + w * width;
      int e = std::min(s + width, nz);
      int q = base - 8 * gi.subblockGain[w] - shift * scaleShort[b][w];
      float g = Layer3Gain(q);
      for (int k = s; k < e; ++k) xr[k] *= g;
    }
  }
}

inline void MidSide(float* l, float* r, int start, int end) {
  const float k = 0.70710678118654752f;
  for (int i = start; i < end; ++i) {
    float m = l[i], s = r[i];
    l[i] = (m + s) * k;
    r[i] = (m - s) * k;
  }
}

}  // namespace

int CLayer3::Decode(const FrameHeader& h, const uint8_t* data, size_t len, float (*out)[36][32],
                    int* slots) {
  State& st = *state_;
  const int nch = h.channels == 1 ? 1 : 2;
  const int ngr = h.lsf ? 1 : 2;
  const int nslots = 18 * ngr;
  *slots = nslots;
  auto silence = [&](int code) {
    for (int ch = 0; ch < nch; ++ch) std::memset(out[ch], 0, sizeof(float) * 32 * size_t(nslots));
    return code;
  };
  const size_t sideLen = size_t(Layer3SideInfoBytes(h));
  if (!data || len < sideLen) {
    return silence(kFrameBadData);
  }
  SideInfo& si = st.si;
  const int mainLen = int(std::min<size_t>(len - sideLen, kMaxMainData));
  const bool sound = ParseSideInfo(h, data, mainLen, &si);

  // Keep the tail of earlier main data, then append this frame's. A refused
  // frame's bytes are kept too, so that later frames find theirs at the
  // right offsets, but they are marked as damaged.
  if (st.reservoirLen > kReservoirKeep) {
    const int dropped = st.reservoirLen - kReservoirKeep;
    std::memmove(st.reservoir, st.reservoir + dropped, kReservoirKeep);
    st.reservoirLen = kReservoirKeep;
    st.damagedEnd = std::max(0, st.damagedEnd - dropped);
  }
  const int before = st.reservoirLen;
  std::memcpy(st.reservoir + before, data + sideLen, size_t(mainLen));
  st.reservoirLen = before + mainLen;
  // Damaged lengths can make the readers look past the data: they see zeros.
  std::memset(st.reservoir + st.reservoirLen, 0, kReservoirGuard);
  if (!sound) {
    st.damagedEnd = st.reservoirLen;
    return silence(kFrameBadData);
  }
  if (si.mainDataBegin > before || before - si.mainDataBegin < st.damagedEnd)
    return silence(kFrameNeedReservoir);

  const int rateIndex = (h.lsf ? (h.mpeg25 ? 6 : 3) : 0) + std::clamp(h.sampleRateIndex, 0, 2);
  const ScaleFactorBands& sfb = Layer3Bands(rateIndex);
  const bool joint = nch == 2 && h.mode == kModeJointStereo;
  const bool msStereo = joint && (h.modeExtension & 2);
  const bool intensity = joint && (h.modeExtension & 1);

  // The reader's bytes reach into the zeroed guard, where damaged lengths may lead it.
  CBitReader br(st.reservoir + before - si.mainDataBegin,
                size_t(si.mainDataBegin + mainLen + kReservoirGuard));
  const int64_t available = int64_t(si.mainDataBegin + mainLen) * 8;
  int64_t granuleStart = 0;

  // Granule 1 may reuse granule 0's long-block scale factors; those granule 0
  // did not send (short blocks) count as zero, never as an older frame's.
  std::memset(st.scaleLong, 0, sizeof(st.scaleLong));
  for (int gr = 0; gr < ngr; ++gr) {
    for (int ch = 0; ch < nch; ++ch) {
      const GranuleInfo& gi = si.gr[gr][ch];
      granuleStart = std::min(granuleStart, available);
      const int64_t end = std::min(granuleStart + gi.part23Length, available);
      br.SetPosition(granuleStart);
      int preflag = gi.preflag;
      if (h.lsf)
        preflag = ReadScaleFactorsLsf(br, gi, intensity && ch == 1, st.scaleLong[ch],
                                      st.scaleShort[ch], st.maxLong, st.maxShort);
      else
        ReadScaleFactorsMpeg1(br, gi, si.scfsi[ch], gr, st.scaleLong[ch], st.scaleShort[ch]);
      float* xr = st.xr[ch];
      int nz = 0;
      if (br.Position() <= end)
        nz = DecodeSpectrum(br, end, gi, sfb, xr);
      else
        std::memset(xr, 0, sizeof(float) * 576);
      GranuleInfo scaled = gi;
      scaled.preflag = preflag;
      Requantise(scaled, sfb, st.scaleLong[ch], st.scaleShort[ch], h.lsf, xr, nz);
      st.nonzero[ch] = nz;
      granuleStart += gi.part23Length;
    }

    if (joint) JointStereo(h, gr, msStereo, intensity);

    for (int ch = 0; ch < nch; ++ch) Hybrid(h, gr, ch, out[ch] + 18 * gr);
  }
  return nslots;
}

void CLayer3::JointStereo(const FrameHeader& h, int gr, bool msStereo, bool intensity) {
  State& st = *state_;
  float* l = st.xr[0];
  float* r = st.xr[1];
  const int nz = std::max(st.nonzero[0], st.nonzero[1]);
  if (!intensity) {
    if (msStereo) MidSide(l, r, 0, nz);
    st.nonzero[0] = st.nonzero[1] = nz;
    return;
  }
  const GranuleInfo& gi = st.si.gr[gr][1];
  const int rateIndex = (h.lsf ? (h.mpeg25 ? 6 : 3) : 0) + std::clamp(h.sampleRateIndex, 0, 2);
  const ScaleFactorBands& sfb = Layer3Bands(rateIndex);
  const IntensityTables& it = Intensity();
  const int intensityScale = st.si.gr[gr][1].scalefacCompress & 1;

  // One band of lines [start, end): intensity from the left channel when its
  // position is legal, else mid/side when on, else left as it is.
  // The top band has no scale factor of its own: it takes the position of the
  // band below when that band is intensity coded; otherwise it counts as
  // position 0 at the lower rates (both gains 1) and as illegal in MPEG-1.
  auto band = [&](int start, int end, int pos, int maxPos, bool belowCoded) {
    if (!belowCoded) {
      pos = h.lsf ? 0 : 7;
      maxPos = -1;
    }
    bool legal = h.lsf ? pos != maxPos : pos < 7;
    if (!legal) {
      if (msStereo) MidSide(l, r, start, end);
      return;
    }
    float kl, kr;
    if (h.lsf) {
      kl = it.lsf[intensityScale][pos & 31][0];
      kr = it.lsf[intensityScale][pos & 31][1];
    } else {
      kl = it.mpeg1[pos][0];
      kr = it.mpeg1[pos][1];
    }
    for (int i = start; i < end; ++i) {
      float v = l[i];
      l[i] = v * kl;
      r[i] = v * kr;
    }
  };
  const int* scaleLong = st.scaleLong[1];
  const int(*scaleShort)[3] = st.scaleShort[1];
  auto longPos = [&](int b) { return scaleLong[b == 21 ? 20 : b]; };
  auto longMax = [&](int b) { return st.maxLong[b == 21 ? 20 : b]; };

  if (gi.blockType != 2) {
    // Intensity starts in the band above the right channel's last nonzero line.
    int first = 0;
    if (st.nonzero[1] > 0) {
      while (first < 22 && sfb.longBounds[first + 1] <= st.nonzero[1] - 1) ++first;
      ++first;
    }
    for (int b = 0; b < 22; ++b) {
      int s = sfb.longBounds[b], e = sfb.longBounds[b + 1];
      if (b >= first)
        band(s, e, longPos(b), longMax(b), b < 21 || first <= 20);
      else if (msStereo)
        MidSide(l, r, s, e);
    }
  } else {
    const int shortStart = gi.mixed ? 3 : 0;
    const int longBands = gi.mixed ? (h.lsf ? 6 : 8) : 0;
    // Highest nonzero short band of the right channel, per window.
    int top[3] = {shortStart - 1, shortStart - 1, shortStart - 1};
    for (int b = shortStart; b < 13; ++b) {
      int width = sfb.shortBounds[b + 1] - sfb.shortBounds[b];
      for (int w = 0; w < 3; ++w) {
        int s = sfb.shortBounds[b] * 3 + w * width;
        for (int i = s; i < s + width; ++i)
          if (r[i] != 0.0f) {
            top[w] = b;
            break;
          }
      }
    }
    if (longBands) {
      bool shortNonzero = top[0] >= shortStart || top[1] >= shortStart || top[2] >= shortStart;
      int first = longBands;
      if (!shortNonzero) {
        first = 0;
        for (int b = 0; b < longBands; ++b)
          for (int i = sfb.longBounds[b]; i < sfb.longBounds[b + 1]; ++i)
            if (r[i] != 0.0f) first = b + 1;
      }
      for (int b = 0; b < longBands; ++b) {
        int s = sfb.longBounds[b], e = sfb.longBounds[b + 1];
        if (b >= first)
          band(s, e, scaleLong[b], st.maxLong[b], true);
        else if (msStereo)
          MidSide(l, r, s, e);
      }
    }
    for (int b = shortStart; b < 13; ++b) {
      int width = sfb.shortBounds[b + 1] - sfb.shortBounds[b];
      int pb = b == 12 ? 11 : b;
      for (int w = 0; w < 3; ++w) {
        int s = sfb.shortBounds[b] * 3 + w * width;
        if (b > top[w])
          band(s, s + width, scaleShort[pb][w], st.maxShort[pb][w], b < 12 || top[w] < 11);
        else if (msStereo)
          MidSide(l, r, s, s + width);
      }
    }
  }
  // Intensity copies the left channel's lines into the right one.
  st.nonzero[0] = st.nonzero[1] = std::max(nz, st.nonzero[0]);
}

void CLayer3::Hybrid(const FrameHeader& h, int gr, int ch, float (*out)[32]) {
  State& st = *state_;
  const GranuleInfo& gi = st.si.gr[gr][ch];
  const int rateIndex = (h.lsf ? (h.mpeg25 ? 6 : 3) : 0) + std::clamp(h.sampleRateIndex, 0, 2);
  const ScaleFactorBands& sfb = Layer3Bands(rateIndex);
  float* xr = st.xr[ch];
  const int nz = st.nonzero[ch];
  int subbands = (nz + 17) / 18;
  const float* lines = xr;
  int longSubbands = 32;

  if (gi.blockType == 2) {
    // Short windows are regrouped per subband: window after window, 6 lines each.
    float* dst = st.reordered;
    const int shortStart = gi.mixed ? 3 : 0;
    // The long part of a mixed block ends where the short bands from 3 on
    // begin: 36 lines, or 72 at 8 kHz.
    const int longLines = gi.mixed ? sfb.shortBounds[3] * 3 : 0;
    longSubbands = longLines / 18;
    if (gi.mixed) std::memcpy(dst, xr, sizeof(float) * size_t(longLines));
    int topFrequency = 0;
    for (int b = shortStart; b < 13; ++b) {
      int f0 = sfb.shortBounds[b], f1 = sfb.shortBounds[b + 1];
      int width = f1 - f0;
      int s = f0 * 3;
      for (int w = 0; w < 3; ++w)
        for (int f = f0; f < f1; ++f)
          dst[(f / 6) * 18 + w * 6 + f % 6] = xr[s + w * width + (f - f0)];
      if (s < nz) topFrequency = f1;
    }
    subbands = (topFrequency + 5) / 6;
    if (gi.mixed && nz > 0)
      subbands = std::max(subbands, std::min(longSubbands, (nz + 17) / 18 + 1));
    lines = dst;
    // Alias reduction only between the long subbands.
    const AliasCoefficients& a = Alias();
    for (int sb = 1; sb < std::min(longSubbands, subbands); ++sb) {
      float* q = dst + 18 * sb;
      for (int i = 0; i < 8; ++i) {
        float lo = q[-1 - i], hi = q[i];
        q[-1 - i] = lo * a.cs[i] - hi * a.ca[i];
        q[i] = hi * a.cs[i] + lo * a.ca[i];
      }
    }
  } else if (subbands > 0) {
    const AliasCoefficients& a = Alias();
    const int last = std::min(subbands, 31);
    for (int sb = 1; sb <= last; ++sb) {
      float* p = xr + 18 * sb;
      for (int i = 0; i < 8; ++i) {
        float lo = p[-1 - i], hi = p[i];
        p[-1 - i] = lo * a.cs[i] - hi * a.ca[i];
        p[i] = hi * a.cs[i] + lo * a.ca[i];
      }
    }
    subbands = std::min(subbands + 1, 32);
  }

  const int carried = st.overlapSubbands[ch];
  const int work = std::max(subbands, carried);
  for (int sb = 0; sb < work; ++sb) {
    float* o = &out[0][sb];
    float* ov = st.overlap[ch][sb];
    if (sb >= subbands) {
      for (int t = 0; t < 18; ++t) o[t * 32] = ov[t];
      std::memset(ov, 0, sizeof(float) * 18);
    } else if (sb < longSubbands) {
      // The long part of a mixed block uses the normal window; so do the two
      // lowest subbands of start and stop blocks that carry the mixed flag.
      Layer3HybridLong(lines + 18 * sb, gi.mixed && sb < 2 ? 0 : gi.blockType, ov, o, 32);
    } else {
      Layer3HybridShort(lines + 18 * sb, ov, o, 32);
    }
    // The polyphase filter bank expects odd subbands inverted in odd slots.
    if (sb & 1)
      for (int t = 1; t < 18; t += 2) o[t * 32] = -o[t * 32];
  }
  for (int sb = work; sb < 32; ++sb)
    for (int t = 0; t < 18; ++t) out[t][sb] = 0.0f;
  st.overlapSubbands[ch] = subbands;
}

}  // namespace mpegaudio
