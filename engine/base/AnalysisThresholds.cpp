#include "engine/base/AnalysisThresholds.h"

#include <atomic>

namespace {
std::atomic<uint32_t> silenceThreshold{0};
std::atomic<int> partialSongThreshold{12};
}  // namespace

void SetSilenceThreshold(unsigned long threshold) {
  silenceThreshold = static_cast<uint32_t>(threshold > 255 ? 255 : threshold);
}
uint32_t GetSilenceThreshold() { return silenceThreshold; }
void SetPartialSongThreshold(int threshold) {
  partialSongThreshold = threshold < 0 ? 0 : (threshold > 255 ? 255 : threshold);
}
int GetPartialSongThreshold() { return partialSongThreshold; }
