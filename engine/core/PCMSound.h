// The leaf of the atom tree: one sound file opened for playback or
// conversion. It owns the source object, the decoder (for compressed data),
// the ring the data is read through, the analysis results and the state of
// its mix: resampling phase, gains and the envelope being followed.
//
// The mix loop is integer code: a 5.27 fixed-point phase steps through the
// source, gains are 2^13 = unity, and floating point is used only when an
// envelope ramp is recomputed (every 30 ms of output) or an event is reached.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/core/AudioAtom.h"
#include "platform/WaveFormatBuffer.h"

class ACMObject;
class CEffect;
class CFileObj;
class CPCMBuffer;
class CPCMMixer;
class CPeaks;
class CRefObj;
struct TMusicInfo;
struct _bufferType;

enum TRenderResult : int32_t { RENDER_ERROR = 0, RENDER_MORE = 1, RENDER_ENDED = 2 };

// Mix flags.
enum : uint32_t {
  kMixSourceStereo = 0x1,
  kMixDestStereo = 0x2,
  kMixSource8Bit = 0x4,
  kMixDest8Bit = 0x8,
  kMixEnvelopeActive = 0x10,
  kMixRateNext = 0x20,
  kMixVolumeNext = 0x40,
  kMixPanNext = 0x80,
  kMixVolumeRamp = 0x100,
  kMixPanRamp = 0x200,
  kMixRateRamp = 0x400
};

typedef void (*TSaveProgress)(long percent, unsigned long user);

// Record: 0 starts a recording; any other value stops it.
typedef int32_t TRecordType;

class CPCMSound : public CAudioAtom {
 public:
  // End used by a streaming play-once read that runs until the source is exhausted.
  static constexpr long kPlayOnceEndMs = 24347886;

  CPCMSound();
  ~CPCMSound() override;

  CAudioAtom* Copy() override;
  // A sound over the window startMs ... endMs of the same data.
  CAudioAtom* Copy(long startMs, long endMs) override;
  int Type() override;
  // A group file member: the list "sndc" with the atom chunk, the source
  // envelope and either the path of the sound's file ("sref") or, saved
  // with embed, the data itself (such a member is not loaded back).
  int Load(CRIFF* riff, int scanFlag, int buildPeaks, int buildSeekMap, int msPerPeak,
           TLoadCallback callback, void* user) override;
  int Save(CRIFF* riff, int embed) override;
  int Play(long startMs) override;
  long CurrentPlayOffset() override;
  int Stop() override;
  void NotifyOfNewLength() override;
  long Length(int useRateMap) override;
  void SetVirtualLength(long ms) override;
  int FinishedWithPlayOnce() override;
  const tWAVEFORMATEX* AtomFormat() override;

  virtual int Load(long startMs);
  virtual int InitialLoad(CRefObj* source, long bufferMs, int scanFlag, int buildPeaks,
                          int peakFlag, int buildSeekMap, int msPerPeak, TLoadCallback callback,
                          void* user);
  virtual void Unload();
  virtual const char* FindMissingFile(char* path);
  virtual void ErrorLoadingFile(unsigned long code);
  virtual int SaveAs(const char* path, TSaveProgress progress, unsigned long user);
  virtual long DataLength();
  virtual int64_t NumSamples();
  virtual long GetMaxSample(const char* start, const char* end);
  virtual long GetAmplitudes(uint64_t& position, unsigned long framesPerValue, long count,
                             unsigned char* out);
  virtual void Pan(double pan);
  virtual void Rate(double rate);
  virtual void Volume(double volume);
  virtual int GetFormat(tWAVEFORMATEX* out);
  virtual TRenderResult ReadData(_bufferType* buffer, long& bytesWritten);
  virtual int Idle(tWAVEFORMATEX* format);
  virtual bool Pause();
  virtual bool Resume();
  virtual int IsTotalSilence();
  virtual int IsPartialSong();
  virtual void SetAutoTrim(int on);
  virtual int IsAutoTrim();

  // A sound has no effects, format choice or members of its own.
  // Effects are not attached: 0, and the caller keeps the effect.
  virtual int SetEffect(CEffect* effect);
  // The sound delivers the format of its data: 0, and nothing changes.
  virtual int SetFormat(const tWAVEFORMATEX* format);
  using CAudioAtom::AddSubAtom;
  using CAudioAtom::MoveSubAtom;
  using CAudioAtom::RemoveSubAtom;
  virtual CAudioAtom* AddSubAtom(CAudioAtom* atom, long offsetMs);   // null
  virtual CAudioAtom* RemoveSubAtom(CAudioAtom* atom);               // null
  virtual CAudioAtom* MoveSubAtom(CAudioAtom* atom, long offsetMs);  // null
  // The bytes Save writes; 0 when Save would refuse.
  long SaveSize(int embed) override;

  double Volume() const { return volume_; }
  double Pan() const { return pan_; }
  double Rate() const { return rate_; }
  int LeftGain() const { return leftGain_; }
  int RightGain() const { return rightGain_; }
  uint32_t MixFlags() const { return mixFlags_; }
  // The format the sound delivers: the decoder's output, else the source's.
  const tWAVEFORMATEX* Format() const;
  // The format of the data as stored in the file.
  const tWAVEFORMATEX* ActualFormat() const { return sourceFormat_.Get(); }
  // Descriptions of the stored and the delivered format for display.
  void GetSrcFormatString(char* out, long max);
  void GetDestFormatString(char* out, long max);

  CPCMBuffer* GetBuffer() const { return buffer_.get(); }
  CRefObj* GetRefObj() const { return source_; }
  ACMObject* GetACMObj() const { return decoder_.get(); }
  CPeaks* GetPeaks() const { return peaks_.get(); }
  // Takes ownership of peaks, deleting the peaks held before.
  void SetPeaks(CPeaks* peaks);
  TMusicInfo* GetMusicInfo() const { return musicInfo_.get(); }

  // Gain that brings the loudest sample to level (1.0 = full scale); 1.0
  // without analysis or for a silent sound. A float source that peaks above
  // full scale is first scaled down to it in its decoder, so that the gain
  // normalises it instead of its clipped decoding.
  double GetNormalizedVolume(double level);
  long GetAutoTrimTimeStart() const { return autoTrimStart_; }
  long GetAutoTrimTimeEnd() const { return autoTrimEnd_; }
  // Source bytes consumed so far in play-once mode, for progress.
  uint64_t GetSourceBytesMixedInPlayOnceMode();
  long GetVirtualTimeStart();
  void SetVirtualTimeStart(long ms);
  void ShrinkBuffer(uint32_t bytes);
  int CopyData(CPCMSound* other);

  // Recording from the sound device through the current mixer. Starting
  // (type 0) drops what the sound held and writes a WAV file at path (an
  // empty path, or one that can't be created: into memory), with a peak
  // byte every msPerPeak when buildPeaks is set. Stopping makes the
  // recording the sound's data, to be played or saved like a loaded one.
  virtual int Record(TRecordType type, tWAVEFORMATEX* format, char* path, int buildPeaks,
                     long msPerPeak);
  // Appends one captured block: RENDER_MORE when all of it was kept.
  virtual TRenderResult WriteData(_bufferType* buffer);
  int IsRecording() const { return recordState_ != nullptr; }
  // Told by the mixer that recorded into the sound when its capture ended.
  void RecordingEnded(CPCMMixer* mixer);

 protected:
  virtual TRenderResult ReadDataMix(_bufferType* buffer, long* bytesWritten);
  // Mixes source frames from *cursor (advanced over what was consumed) into
  // the destination; returns the destination bytes advanced over.
  virtual long MixLoop(const uint8_t** cursor, const uint8_t* sourceEnd, uint8_t* destination,
                       uint8_t* destinationEnd, const tWAVEFORMATEX* destinationFormat);
  virtual void DetermineSilenceAndPartialSong(long msPerPeak);

 private:
  struct Segment {
    double prevValue = 0.0, nextValue = 0.0;
    long prevTime = 0, nextTime = 0;
    int nextIndex = -1;
    int counter = 0;
    double slope = 0.0;
  };

  template <bool kSrcStereo, bool kSrc8, bool kDstStereo, bool kDst8>
  long MixFrames(const uint8_t** cursor, const uint8_t* sourceEnd, uint8_t* destination,
                 uint8_t* destinationEnd, uint32_t destinationAlign);
  void ReadyMapForPlayback(long timeMs, const tWAVEFORMATEX* destination);
  void SetMapSkipVariables(long timeMs, uint32_t kinds);
  void GetNextMapSkipInfo();
  void CalculateVolumes();
  void ApplyEnvelopeValue(int kind, double value);
  void SetGains(double volume, double pan);
  void SetRateStep(double rate);
  int64_t BytesAt(long ms) const;
  int64_t SourceDataSize() const;
  void ClearLoadState();
  // The file a group file names for this sound, or null when its data is
  // embedded (asked to, or a source that is no named file).
  CFileObj* ReferencedFile(int embed) const;

  std::unique_ptr<CPCMBuffer> buffer_;
  CWaveFormatBuffer sourceFormat_;
  long startTime_ = 0;
  int leftGain_ = 8192, rightGain_ = 8192;
  int64_t rateStep_ = int64_t{1} << 27;
  int64_t phase_ = 0;
  int prevLeft_ = 0, prevRight_ = 0;
  uint32_t mixFlags_ = 0;
  int recalcInterval_ = 0, recalcCountdown_ = 0;
  int64_t skipCountdown_ = 0;
  Segment segments_[3];       // volume, pan, rate
  uint32_t readiedRate_ = 0;  // destination rate the envelope was readied for
  double rate_ = 1.0;
  double volume_ = 2.0;
  double pan_ = 0.0;
  long virtualLength_ = 0;
  long previousVirtualLength_ = 0;
  long autoTrimStart_ = 0;
  long autoTrimEnd_;
  int autoTrim_ = 0;
  int totalSilence_ = 0;
  int partialSong_ = 0;
  std::unique_ptr<ACMObject> decoder_;
  CRefObj* source_ = nullptr;  // a reference of its own
  std::unique_ptr<CPeaks> peaks_;
  std::unique_ptr<TMusicInfo> musicInfo_;
  int registered_ = 0;

  struct RecordState;
  void AddPeaks(const uint8_t* data, long bytes);
  void DropFailedRecording();
  std::unique_ptr<RecordState> recordState_;
};
