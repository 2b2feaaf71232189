// The fast synthesis filter bank against the direct matrixing and windowing
// formula, computed in double precision.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "engine/codecs/mpeg/Synthesis.h"

namespace {

using mpegaudio::CSynthesis;

class DirectSynthesis {
 public:
  void Slot(const float* s, int16_t* out) {
    std::memmove(v_ + 64, v_, 960 * sizeof(double));
    for (int i = 0; i < 64; ++i) {
      double sum = 0.0;
      for (int k = 0; k < 32; ++k) sum += std::cos((16 + i) * (2 * k + 1) * M_PI / 64.0) * s[k];
      v_[i] = sum;
    }
    double u[512];
    for (int i = 0; i < 8; ++i) {
      for (int j = 0; j < 32; ++j) {
        u[64 * i + j] = v_[128 * i + j];
        u[64 * i + 32 + j] = v_[128 * i + 96 + j];
      }
    }
    for (int j = 0; j < 32; ++j) {
      double sum = 0.0;
      for (int i = 0; i < 16; ++i)
        sum += u[j + 32 * i] * CSynthesis::WindowTap(j + 32 * i) / 65536.0;
      double x = std::nearbyint(sum * 32768.0);
      out[j] = int16_t(x > 32767 ? 32767 : x < -32768 ? -32768 : x);
    }
  }

 private:
  double v_[1024] = {};
};

// Runs both over the same slots in calls of varying length into interleaved
// stereo (channel 1 of the output) and returns the largest difference.
int Compare(const std::vector<float>& input, int* differing) {
  const int slots = int(input.size() / 32);
  CSynthesis fast;
  DirectSynthesis direct;
  std::vector<int16_t> got(size_t(slots) * 64, 12345), want(size_t(slots) * 32);
  const int lengths[] = {12, 36, 18, 1, 5};
  for (int s = 0, n = 0; s < slots; s += lengths[n % 5], ++n) {
    int count = std::min(lengths[n % 5], slots - s);
    fast.Run(reinterpret_cast<const float(*)[32]>(input.data() + s * 32), count,
             got.data() + s * 64 + 1, 2);
  }
  for (int s = 0; s < slots; ++s) direct.Slot(input.data() + s * 32, want.data() + s * 32);
  int worst = 0;
  *differing = 0;
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[2 * i], 12345) << "stride not kept at " << i;
    int d = std::abs(got[2 * i + 1] - want[i]);
    worst = std::max(worst, d);
    if (d) ++*differing;
  }
  return worst;
}

TEST(MpegSynthesis, MatchesTheDirectFormulaForRandomSubbands) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(-0.2f, 0.2f);
  std::vector<float> input(32 * 400);
  for (float& x : input) x = dist(rng);
  int differing = 0;
  EXPECT_LE(Compare(input, &differing), 1);
  EXPECT_LT(differing, int(input.size() / 200));  // rounding ties only
}

TEST(MpegSynthesis, SingleSubbandsAndLoudInputsClipLikeTheFormula) {
  // One subband at a time, then every subband at full scale, which overdrives
  // the output and must clip rather than wrap.
  std::vector<float> input(32 * 32 * 20, 0.0f);
  for (int sb = 0; sb < 32; ++sb)
    for (int s = 0; s < 20; ++s) input[(sb * 20 + s) * 32 + sb] = (s & 1) ? 0.9f : -0.7f;
  for (int s = 0; s < 40; ++s)
    for (int sb = 0; sb < 32; ++sb) input.push_back((s & 2) ? 1.0f : -1.0f);
  int differing = 0;
  EXPECT_LE(Compare(input, &differing), 1);

  CSynthesis fast;
  std::vector<float> loud(32 * 20, 1.0f);
  std::vector<int16_t> out(32 * 20);
  fast.Run(reinterpret_cast<const float(*)[32]>(loud.data()), 20, out.data(), 1);
  int clipped = 0;
  for (int16_t v : out) clipped += (v == 32767 || v == -32768);
  EXPECT_GT(clipped, 0);
}

TEST(MpegSynthesis, ResetForgetsTheHistory) {
  std::vector<float> input(32 * 16, 0.5f);
  std::vector<int16_t> a(32 * 16), b(32 * 16);
  CSynthesis first, second;
  first.Run(reinterpret_cast<const float(*)[32]>(input.data()), 16, a.data(), 1);
  first.Reset();
  first.Run(reinterpret_cast<const float(*)[32]>(input.data()), 16, a.data(), 1);
  second.Run(reinterpret_cast<const float(*)[32]>(input.data()), 16, b.data(), 1);
  EXPECT_EQ(a, b);
}

}  // namespace
