// Renders a tree of audio atoms into PCM. For conversion, MixToDataSink runs
// on the caller's thread and hands each rendered chunk to a sink (a
// conversion writer); it needs no sound device. Listening through a device
// is served by the engine thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/media/MyList.h"
#include "platform/WaveFormat.h"

class CAudioAtom;
class CPCMSound;
class CSoundGroup;

struct _tInitMixer {
  uint32_t device;
  int32_t bufferCount;
  uint32_t bufferBytes;
  tWAVEFORMATEX format;
};

// Sink result: 0 continue; anything else ends the mix.
typedef int32_t TDataWriteCode;
typedef TDataWriteCode (*TDataSink)(char* data, long& bytes, void* user);

class CPCMMixer {
 public:
  explicit CPCMMixer(_tInitMixer* init);
  ~CPCMMixer();
  CPCMMixer(const CPCMMixer&) = delete;
  CPCMMixer& operator=(const CPCMMixer&) = delete;

  virtual int InitPlayback(_tInitMixer* init);
  virtual int InitRecording(_tInitMixer* init);
  // No sound device is driven yet: opening and playing report failure.
  virtual int Open();
  virtual void Close();
  virtual int IsOpen();
  virtual int Play(CAudioAtom* atom, long startMs, long lengthMs);
  virtual int Stop();
  virtual int SetFormat(const tWAVEFORMATEX* format);
  virtual long Latency();
  virtual void Pause(int on);
  virtual int IsPaused();
  // Mixes the group chunk by chunk in `format` and hands every chunk to the
  // sink, for totalMs (and, in play-once mode, until its last sound is done).
  // chunkBytes -1: one second per chunk. 0 only when no chunk can be allocated.
  virtual int MixToDataSink(CSoundGroup* group, TDataSink sink, void* user,
                            const tWAVEFORMATEX* format, long totalMs, long chunkBytes);
  virtual void SetPlayMode(int mode);

  int Playing() const { return playMode_; }
  const tWAVEFORMATEX* GetFormat() const;
  int MixingSoundToFile(CPCMSound* sound);
  long GetPercentageMixedToFile() const { return percentMixed_; }
  void SetPercentMixedFile(long percent) { percentMixed_ = percent; }

 private:
  void ReadAtomsOnRIFFList(CSoundGroup* group, long groupOffset, double windowStart,
                           double windowEnd);

  tWAVEFORMATEX requested_{};
  _tInitMixer playback_{};
  _tInitMixer recording_[2]{};
  double bufferMs_ = 0.0;
  int paused_ = 0;
  int playMode_ = 0;
  int openCount_ = 0;
  std::atomic<int> mixingToFile_{0};
  tWAVEFORMATEX fileFormat_{};
  std::atomic<long> percentMixed_{0};
  CMyList toFile_;  // sounds being mixed to the sink, key: start offset in the chunk (ms)
  // Reused per chunk, so that mixing allocates nothing once running.
  std::vector<std::pair<CPCMSound*, long>> listed_;
  std::vector<CPCMSound*> keep_;
};
