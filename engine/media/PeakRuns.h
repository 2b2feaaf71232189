// Cuts decoded PCM into runs of one peak interval, which may span blocks, and
// stores each full run's peak scaled to 0..255. A fractional interval is
// rounded down to whole frames; the fractions carried drop one peak whenever
// they add up to a whole interval, so the peaks keep pace with the time.
#pragma once

#include <cstdint>

#include "platform/WaveFormat.h"

class CPeaks;

class CPeakRuns {
 public:
  CPeakRuns(CPeaks* peaks, const tWAVEFORMATEX* format, long msPerPeak, int toFile);
  // PCM of the format given at construction.
  void Add(const char* data, int64_t bytes);

 private:
  CPeaks* peaks_;
  const tWAVEFORMATEX* format_;
  int toFile_;
  int64_t run_ = 1;
  double fraction_ = 0;
  double carried_ = 0;
  int64_t filled_ = 0;
  long max_ = 0;
};
