#include "engine/effects/LowPass.h"

#include <cmath>
#include <numbers>
#include <vector>

CLowPass::CLowPass(int taps, int stereo, long sampleRate, long cutoff)
    : CFilter(taps, stereo, EFFECT_LOW_PASS) {
  UpdateFilterSettings(taps, stereo, sampleRate, cutoff, 2);
}

CEffect* CLowPass::Copy() {
  try {
    return new CLowPass(*this);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// h[i] = (0.54 + 0.46 cos(2 pi x / N)) sin(2 pi fc / fs x) / (pi x) with
// x = i - N / 2; at x = 0 (the centre tap of an even N) its limit 2 fc / fs.
int CLowPass::UpdateFilterSettings(int taps, int stereo, long sampleRate, long cutoff, long) {
  if (taps < 1 || sampleRate <= 0 || cutoff < 0) return 0;
  constexpr double pi = std::numbers::pi;
  const double n = taps;
  const double fraction = static_cast<double>(cutoff) / static_cast<double>(sampleRate);
  std::vector<double> h;
  try {
    h.resize(static_cast<size_t>(taps));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (int i = 0; i < taps; ++i) {
    const double x = i - n / 2.0;
    const double window = 0.54 + 0.46 * std::cos(2.0 * pi * x / n);
    h[i] = x == 0.0 ? 2.0 * fraction : window * std::sin(2.0 * pi * fraction * x) / (pi * x);
  }
  return SetCoefficients(taps, h.data(), stereo, 0);
}
