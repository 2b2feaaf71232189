// A finite-impulse-response filter over interleaved PCM blocks: each output
// sample is the sum of the last N input samples of its channel weighed by the
// N coefficients, coefficient 0 weighing the newest. The history of each
// channel carries over from one block to the next, so a signal cut into
// blocks is filtered as if it were one.
#pragma once

#include <vector>

#include "engine/effects/Effect.h"

class CFilter : public CEffect {
 public:
  // No coefficients yet: Work refuses until SetCoefficients.
  CFilter(int taps, int stereo);
  ~CFilter() override;

  CEffect* Copy() override;
  void Flush() override;
  using CEffect::Work;
  // Filters in into out, or in place when out is null. Samples are read in
  // the input's width (16-bit, else 8-bit unsigned) and written in the
  // output's, on the 16-bit scale with saturation; the filter's stereo flag
  // gives the channels of both. Runs while both buffers have room for a
  // frame and sets out's dataBytes to what it wrote. 0 without coefficients,
  // for a missing buffer or format, or for data that is not interleaved.
  virtual int Work(_bufferType* in, _bufferType* out);

  // Takes a copy of taps coefficients and starts with silent histories (a
  // right one only when stereo). 0 and nothing changed for no coefficients
  // or when memory runs out. The last argument is not used.
  int SetCoefficients(int taps, const double* coefficients, int stereo, long reserved);

  int NumTaps() const { return taps_; }
  int IsStereo() const { return stereo_; }
  const std::vector<double>& Coefficients() const { return coefficients_; }

 protected:
  CFilter(int taps, int stereo, TEffectType type);

 private:
  int stereo_;
  int taps_;
  std::vector<double> coefficients_;
  std::vector<int> historyLeft_;   // oldest first, the newest sample last
  std::vector<int> historyRight_;  // empty for a mono filter
};
