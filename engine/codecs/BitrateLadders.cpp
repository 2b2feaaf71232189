#include "engine/codecs/BitrateLadders.h"

#include <iterator>

namespace {

const unsigned long kMpeg1[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
const unsigned long kMpeg2x[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160};
const unsigned long kWma[] = {5,  6,  8,  10, 12, 16, 20,  22,  32,
                              36, 40, 48, 64, 80, 96, 128, 160, 192};

template <size_t N>
unsigned long Nearest(const unsigned long (&e)[N], unsigned long v) {
  if (v >= e[N - 1]) return e[N - 1];
  if (v <= e[0]) return e[0];
  for (size_t i = 1; i < N; ++i) {
    if (v == e[i]) return e[i];
    if (v < e[i]) return v <= (e[i - 1] + e[i]) / 2 ? e[i - 1] : e[i];
  }
  return e[N - 1];
}

template <size_t N>
void Neighbours(const unsigned long (&e)[N], unsigned long* upper, unsigned long* lower,
                unsigned long* between, unsigned long* kbps) {
  if (!kbps) return;
  unsigned long v = *kbps, up, low, mid, snapped;
  if (v >= e[N - 1]) {
    up = e[N - 1], low = e[N - 2], mid = e[N - 1] - 1, snapped = e[N - 1];
  } else if (v <= e[0]) {
    up = e[1], low = e[0], mid = e[0] + 1, snapped = e[0];
  } else {
    size_t i = 1;
    while (v > e[i]) ++i;
    up = e[i], low = e[i - 1];
    mid = v == e[i] ? v - 1 : v;
    snapped = Nearest(e, v);
  }
  if (upper) *upper = up;
  if (lower) *lower = low;
  if (between) *between = mid;
  *kbps = snapped;
}

}  // namespace

unsigned long FindMostNaturalMPEG1BitRate(unsigned long kbps) { return Nearest(kMpeg1, kbps); }
unsigned long FindMostNaturalMPEG2XBitRate(unsigned long kbps) { return Nearest(kMpeg2x, kbps); }
unsigned long FindMostNaturalWMABitRate(unsigned long kbps) { return Nearest(kWma, kbps); }

void FindMostNaturalMPEG1BitRates(unsigned long* upper, unsigned long* lower,
                                  unsigned long* between, unsigned long* kbps) {
  Neighbours(kMpeg1, upper, lower, between, kbps);
}

void FindMostNaturalMPEG2XBitRates(unsigned long* upper, unsigned long* lower,
                                   unsigned long* between, unsigned long* kbps) {
  Neighbours(kMpeg2x, upper, lower, between, kbps);
}

TBitrateLadder MPEG1BitrateLadder() { return {kMpeg1, std::size(kMpeg1)}; }
TBitrateLadder MPEG2XBitrateLadder() { return {kMpeg2x, std::size(kMpeg2x)}; }
TBitrateLadder WMABitrateLadder() { return {kWma, std::size(kWma)}; }
