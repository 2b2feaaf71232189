// Renders a tree of audio atoms into PCM. For conversion, MixToDataSink runs
// on the caller's thread and hands each rendered chunk to a sink (a
// conversion writer); it needs no sound device. For listening, Play opens the
// sound device and the engine thread keeps a ring of device buffers filled.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/media/MyList.h"
#include "platform/WaveFormat.h"
#include "platform/audio/WaveIn.h"
#include "platform/audio/WaveOut.h"

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
  // Opens the sound device in the requested format (nested opens count);
  // 0 when there is no device.
  virtual int Open();
  virtual void Close();
  virtual int IsOpen();
  // Plays an atom from startMs for lengthMs (0: to its end) through the
  // device; 0 when already playing or when the device can't be opened.
  virtual int Play(CAudioAtom* atom, long startMs, long lengthMs);
  virtual int Stop();
  virtual int SetFormat(const tWAVEFORMATEX* format);
  virtual long GetMillisecondsPlayedSoFar();
  virtual void StopAtom(CAudioAtom* atom, int force);
  virtual long Latency();
  virtual void Pause(int on);
  virtual int IsPaused();
  // Mixes the group chunk by chunk in `format` and hands every chunk to the
  // sink, for totalMs (and, in play-once mode, until its last sound is done).
  // chunkBytes -1: one second per chunk. 0 only when no chunk can be allocated.
  virtual int MixToDataSink(CSoundGroup* group, TDataSink sink, void* user,
                            const tWAVEFORMATEX* format, long totalMs, long chunkBytes);
  virtual void SetPlayMode(int mode);

  // Recording from the sound device into a sound (CPCMSound::Record). The
  // engine thread polls the device and hands every filled capture buffer to
  // the sound's WriteData; StopAtom on the recording sound ends it.
  // 1 when the device plays and records in these formats at once.
  virtual int FullDuplexTest(unsigned int device, tWAVEFORMATEX* output, tWAVEFORMATEX* input);
  virtual int Record(CPCMSound* sound, tWAVEFORMATEX* format);
  virtual CPCMSound* GetRecordingSound();
  virtual int Recording();
  // Opens and starts the input in `format` with count buffers of `bytes`
  // (count 0: the recording set-up's); 0 when the device can't.
  virtual int StartRecording(tWAVEFORMATEX* format, int count, unsigned long bytes);
  virtual void ContinueRecording();
  // Hands what was captured to the sound and closes the input.
  virtual void EndRecording();
  // The input level at least every 80 ms of captured audio: the loudest
  // sample per channel since the last report (1.0 = full scale) and the
  // captured bytes so far. Does nothing here.
  virtual void UpdatePeak(double left, double right, unsigned long position);
  // Why the last device open (output or input) failed; empty when it didn't.
  const char* DeviceError() const { return deviceError_.c_str(); }

  int Playing() const { return playMode_; }
  void Lock();
  void Unlock();
  const tWAVEFORMATEX* GetFormat() const;
  int MixingSoundToFile(CPCMSound* sound);
  long GetPercentageMixedToFile() const { return percentMixed_; }
  void SetPercentMixedFile(long percent) { percentMixed_ = percent; }

  // The position of an atom the device plays, in ms of its own time: where
  // it was started plus what has been mixed of it since (for the top group,
  // the mixed time window); -1 for an atom that is not playing.
  long CurrentOffset(CAudioAtom* atom);

 private:
  // One device buffer: its block, and the device's write position at its
  // end, which tells when the device has played it.
  struct MixBuffer {
    std::vector<uint8_t> block;
    int64_t end = 0;
    bool free = true;
  };
  // An atom being mixed to the device. state 1: mixing, else the last render
  // result; delayMs: before it starts, the time until its first sample;
  // after it ended, the time until its last data has left the device.
  struct PlayingEntry {
    CAudioAtom* atom;
    int state;
    double delayMs;
    long startMs = 0;         // where it was (re)started
    double renderedMs = 0.0;  // output mixed of it since
  };

  // The engine thread's pass over the current mixer.
  static int ServeDevice(CPCMMixer* mixer);
  void Mix();
  void Idle();
  void PlayAtom(CAudioAtom* atom, long startMs, double delayMs);
  void StartMixingAtom(CAudioAtom* atom, long startMs, double delayMs);
  void SetAtomPlayMode(CAudioAtom* atom, int mode, long timeMs);
  void MixIntoBuffer(MixBuffer& buffer);
  void CleanUpPlayingSounds(int force);
  void IncrementTimeWindow(double ms);
  void MixTimeWindow(CSoundGroup* group, long groupOffset, double windowStart, double windowEnd);
  bool IsMixing(CAudioAtom* atom) const;
  void CloseDevice();
  void ReadAtomsOnRIFFList(CSoundGroup* group, long groupOffset, double windowStart,
                           double windowEnd);

  tWAVEFORMATEX requested_{};
  _tInitMixer playback_{};
  _tInitMixer recording_[2]{};
  double bufferMs_ = 0.0;
  int paused_ = 0;
  std::atomic<int> playMode_{0};  // read by callers without the mixer lock
  int openCount_ = 0;
  std::atomic<int> mixingToFile_{0};
  tWAVEFORMATEX fileFormat_{};
  std::atomic<long> percentMixed_{0};
  CMyList toFile_;  // sounds being mixed to the sink, key: start offset in the chunk (ms)

  // Device playback, under the engine's mixer lock.
  os::WaveOut device_;
  std::vector<MixBuffer> buffers_;
  std::vector<PlayingEntry> playing_;
  std::vector<std::pair<CAudioAtom*, long>> startNotices_;  // atom, time (ms)
  std::vector<CAudioAtom*> held_;                           // atoms PlayAtom holds a reference on
  CAudioAtom* top_ = nullptr;
  double playStart_ = 0.0, playEnd_ = 0.0, windowPos_ = 0.0;
  int64_t playTick_ = 0;
  // Reused per chunk, so that mixing allocates nothing once running.
  std::vector<std::pair<CPCMSound*, long>> listed_;
  std::vector<CPCMSound*> keep_;

  // Recording, under the engine's mixer lock.
  struct CaptureBuffer {
    std::vector<uint8_t> block;
    uint32_t filled = 0;
    bool failed = false;
  };
  // Hands a filled (or, at the end, partly filled) buffer to the sound;
  // false when the sound could not keep it.
  bool DeliverCapture(CaptureBuffer& buffer);
  os::WaveIn input_;
  tWAVEFORMATEX captureFormat_{};
  std::vector<CaptureBuffer> captures_;
  size_t nextCapture_ = 0;
  int64_t meterPos_ = 0, meterStep_ = 0;
  long meterLeft_ = 0, meterRight_ = 0;
  int recordingOn_ = 0;
  CPCMSound* recordingSound_ = nullptr;
  std::string deviceError_;
};
