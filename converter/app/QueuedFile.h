// A file on its way into a conversion run, with its target type
// (0 WAV, 1 MP3, 2 WMA).
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t kTargetWave = 0;
constexpr uint32_t kTargetMp3 = 1;
constexpr uint32_t kTargetWma = 2;
constexpr uint32_t kTargetNone = 3;

struct TQueuedFile {
  std::string path;
  uint32_t targetType = kTargetWave;
};
