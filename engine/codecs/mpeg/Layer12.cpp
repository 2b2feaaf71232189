// Layer I and II decoding: bit allocation, scale factors and requantisation of
// the subband samples, with the intensity-coded upper subbands of joint stereo
// shared between the channels.
#include "engine/codecs/mpeg/Layer12.h"

#include <cmath>
#include <cstring>

#include "engine/codecs/mpeg/BitReader.h"
#include "engine/codecs/mpeg/FrameDecoder.h"

namespace mpegaudio {

namespace {

// Scale factors 2^(1 - i/3); index 63 is reserved and decodes as the next
// smaller step, which is practically silence.
struct ScaleFactors {
  float value[64];
  ScaleFactors() {
    for (int i = 0; i < 64; ++i) value[i] = float(std::pow(2.0, 1.0 - i / 3.0));
  }
};

const float* ScaleFactorTable() {
  static const ScaleFactors table;
  return table.value;
}

// Layer II quantisation classes, by allocation code: the number of steps per
// code, for each row of the allocation tables below.
constexpr uint16_t kClassRows[8][16] = {
    {0, 3, 7, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535},
    {0, 3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 65535},
    {0, 3, 5, 7, 9, 15, 31, 65535},
    {0, 3, 5, 65535},
    {0, 3, 5, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767},
    {0, 3, 5, 9, 15, 31, 63, 127},
    {0, 3, 5, 9},
    {0, 3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383}};
constexpr int kRowBits[8] = {4, 4, 3, 2, 4, 3, 2, 4};

// An allocation table: runs of subbands sharing one class row.
struct AllocRun {
  int row;
  int count;
};
struct AllocTable {
  int sblimit;
  AllocRun runs[4];
};

// MPEG-1 tables for high rates at 48 kHz (a) and at 44.1/32 kHz (b), for low
// rates at 48/44.1 kHz (c) and at 32 kHz (d), and the table of the lower
// sampling frequencies.
constexpr AllocTable kTableA = {27, {{0, 3}, {1, 8}, {2, 12}, {3, 4}}};
constexpr AllocTable kTableB = {30, {{0, 3}, {1, 8}, {2, 12}, {3, 7}}};
constexpr AllocTable kTableC = {8, {{4, 2}, {5, 6}, {0, 0}, {0, 0}}};
constexpr AllocTable kTableD = {12, {{4, 2}, {5, 10}, {0, 0}, {0, 0}}};
constexpr AllocTable kTableLsf = {30, {{7, 4}, {5, 7}, {6, 19}, {0, 0}}};

const AllocTable& SelectTable(const FrameHeader& h) {
  if (h.lsf) return kTableLsf;
  int perChannel = h.bitrateKbps / h.channels;
  if (perChannel > 0 && perChannel <= 48) return h.sampleRate == 32000 ? kTableD : kTableC;
  if (perChannel > 0 && perChannel <= 80) return kTableA;
  return h.sampleRate == 48000 ? kTableA : kTableB;
}

// Bits per code word and whether three samples share one (grouping) for a
// class with the given number of steps.
struct Quantizer {
  int bits;
  bool grouped;
};

Quantizer QuantizerFor(int steps) {
  switch (steps) {
    case 3:
      return {5, true};
    case 5:
      return {7, true};
    case 9:
      return {10, true};
    default: {
      int bits = 0;
      while ((1 << bits) < steps + 1) ++bits;
      return {bits, false};
    }
  }
}

// Splits a grouped code word into its three samples, first sample least
// significant; words beyond N^3 - 1 are invalid and their last sample is clamped.
template <uint32_t N>
inline void Ungroup(uint32_t c, int* code) {
  code[0] = int(c % N);
  c /= N;
  code[1] = int(c % N);
  c /= N;
  code[2] = int(c < N ? c : N - 1);
}

int IntensityBound(const FrameHeader& h, int sblimit) {
  int bound = h.mode == kModeJointStereo ? 4 * (h.modeExtension + 1) : sblimit;
  return bound < sblimit ? bound : sblimit;
}

}  // namespace

int CLayer12::Decode(const FrameHeader& h, const uint8_t* data, size_t len, float (*out)[36][32]) {
  protectedBits_ = -1;
  if (h.channels < 1 || h.channels > 2) return kFrameBadData;
  if (h.layer == 1) return DecodeLayer1(h, data, len, out);
  if (h.layer == 2) return DecodeLayer2(h, data, len, out);
  return kFrameBadData;
}

int CLayer12::DecodeLayer1(const FrameHeader& h, const uint8_t* data, size_t len,
                           float (*out)[36][32]) {
  const int nch = h.channels;
  const int bound = nch == 2 ? IntensityBound(h, 32) : 32;
  const float* scfTable = ScaleFactorTable();
  CBitReader br(data, len);

  int alloc[2][32];
  for (int sb = 0; sb < 32; ++sb) {
    for (int ch = 0; ch < nch; ++ch)
      alloc[ch][sb] = (sb < bound || ch == 0) ? int(br.Read(4)) : alloc[0][sb];
  }
  protectedBits_ = int(br.Position());
  for (int ch = 0; ch < nch; ++ch)
    for (int sb = 0; sb < 32; ++sb)
      if (alloc[ch][sb] == 15) return kFrameBadData;  // forbidden code

  // Per subband: the requantisation factor with the scale factor folded in,
  // and the code offset that centres the steps on zero.
  float factor[2][32];
  float offset[32];
  for (int sb = 0; sb < 32; ++sb) {
    int a = alloc[0][sb] ? alloc[0][sb] : alloc[nch - 1][sb];
    int steps = (2 << a) - 1;
    offset[sb] = float(steps - 1) * 0.5f;
    for (int ch = 0; ch < nch; ++ch) {
      factor[ch][sb] = 0.0f;
      if (alloc[ch][sb])
        factor[ch][sb] = scfTable[br.Read(6)] * 2.0f / float((2 << alloc[ch][sb]) - 1);
    }
  }

  for (int ch = 0; ch < nch; ++ch) std::memset(out[ch], 0, 12 * sizeof out[ch][0]);
  for (int s = 0; s < 12; ++s) {
    for (int sb = 0; sb < 32; ++sb) {
      if (sb < bound) {
        for (int ch = 0; ch < nch; ++ch) {
          if (!alloc[ch][sb]) continue;
          float c = float(br.Read(alloc[ch][sb] + 1));
          out[ch][s][sb] = (c - float((1 << alloc[ch][sb]) - 1)) * factor[ch][sb];
        }
      } else if (alloc[0][sb]) {
        float c = float(br.Read(alloc[0][sb] + 1)) - offset[sb];
        for (int ch = 0; ch < nch; ++ch) out[ch][s][sb] = c * factor[ch][sb];
      }
    }
  }
  if (br.Overrun()) return kFrameBadData;
  return 12;
}

int CLayer12::DecodeLayer2(const FrameHeader& h, const uint8_t* data, size_t len,
                           float (*out)[36][32]) {
  const int nch = h.channels;
  const AllocTable& table = SelectTable(h);
  const int sblimit = table.sblimit;
  const int bound = nch == 2 ? IntensityBound(h, sblimit) : sblimit;
  const float* scfTable = ScaleFactorTable();
  CBitReader br(data, len);

  // Steps of each subband's quantiser per channel (0: not transmitted).
  int steps[2][32] = {};
  for (int sb = 0, run = 0, left = table.runs[0].count; sb < sblimit; ++sb, --left) {
    while (left == 0) left = table.runs[++run].count;
    const int row = table.runs[run].row;
    for (int ch = 0; ch < nch; ++ch) {
      steps[ch][sb] =
          (sb < bound || ch == 0) ? kClassRows[row][br.Read(kRowBits[row])] : steps[0][sb];
    }
  }

  int scfsi[2][32] = {};
  for (int sb = 0; sb < sblimit; ++sb)
    for (int ch = 0; ch < nch; ++ch)
      if (steps[ch][sb]) scfsi[ch][sb] = int(br.Read(2));
  protectedBits_ = int(br.Position());

  // Requantisation factors per channel, subband and scale factor part (each
  // part covers four granules of three samples), scale factor folded in.
  float factor[2][32][3] = {};
  for (int sb = 0; sb < sblimit; ++sb) {
    for (int ch = 0; ch < nch; ++ch) {
      if (!steps[ch][sb]) continue;
      int idx[3];
      switch (scfsi[ch][sb]) {
        case 0:
          idx[0] = int(br.Read(6));
          idx[1] = int(br.Read(6));
          idx[2] = int(br.Read(6));
          break;
        case 1:
          idx[0] = idx[1] = int(br.Read(6));
          idx[2] = int(br.Read(6));
          break;
        case 2:
          idx[0] = idx[1] = idx[2] = int(br.Read(6));
          break;
        default:
          idx[0] = int(br.Read(6));
          idx[1] = idx[2] = int(br.Read(6));
          break;
      }
      float q = 2.0f / float(steps[ch][sb]);
      for (int p = 0; p < 3; ++p) factor[ch][sb][p] = scfTable[idx[p]] * q;
    }
  }

  // The transmitted subbands in bit stream order, each read once per granule
  // and given to one channel, or to both above the intensity bound.
  struct Coded {
    int bits, steps;  // steps 3, 5 or 9: grouped code words
    float centre;
    float* out[2];           // slot 0 of the subband in each channel it feeds
    const float* factor[2];  // its three scale factor parts
    int outputs;             // 1, or 2 for a subband shared above the bound
  };
  Coded coded[64];
  int count = 0;
  for (int sb = 0; sb < sblimit; ++sb) {
    const bool shared = sb >= bound && nch == 2;
    for (int ch = 0; ch < (shared ? 1 : nch); ++ch) {
      const int n = steps[ch][sb];
      if (!n) continue;
      const Quantizer q = QuantizerFor(n);
      Coded& c = coded[count++];
      c.bits = q.bits;
      c.steps = q.grouped ? n : 0;
      c.centre = float(n - 1) * 0.5f;
      c.outputs = shared ? 2 : 1;
      for (int o = 0; o < c.outputs; ++o) {
        c.out[o] = &out[ch + o][0][sb];
        c.factor[o] = factor[ch + o][sb];
      }
    }
  }

  for (int ch = 0; ch < nch; ++ch) std::memset(out[ch], 0, 36 * sizeof out[ch][0]);
  for (int gr = 0; gr < 12; ++gr) {
    const int part = gr >> 2;
    for (int e = 0; e < count; ++e) {
      const Coded& q = coded[e];
      int code[3];
      switch (q.steps) {
        case 3:
          Ungroup<3>(br.Read(q.bits), code);
          break;
        case 5:
          Ungroup<5>(br.Read(q.bits), code);
          break;
        case 9:
          Ungroup<9>(br.Read(q.bits), code);
          break;
        default:
          code[0] = int(br.Read(q.bits));
          code[1] = int(br.Read(q.bits));
          code[2] = int(br.Read(q.bits));
          break;
      }
      const float v0 = float(code[0]) - q.centre, v1 = float(code[1]) - q.centre,
                  v2 = float(code[2]) - q.centre;
      for (int o = 0; o < q.outputs; ++o) {
        const float f = q.factor[o][part];
        float* dst = q.out[o] + gr * 3 * 32;
        dst[0] = v0 * f;
        dst[32] = v1 * f;
        dst[64] = v2 * f;
      }
    }
  }
  if (br.Overrun()) return kFrameBadData;
  return 36;
}

}  // namespace mpegaudio
