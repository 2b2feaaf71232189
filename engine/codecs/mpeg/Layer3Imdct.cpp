#include "engine/codecs/mpeg/Layer3Imdct.h"

#include <cmath>

namespace mpegaudio {
namespace {

// The 36-point IMDCT is an 18-point DCT-IV whose outputs are mirrored and
// negated into the 36 samples; likewise the 12-point one with a 6-point DCT-IV.
struct ImdctTables {
  // [k][m] = cos(pi / 72 * (2m + 1) * (2k + 1)); rows padded to 20 so that
  // a row is five whole vectors.
  alignas(16) float dct18[18][20];
  float dct6[6][6];     // [k][m] = cos(pi / 24 * (2m + 1) * (2k + 1))
  float window[4][36];  // by block type; [2] holds the 12-point short window
  ImdctTables() {
    const double pi = 3.14159265358979323846;
    for (int k = 0; k < 18; ++k)
      for (int m = 0; m < 20; ++m)
        dct18[k][m] = m < 18 ? float(std::cos(pi / 72 * (2 * m + 1) * (2 * k + 1))) : 0.0f;
    for (int k = 0; k < 6; ++k)
      for (int m = 0; m < 6; ++m) dct6[k][m] = float(std::cos(pi / 24 * (2 * m + 1) * (2 * k + 1)));
    for (int i = 0; i < 36; ++i) {
      double longWin = std::sin(pi / 36 * (i + 0.5));
      window[0][i] = float(longWin);
      // Start block: long rise, flat top, short fall, then zeros.
      if (i < 18)
        window[1][i] = float(longWin);
      else if (i < 24)
        window[1][i] = 1.0f;
      else if (i < 30)
        window[1][i] = float(std::sin(pi / 12 * (i - 18 + 0.5)));
      else
        window[1][i] = 0.0f;
      // Stop block: the mirror image.
      if (i < 6)
        window[3][i] = 0.0f;
      else if (i < 12)
        window[3][i] = float(std::sin(pi / 12 * (i - 6 + 0.5)));
      else if (i < 18)
        window[3][i] = 1.0f;
      else
        window[3][i] = float(longWin);
      window[2][i] = i < 12 ? float(std::sin(pi / 12 * (i + 0.5))) : 0.0f;
    }
  }
};

const ImdctTables& Tables() {
  static const ImdctTables tables;
  return tables;
}

// y has room for 20 values.
inline void Dct18(const ImdctTables& t, const float* in, float* y) {
  float acc[20] = {};
  for (int k = 0; k < 18; ++k) {
    const float v = in[k];
    for (int m = 0; m < 20; ++m) acc[m] += v * t.dct18[k][m];
  }
  for (int m = 0; m < 20; ++m) y[m] = acc[m];
}

inline void Dct6(const ImdctTables& t, const float* in, float* y) {
  for (int m = 0; m < 6; ++m) y[m] = 0.0f;
  for (int k = 0; k < 6; ++k)
    for (int m = 0; m < 6; ++m) y[m] += in[k] * t.dct6[k][m];
}

// Spreads the DCT-IV outputs over the 36 (or 12) IMDCT samples.
inline void Unfold18(const float* y, float* x) {
  for (int i = 0; i < 9; ++i) x[i] = y[i + 9];
  for (int i = 9; i < 27; ++i) x[i] = -y[26 - i];
  for (int i = 27; i < 36; ++i) x[i] = -y[i - 27];
}

inline void Unfold6(const float* y, float* x) {
  for (int i = 0; i < 3; ++i) x[i] = y[i + 3];
  for (int i = 3; i < 9; ++i) x[i] = -y[8 - i];
  for (int i = 9; i < 12; ++i) x[i] = -y[i - 9];
}

}  // namespace

void Layer3ImdctLong(const float* in, float* out) {
  float y[20];
  Dct18(Tables(), in, y);
  Unfold18(y, out);
}

void Layer3ImdctShort(const float* in, float* out) {
  float y[6];
  Dct6(Tables(), in, y);
  Unfold6(y, out);
}

void Layer3HybridLong(const float* in, int blockType, float* overlap, float* out, int stride) {
  const ImdctTables& t = Tables();
  float y[20], x[36];
  Dct18(t, in, y);
  Unfold18(y, x);
  const float* w = t.window[blockType == 2 ? 0 : blockType];
  for (int i = 0; i < 18; ++i) {
    out[i * stride] = x[i] * w[i] + overlap[i];
    overlap[i] = x[i + 18] * w[i + 18];
  }
}

void Layer3HybridShort(const float* in, float* overlap, float* out, int stride) {
  const ImdctTables& t = Tables();
  const float* w = t.window[2];
  float z[36] = {};
  for (int win = 0; win < 3; ++win) {
    float y[6], x[12];
    Dct6(t, in + 6 * win, y);
    Unfold6(y, x);
    for (int i = 0; i < 12; ++i) z[6 + 6 * win + i] += x[i] * w[i];
  }
  for (int i = 0; i < 18; ++i) {
    out[i * stride] = z[i] + overlap[i];
    overlap[i] = z[i + 18];
  }
}

}  // namespace mpegaudio
