// One worker of a conversion run: its thread, its own sound group and mixer,
// and the file it converts with everything the file's steps keep of it. The
// run owns its workers; each worker's fields are written by its own thread,
// and those the window reads are guarded by the run's lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "engine/codecs/Conv2FileFormat.h"

class CConv2FileObj;
class CConversionRun;
class CPCMMixer;
class CPCMSound;
class CSoundGroup;

struct TRunWorker {
  explicit TRunWorker(CConversionRun* owner);
  ~TRunWorker();
  TRunWorker(const TRunWorker&) = delete;
  TRunWorker& operator=(const TRunWorker&) = delete;

  CConversionRun* run;
  std::thread thread;
  std::unique_ptr<CSoundGroup> group;
  std::unique_ptr<CPCMMixer> mixer;

  // The file in hand (under the run's lock): its writer, its number in the
  // run, the source's size at the intake, and the sound once loaded.
  CConv2FileObj* job = nullptr;
  int number = 0;
  int64_t intakeBytes = 0;
  CPCMSound* sound = nullptr;
  std::string source, target, dir, formatText;
  // The target path this file writes, once claimed: no other file in
  // progress claims the same.
  std::string claimed;
  int currentType = 3;

  // Its progress: bytes written to the target and the writer's estimate
  // (other workers read them for the disk-space check), the source bytes
  // mixed and those this file added to the run's mixed count.
  std::atomic<int64_t> fileWritten{0};
  std::atomic<double> estimate{0};
  std::atomic<uint64_t> soundMixedSeen{0};
  double mixedCounted = 0;
  double positionMs = 0;
  bool writeFailed = false;
  bool encoderFailed = false;  // the failed write was the encoder's, not the disk's
  CConv2FileFormat format{1};

  std::atomic<bool> analysing{false};
  std::atomic<int> analysisPercent{0};
  double analysisTotal = 0, analysisDone = 0;

  // Set by the window: the file is converted again with the new settings.
  // Once the file's target is accounted for, that decision stands: a retry
  // asked for later comes too late for it.
  std::atomic<bool> retry{false};
  bool accounted = false, retried = false;
};

// Adds to a counter that several workers add to at once.
inline void AddTo(std::atomic<double>& counter, double amount) {
  double now = counter.load();
  while (!counter.compare_exchange_weak(now, now + amount)) {
  }
}
