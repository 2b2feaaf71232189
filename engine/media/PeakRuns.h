// Cuts decoded PCM into runs of one peak interval, which may span blocks, and
// stores each run's peak scaled to 0..255. Run i ends at frame
// (i + 1) * rate * ms / 1000, so the peaks never drift from the sound's time;
// Finish stores the last, partial run.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/WaveFormat.h"

class CPeaks;

class CPeakRuns {
 public:
  CPeakRuns(CPeaks* peaks, const tWAVEFORMATEX* format, long msPerPeak, int toFile);
  // PCM of the format given at construction; a frame split between calls is
  // joined.
  void Add(const char* data, int64_t bytes);
  // Stores the run begun and not yet full, if any.
  void Finish();

 private:
  // Frames `frames` long at `data`, whole.
  void AddFrames(const char* data, int64_t frames);
  int64_t RunEnd() const { return (index_ + 1) * framesTimesMs_ / 1000; }
  void Store();

  CPeaks* peaks_;
  const tWAVEFORMATEX* format_;
  int toFile_;
  int64_t align_;
  int64_t framesTimesMs_;  // sample rate times the interval in ms
  int64_t index_ = 0;      // of the run being filled
  int64_t frame_ = 0;      // frames seen
  long max_ = 0;
  bool open_ = false;
  std::vector<char> split_;  // the start of a frame cut by a block's end
};
