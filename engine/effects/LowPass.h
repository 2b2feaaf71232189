// A low-pass filter: Hamming-windowed sinc coefficients for a cut-off
// frequency at a sample rate, applied by the filter it derives from.
#pragma once

#include "engine/effects/Filter.h"

class CLowPass : public CFilter {
 public:
  CLowPass(int taps, int stereo, long sampleRate, long cutoff);

  CEffect* Copy() override;
  // Designs taps coefficients for the cut-off and applies them (histories
  // silent again). 0 and nothing changed for fewer than one tap, a rate
  // that is not positive or a negative cut-off. The last argument is not used.
  int UpdateFilterSettings(int taps, int stereo, long sampleRate, long cutoff, long reserved);
};
