// Byte counts as the window shows them: megabytes of 1,000,000 bytes, whole
// part and hundredths; nothing below zero.
#pragma once

#include <cstdint>

inline void Megabytes(double bytes, int64_t* whole, int64_t* hundredths) {
  if (!(bytes > 0)) bytes = 0;
  auto h = static_cast<int64_t>(bytes / 10000.0);
  *whole = h / 100;
  *hundredths = h % 100;
}
