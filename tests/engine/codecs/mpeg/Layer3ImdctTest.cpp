// IMDCT, windows and overlap against the defining formulas, on random input.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/codecs/mpeg/Layer3Imdct.h"

namespace mpegaudio {
namespace {

const double kPi = 3.14159265358979323846;

// x_i = sum_k X_k cos(pi / 2n * (2i + 1 + n/2) * (2k + 1)), i < n.
void DirectImdct(const float* in, int n, double* out) {
  for (int i = 0; i < n; ++i) {
    double s = 0;
    for (int k = 0; k < n / 2; ++k)
      s += in[k] * std::cos(kPi / (2 * n) * (2 * i + 1 + n / 2.0) * (2 * k + 1));
    out[i] = s;
  }
}

double LongWindow(int type, int i) {
  double w = std::sin(kPi / 36 * (i + 0.5));
  if (type == 1) {
    if (i >= 30) return 0;
    if (i >= 24) return std::sin(kPi / 12 * (i - 18 + 0.5));
    if (i >= 18) return 1;
  } else if (type == 3) {
    if (i < 6) return 0;
    if (i < 12) return std::sin(kPi / 12 * (i - 6 + 0.5));
    if (i < 18) return 1;
  }
  return w;
}

TEST(Layer3Imdct, MatchesDirectFormula) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  for (int round = 0; round < 20; ++round) {
    float in[18], out[36];
    double ref[36];
    for (float& v : in) v = dist(rng);
    Layer3ImdctLong(in, out);
    DirectImdct(in, 36, ref);
    for (int i = 0; i < 36; ++i) EXPECT_NEAR(out[i], ref[i], 2e-5) << "long " << i;
    Layer3ImdctShort(in, out);
    DirectImdct(in, 12, ref);
    for (int i = 0; i < 12; ++i) EXPECT_NEAR(out[i], ref[i], 1e-5) << "short " << i;
  }
}

TEST(Layer3Imdct, WindowsAndOverlapOfEveryBlockType) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
  for (int type = 0; type < 4; ++type) {
    float in[18], prev[18], overlap[18], out[18 * 3];
    for (int i = 0; i < 18; ++i) {
      in[i] = dist(rng);
      prev[i] = overlap[i] = dist(rng);
    }
    double z[36] = {};
    if (type == 2) {
      // Three short windows overlapping at 6, 12 and 18 within the block.
      for (int w = 0; w < 3; ++w) {
        double x[12];
        DirectImdct(in + 6 * w, 12, x);
        for (int i = 0; i < 12; ++i) z[6 + 6 * w + i] += x[i] * std::sin(kPi / 12 * (i + 0.5));
      }
      Layer3HybridShort(in, overlap, out, 3);
    } else {
      double x[36];
      DirectImdct(in, 36, x);
      for (int i = 0; i < 36; ++i) z[i] = x[i] * LongWindow(type, i);
      Layer3HybridLong(in, type, overlap, out, 3);
    }
    for (int i = 0; i < 18; ++i) {
      EXPECT_NEAR(out[3 * i], z[i] + prev[i], 3e-5) << "type " << type << " sample " << i;
      EXPECT_NEAR(overlap[i], z[18 + i], 3e-5) << "type " << type << " overlap " << i;
    }
  }
}

}  // namespace
}  // namespace mpegaudio
