// What a sound holds while it records: the WAV writer over its source and
// the peak list built as blocks arrive.
#pragma once

#include <cstdint>

#include "engine/core/PCMSound.h"
#include "engine/media/MyArrayList.h"
#include "platform/riff/RIFF.h"

struct CPCMSound::RecordState {
  CRIFF riff;
  CPCMMixer* recorder = nullptr;  // the mixer capturing, until it ends
  bool buildPeaks = false;
  long msPerPeak = 0;
  CMyArrayList peaks;  // sort values: the peak bytes, in order
  int64_t bytesPerPeak = 0;
  double exactBytesPerPeak = 0.0;
  double fraction = 0.0;  // bytes the whole-block pieces fell short by
  int64_t pieceBytes = 0;
  long pieceMax = 0;
  long maxLeft = 0, maxRight = 0;
};
