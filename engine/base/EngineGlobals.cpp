#include "engine/base/EngineGlobals.h"

#include <atomic>

namespace {
std::atomic<int> mpegDecodingEnabled{1};
std::atomic<int> gaplessMP3Decoding{1};
std::atomic<int> wmaDecodingAvailable{0};
std::atomic<int> currentMP3Encoder{2};
void* encoderLibraries[kEncoderLibrarySlots] = {};
}  // namespace

int GetMPEGDecodingEnabled() { return mpegDecodingEnabled; }
void SetMPEGDecodingEnabled(int enabled) { mpegDecodingEnabled = enabled; }
int GetGaplessMP3Decoding() { return gaplessMP3Decoding; }
void SetGaplessMP3Decoding(int on) { gaplessMP3Decoding = on ? 1 : 0; }
int GetWMADecodingAvailable() { return wmaDecodingAvailable; }
void SetWMADecodingAvailable(int available) { wmaDecodingAvailable = available; }
void** EncoderLibraryHandles() { return encoderLibraries; }
int GetCurrentMP3EncoderValue() { return currentMP3Encoder; }
void SetCurrentMP3EncoderValue(int value) { currentMP3Encoder = value; }

void ResetEngineGlobals() {
  mpegDecodingEnabled = 1;
  gaplessMP3Decoding = 1;
  wmaDecodingAvailable = 0;
  currentMP3Encoder = 2;
  for (void*& h : encoderLibraries) h = nullptr;
}
