// Process-wide thresholds of the loudness analysis, compared with peak bytes
// (0 silence ... 255 full scale).
#pragma once

#include <cstdint>

// A peak at or below this value counts as silence (start-up value 0).
void SetSilenceThreshold(unsigned long threshold);
uint32_t GetSilenceThreshold();
// A last peak above this value marks a song that ends abruptly (start-up value 12).
void SetPartialSongThreshold(int threshold);
int GetPartialSongThreshold();
