// The weights that fold up to eight channels into stereo.
//
// With a speaker mask that names every channel: front left and right go
// whole into their side; centre speakers (front, back, top) go at -3 dB into
// both sides; every other speaker on the left (surrounds, backs, front-left-of-
// centre, tops) goes at -3 dB into the left, and likewise on the right; the LFE
// channel is dropped. For 5.1 that is Lo = L + 0.707 C + 0.707 Ls, and the same
// for 7.1 with both surround pairs. Without a usable mask the channels fold by
// position: even ones left, odd ones right, all at one weight.
//
// Then every weight is scaled by one factor so that neither side's sum of
// weights exceeds 1: full-scale channels in phase cannot clip, and the balance
// between the sides stays as the weights put it.
#pragma once

#include <cstdint>

#include "platform/acm/SampleLayout.h"

class CDownmixMatrix {
 public:
  // For channels 3 .. CSampleLayout::kMaxChannels; mask as the format gives it.
  CDownmixMatrix(int channels, uint32_t channelMask);

  double left[CSampleLayout::kMaxChannels] = {};
  double right[CSampleLayout::kMaxChannels] = {};

 private:
  void ByMask(int channels, uint32_t mask);
  // Scales the weights so that the larger side sums to 1; false when all are 0.
  bool Scale(int channels);
};
