// Polyphase synthesis: a fast 32-point DCT does the matrixing, and a
// vectorisable 16-tap window sum over the stored matrixing outputs gives the
// PCM samples.
#include "engine/codecs/mpeg/Synthesis.h"

#include <cmath>
#include <cstring>

namespace mpegaudio {

namespace {

// Synthesis window taps 0..256 in units of 2^-16; the window is odd about tap
// 256 (D[512 - i] = -D[i]) except at multiples of 64, where D[512 - i] = D[i].
constexpr int32_t kWindowHalf[257] = {
    0,      -1,     -1,     -1,     -1,     -1,     -1,     -2,     -2,     -2,     -2,     -3,
    -3,     -4,     -4,     -5,     -5,     -6,     -7,     -7,     -8,     -9,     -10,    -11,
    -13,    -14,    -16,    -17,    -19,    -21,    -24,    -26,    -29,    -31,    -35,    -38,
    -41,    -45,    -49,    -53,    -58,    -63,    -68,    -73,    -79,    -85,    -91,    -97,
    -104,   -111,   -117,   -125,   -132,   -139,   -147,   -154,   -161,   -169,   -176,   -183,
    -190,   -196,   -202,   -208,   213,    218,    222,    225,    227,    228,    228,    227,
    224,    221,    215,    208,    200,    189,    177,    163,    146,    127,    106,    83,
    57,     29,     -2,     -36,    -72,    -111,   -153,   -197,   -244,   -294,   -347,   -401,
    -459,   -519,   -581,   -645,   -711,   -779,   -848,   -919,   -991,   -1064,  -1137,  -1210,
    -1283,  -1356,  -1428,  -1498,  -1567,  -1634,  -1698,  -1759,  -1817,  -1870,  -1919,  -1962,
    -2001,  -2032,  -2057,  -2075,  -2085,  -2087,  -2080,  -2063,  2037,   2000,   1952,   1893,
    1822,   1739,   1644,   1535,   1414,   1280,   1131,   970,    794,    605,    402,    185,
    -45,    -288,   -545,   -814,   -1095,  -1388,  -1692,  -2006,  -2330,  -2663,  -3004,  -3351,
    -3705,  -4063,  -4425,  -4788,  -5153,  -5517,  -5879,  -6237,  -6589,  -6935,  -7271,  -7597,
    -7910,  -8209,  -8491,  -8755,  -8998,  -9219,  -9416,  -9585,  -9727,  -9838,  -9916,  -9959,
    -9966,  -9935,  -9863,  -9750,  -9592,  -9389,  -9139,  -8840,  -8492,  -8092,  -7640,  -7134,
    6574,   5959,   5288,   4561,   3776,   2935,   2037,   1082,   70,     -998,   -2122,  -3300,
    -4533,  -5818,  -7154,  -8540,  -9975,  -11455, -12980, -14548, -16155, -17799, -19478, -21189,
    -22929, -24694, -26482, -28289, -30112, -31947, -33791, -35640, -37489, -39336, -41176, -43006,
    -44821, -46617, -48390, -50137, -51853, -53534, -55178, -56778, -58333, -59838, -61289, -62684,
    -64019, -65290, -66494, -67629, -68692, -69679, -70590, -71420, -72169, -72835, -73415, -73908,
    -74313, -74630, -74856, -74992, 75038,
};

int WindowAt(int i) {
  if (i <= 256) return kWindowHalf[i];
  return (i % 64) == 0 ? kWindowHalf[512 - i] : -kWindowHalf[512 - i];
}

struct Tables {
  // Window taps D[32 r + j] scaled to the 16-bit output range, row r for lag r.
  alignas(64) float window[16][32];
  // 1 / (2 cos((2k + 1) pi / 2N)) for the odd half of each DCT stage, N = 32 .. 2,
  // at offsets 0, 16, 24, 28 and 30.
  float invCos[31];
  Tables() {
    for (int r = 0; r < 16; ++r)
      for (int j = 0; j < 32; ++j) window[r][j] = float(WindowAt(32 * r + j) * (32768.0 / 65536.0));
    int at = 0;
    for (int n = 32; n >= 2; n /= 2)
      for (int k = 0; k < n / 2; ++k)
        invCos[at++] = float(0.5 / std::cos((2 * k + 1) * M_PI / (2.0 * n)));
  }
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

// Eight floats or integers: GCC lowers these to SSE pairs or AVX registers.
typedef float Floats8 __attribute__((vector_size(32)));
typedef int32_t Ints8 __attribute__((vector_size(32)));
typedef int16_t Shorts8 __attribute__((vector_size(16)));

constexpr int InvCosOffset(int n) {
  return n == 32 ? 0 : n == 16 ? 16 : n == 8 ? 24 : n == 4 ? 28 : 30;
}

// Unnormalised DCT-II, out[m] = sum in[k] cos(m (2k + 1) pi / 2N), by Lee's
// factorisation: the even outputs are the DCT of the folded sum, the odd ones
// the sums of neighbouring outputs of the DCT of the scaled folded difference.
template <int N, typename T>
inline void Dct(const T* in, T* out, const float* invCos) {
  if constexpr (N == 1) {
    out[0] = in[0];
  } else {
    constexpr int H = N / 2;
    T even[H], odd[H], evenOut[H], oddOut[H + 1];
    const float* c = invCos + InvCosOffset(N);
    for (int k = 0; k < H; ++k) {
      even[k] = in[k] + in[N - 1 - k];
      odd[k] = (in[k] - in[N - 1 - k]) * c[k];
    }
    Dct<H, T>(even, evenOut, invCos);
    Dct<H, T>(odd, oddOut, invCos);
    oddOut[H] = T{};
    for (int m = 0; m < H; ++m) {
      out[2 * m] = evenOut[m];
      out[2 * m + 1] = oddOut[m] + oddOut[m + 1];
    }
  }
}

// Stores one slot's matrixing output x in the history and windows the last 16
// into 32 samples.
__attribute__((always_inline)) inline void WindowSlot(const Tables& t, float (*history)[32 * 32],
                                                      int& phase, const float* x, int16_t* out,
                                                      int stride) {
  {
    // V[0..63] of this slot from the DCT outputs: V[i] = x[16 + i] for i < 16,
    // V[16] = 0, V[i] = -x[48 - i] up to 47, V[48] = -x[0], V[i] = -x[i - 48] beyond.
    phase = (phase + 15) & 15;
    float* __restrict a = history[0] + phase * 32;
    float* __restrict b = history[1] + phase * 32;
    for (int j = 0; j < 16; ++j) a[j] = x[16 + j];
    a[16] = 0.0f;
    for (int j = 17; j < 32; ++j) a[j] = -x[48 - j];
    for (int j = 0; j < 16; ++j) b[j] = -x[16 - j];
    b[16] = -x[0];
    for (int j = 17; j < 32; ++j) b[j] = -x[j - 16];
    std::memcpy(a + 16 * 32, a, 32 * sizeof(float));
    std::memcpy(b + 16 * 32, b, 32 * sizeof(float));

    // Window rows of even lag take V[0..31] and those of odd lag V[32..63] of
    // the slot that many steps back.
    Floats8 acc[4] = {};
    for (int r = 0; r < 16; r += 2) {
      for (int q = 0; q < 4; ++q) {
        Floats8 w0, w1, h0, h1;
        std::memcpy(&w0, t.window[r] + 8 * q, sizeof w0);
        std::memcpy(&w1, t.window[r + 1] + 8 * q, sizeof w1);
        std::memcpy(&h0, a + r * 32 + 8 * q, sizeof h0);
        std::memcpy(&h1, b + (r + 1) * 32 + 8 * q, sizeof h1);
        acc[q] += w0 * h0 + w1 * h1;
      }
    }

    // Clip, then round to nearest (ties to even) by adding 1.5 * 2^23, which
    // leaves the integer in the low mantissa bits.
    const Floats8 high = Floats8{} + 32767.0f, low = Floats8{} - 32768.0f;
    for (int q = 0; q < 4; ++q) {
      Floats8 v = acc[q] < high ? acc[q] : high;
      v = v > low ? v : low;
      v += 12582912.0f;
      Ints8 rounded;
      std::memcpy(&rounded, &v, sizeof rounded);
      rounded -= 0x4B400000;
      if (stride == 1) {
        Shorts8 narrow = __builtin_convertvector(rounded, Shorts8);
        std::memcpy(out + 8 * q, &narrow, sizeof narrow);
      } else {
        for (int i = 0; i < 8; ++i) out[(8 * q + i) * stride] = int16_t(rounded[i]);
      }
    }
  }
}

}  // namespace

CSynthesis::CSynthesis() { Reset(); }

void CSynthesis::Reset() {
  std::memset(history_, 0, sizeof history_);
  phase_ = 0;
}

int CSynthesis::WindowTap(int i) { return (i >= 0 && i < 512) ? WindowAt(i) : 0; }

// Built for AVX2 and FMA as well where the processor has them; the fused
// multiply-adds there can move a rounding tie by one step, nothing more.
__attribute__((target_clones("arch=x86-64-v3", "default"))) void CSynthesis::Run(
    const float (*subbands)[32], int slots, int16_t* pcm, int stride) {
  const Tables& t = GetTables();
  for (int first = 0; first < slots; first += 8) {
    // Eight slots' DCTs at once, one slot per vector lane.
    const int count = slots - first < 8 ? slots - first : 8;
    Floats8 in[32], dct[32];
    for (int k = 0; k < 32; ++k)
      for (int i = 0; i < 8; ++i) in[k][i] = i < count ? subbands[first + i][k] : 0.0f;
    Dct<32, Floats8>(in, dct, t.invCos);
    float lanes[8][32];
    for (int k = 0; k < 32; ++k)
      for (int i = 0; i < 8; ++i) lanes[i][k] = dct[k][i];
    for (int i = 0; i < count; ++i)
      WindowSlot(t, history_, phase_, lanes[i], pcm + (first + i) * 32 * stride, stride);
  }
}

}  // namespace mpegaudio
