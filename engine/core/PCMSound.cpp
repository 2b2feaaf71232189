#include "engine/core/PCMSound.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "engine/base/EngineErrors.h"
#include "engine/base/PCMBuffer.h"
#include "engine/base/SampleBuffer.h"
#include "engine/codecs/ACMBuffer.h"
#include "engine/codecs/ACMObject.h"
#include "engine/core/InitialLoad.h"
#include "engine/core/RecordState.h"
#include "engine/core/SoundLoaded.h"
#include "engine/media/MusicInfo.h"
#include "engine/media/Peaks.h"
#include "platform/LastError.h"
#include "platform/Log.h"
#include "platform/audio/PcmSample.h"
#include "platform/data/FileObj.h"
#include "platform/os/FileOps.h"
#include "platform/paths/Paths.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;

constexpr int64_t kPhaseOne = int64_t{1} << 27;
constexpr int kGainShift = 13;
constexpr double kUnityGain = 8192.0;
constexpr int kKinds = 3;  // volume, pan, rate
constexpr uint32_t kNextFlag[kKinds] = {kMixVolumeNext, kMixPanNext, kMixRateNext};
constexpr uint32_t kRampFlag[kKinds] = {kMixVolumeRamp, kMixPanRamp, kMixRateRamp};
constexpr uint32_t kEnvelopeFlags = kMixEnvelopeActive | kMixRateNext | kMixVolumeNext |
                                    kMixPanNext | kMixVolumeRamp | kMixPanRamp | kMixRateRamp;
constexpr uint32_t kSaveCopyPiece = 512;
constexpr uint32_t kListSound = FourCC("sndc");
constexpr int kRefPathBytes = 260;

double EventValue(void* data) {
  double v = 0.0;
  if (data) std::memcpy(&v, data, sizeof v);
  return v;
}
}  // namespace

CPCMSound::CPCMSound() : autoTrimEnd_(LONG_MAX) {
  AddTheSound(this);
  registered_ = 1;
}

CPCMSound::~CPCMSound() {
  if (recordState_) Record(1, nullptr, nullptr, 0, 0);
  Unload();
}

int CPCMSound::Type() { return kAtomSound; }

const tWAVEFORMATEX* CPCMSound::Format() const {
  if (decoder_ && decoder_->DestFormat()) return decoder_->DestFormat();
  return sourceFormat_.Get();
}

const tWAVEFORMATEX* CPCMSound::AtomFormat() { return Format(); }

int CPCMSound::GetFormat(tWAVEFORMATEX* out) {
  const tWAVEFORMATEX* f = Format();
  if (!out) return 0;
  if (f)
    *out = *f;
  else
    std::memset(out, 0, sizeof *out);
  return 1;
}

void CPCMSound::GetSrcFormatString(char* out, long max) {
  if (!out || max <= 0) return;
  out[0] = 0;
  // A decoder names its compressed format itself.
  if (decoder_ && decoder_->GetSrcFormatStr(out, max)) return;
  if (ActualFormat()) SoundFormatToString(ActualFormat(), out, static_cast<int>(max), nullptr);
}

void CPCMSound::GetDestFormatString(char* out, long max) {
  if (!out || max <= 0) return;
  out[0] = 0;
  if (Format()) SoundFormatToString(Format(), out, static_cast<int>(max), nullptr);
}

int64_t CPCMSound::BytesAt(long ms) const {
  const tWAVEFORMATEX* f = Format();
  if (!f || f->nBlockAlign == 0 || ms <= 0) return 0;
  const int64_t align = f->nBlockAlign;
  return static_cast<int64_t>(f->nAvgBytesPerSec) * ms / 1000 / align * align;
}

int64_t CPCMSound::SourceDataSize() const {
  if (!source_) return 0;
  int64_t size = source_->DataSize();
  return size > 0 ? size : 0;
}

// ---- loading ----

int CPCMSound::InitialLoad(CRefObj* source, long bufferMs, int scanFlag, int buildPeaks,
                           int peakFlag, int buildSeekMap, int msPerPeak, TLoadCallback callback,
                           void* user) {
  Lock lock(section_);
  SetLastError(0);
  if (!source) return 0;
  if (!registered_) {
    AddTheSound(this);
    registered_ = 1;
  }
  CInitialLoad loader;
  if (!loader.DoInitialLoad(source, buildSeekMap, scanFlag, buildPeaks, peakFlag, msPerPeak,
                            callback, user))
    return 0;

  musicInfo_.reset(loader.StealMusicInfo());
  sourceFormat_ = loader.StealWaveFomatEx();
  decoder_.reset(loader.StealACMObject());
  if (decoder_ && !decoder_->EnableStream(1)) {
    SetLastError(kErrDecoderStream);
    return 0;
  }
  const tWAVEFORMATEX* format = Format();
  if (!format || format->nBlockAlign == 0 || format->nAvgBytesPerSec == 0) {
    SetLastError(kErrBadPCMFormat);
    return 0;
  }

  if (loader.GetPeaks()) {
    peaks_.reset(loader.GetPeaks()->Copy());
    if (peaks_) DetermineSilenceAndPartialSong(msPerPeak);
  }

  // Size the ring for bufferMs of audio; data that fits is held in memory once.
  const int64_t align = format->nBlockAlign;
  int64_t size = static_cast<int64_t>(bufferMs) * format->nAvgBytesPerSec / 1000 / align * align;
  size = std::max(size, align);
  const int64_t dataSize = loader.DataEnd() - loader.DataStart();
  int loadedOnce = 0;
  if (!decoder_ && size >= dataSize) {
    size = dataSize;
    loadedOnce = 1;
  }
  size = std::min<int64_t>(size, UINT32_MAX / 2 / align * align);

  if (decoder_) {
    CACMBuffer* decoding = decoder_->NewBuffer(loader.GetSeekMap());
    if (decoding) decoding->SetACMObject(decoder_.get());
    buffer_.reset(decoding);
  } else {
    buffer_.reset(new (std::nothrow) CPCMBuffer);
  }
  if (!buffer_) {
    SetLastError(kErrMemory);
    return 0;
  }
  buffer_->format = *format;
  source->SetDataMode(0);
  source->SeekToData(0);
  if (!buffer_->Init(source, static_cast<uint32_t>(size), loadedOnce, 50)) {
    SetLastError(kErrMemory);
    return 0;
  }

  DeleteRefObject(&source_);
  if (loadedOnce) {
    source_ = source;
    source_->AddReference();
  } else {
    source_ = source->Copy();
    if (!source_) return 0;
  }
  source_->SetDataMode(1);
  buffer_->SetRefObj(source_);

  if (virtualLength_ == 0) SetVirtualLength(loader.LengthMs());

  buffer_->SetVirtualStart(static_cast<uint64_t>(std::max(virtualDataStart_, 0L)));
  const tWAVEFORMATEX* actual = ActualFormat();
  if (IsPCMOrACM(decoder_.get()) && virtualDataStart_ > 0 && actual) {
    // The same moment in source bytes, in whole source blocks.
    const int64_t block = std::max<int64_t>(::BlockSize(actual, decoder_.get()), 1);
    int64_t start = static_cast<int64_t>(actual->nAvgBytesPerSec) * virtualDataStart_ /
                    format->nAvgBytesPerSec / block * block;
    source_->SetVirtualStart(start < SourceDataSize() ? start : 0);
  }
  return 1;
}

void CPCMSound::DetermineSilenceAndPartialSong(long) {
  if (!peaks_) return;
  autoTrimStart_ = peaks_->GetAutoTrimTimeStart();
  autoTrimEnd_ = peaks_->GetAutoTrimTimeEnd();
  if (peaks_->IsTotalSilence()) {
    totalSilence_ = 1;
  } else {
    // The analysis marks the start of the last loud slice; the sound lasts
    // to that slice's end.
    autoTrimEnd_ += static_cast<long>(peaks_->NumMilsPerPeak());
    long length = peaks_->LengthOfSound();
    if (length > 0) autoTrimEnd_ = std::min(autoTrimEnd_, length);
    if (peaks_->IsPartialSong()) partialSong_ = 1;
  }
}

void CPCMSound::ClearLoadState() {
  phase_ = 0;
  prevLeft_ = prevRight_ = 0;
}

int CPCMSound::Load(long startMs) {
  Lock lock(section_);
  startTime_ = startMs;
  if (decoder_ && !decoder_->EnableStream(1)) {
    SetLastError(kErrDecoderStream);
    return 0;
  }
  const tWAVEFORMATEX* format = Format();
  if (!buffer_ || !format || !source_) return 0;
  const bool playOnce = InPlayOnceMode() != 0;
  long start = startMs;
  int64_t startByte = 0, count = 0;
  if (playOnce && buffer_->IsLoadedOnce()) {
    startByte = BytesAt(startMs);
    int64_t endByte = buffer_->LoadedBytes();
    // Trimming ends the read at the virtual length, not at the end of the data.
    if (autoTrim_) endByte = std::min(endByte, BytesAt(Length(0)));
    if (endByte < startByte) return 0;
    count = endByte - startByte;
  } else {
    long end;
    if (playOnce) {
      source_->SetDataMode(0);
      end = autoTrim_ ? Length(0) : kPlayOnceEndMs;
    } else {
      source_->SetDataMode(1);
      end = Length(0);
      if (UsingMap()) {
        start = static_cast<long>(GetRateMapAdjustedTime(startMs));
        end = Length(1);
      }
    }
    if (end < start) return 0;
    startByte = BytesAt(start);
    count = BytesAt(end) - startByte;
  }
  if (!buffer_->SetReadVariables(static_cast<uint64_t>(startByte),
                                 static_cast<uint64_t>(std::max<int64_t>(count, 0)))) {
    SetLastError(kErrBufferPosition);
    return 0;
  }
  ClearLoadState();
  if (UsingMap()) {
    ReadyMapForPlayback(startMs, format);
    ClearMixerFlag(kMixerMapRecombined);
  } else {
    mixFlags_ &= ~kMixEnvelopeActive;
  }
  mixFlags_ &= ~(kMixSourceStereo | kMixSource8Bit);
  if (format->nChannels == 2) mixFlags_ |= kMixSourceStereo;
  if (format->wBitsPerSample == 8) mixFlags_ |= kMixSource8Bit;
  return 1;
}

void CPCMSound::Unload() {
  Lock lock(section_);
  if (registered_) {
    RemoveTheSound(this);
    registered_ = 0;
  }
  // The buffer goes first: it reads through the source and the decoder.
  buffer_.reset();
  DeleteRefObject(&source_);
  sourceFormat_.Clear();
  decoder_.reset();
  peaks_.reset();
  musicInfo_.reset();
}

const char* CPCMSound::FindMissingFile(char*) { return nullptr; }
void CPCMSound::ErrorLoadingFile(unsigned long) {}

// ---- queries ----

long CPCMSound::Length(int useRateMap) {
  if (UsingMap() && useRateMap) return static_cast<long>(GetRateMapAdjustedTime(virtualLength_));
  return virtualLength_;
}

void CPCMSound::SetVirtualLength(long ms) {
  {
    Lock lock(section_);
    virtualLength_ = ms;
  }
  CAudioAtom::SetVirtualLength(ms);
}

void CPCMSound::NotifyOfNewLength() {
  Lock lock(section_);
  if (Playing() && buffer_)
    buffer_->AdjustBytesToRead(BytesAt(virtualLength_) - BytesAt(previousVirtualLength_));
  SetMixerFlag(kMixerNewLength);
  srcMap_.AdjustEndPoint(MAP_ALL, Length(0));
  previousVirtualLength_ = virtualLength_;
}

long CPCMSound::DataLength() {
  if (!source_) return 0;
  if (peaks_ && peaks_->LengthOfSound() > 0) return peaks_->LengthOfSound();
  const tWAVEFORMATEX* f = ActualFormat();
  if (!f || f->nAvgBytesPerSec == 0) return 0;
  const int64_t avg = f->nAvgBytesPerSec;
  return static_cast<long>((SourceDataSize() * 1000 + avg / 2) / avg);
}

int64_t CPCMSound::NumSamples() {
  const tWAVEFORMATEX* f = Format();
  if (!f || f->nBlockAlign == 0) return 0;
  if (!decoder_) return SourceDataSize() / f->nBlockAlign;
  const int64_t block = std::max<int64_t>(::BlockSize(ActualFormat(), decoder_.get()), 1);
  const double perBlock = decoder_->GetConvertedBufferSize(block);
  return static_cast<int64_t>(perBlock * static_cast<double>(SourceDataSize() / block)) /
         f->nBlockAlign;
}

long CPCMSound::CurrentPlayOffset() {
  Lock lock(section_);
  const tWAVEFORMATEX* f = Format();
  if (!buffer_ || !f || f->nAvgBytesPerSec == 0) return 0;
  uint64_t left = 0;
  buffer_->BytesLeftToRead(&left);
  uint64_t toRead = buffer_->TotalBytesToRead();
  uint64_t done = toRead > left ? toRead - left : 0;
  return static_cast<long>(done * 1000 / f->nAvgBytesPerSec);
}

long CPCMSound::GetVirtualTimeStart() {
  const tWAVEFORMATEX* f = Format();
  if (!buffer_ || !f || f->nAvgBytesPerSec == 0) return 0;
  return static_cast<long>(buffer_->GetVirtualStart() * 1000 / f->nAvgBytesPerSec);
}

void CPCMSound::SetVirtualTimeStart(long ms) {
  Lock lock(section_);
  int64_t start = BytesAt(ms);
  virtualDataStart_ = static_cast<long>(start);
  if (buffer_) buffer_->SetVirtualStart(static_cast<uint64_t>(start));
  const tWAVEFORMATEX* f = ActualFormat();
  if (IsPCMOrACM(decoder_.get()) && source_ && f && f->nBlockAlign) {
    const int64_t block = std::max<int64_t>(::BlockSize(f, decoder_.get()), 1);
    int64_t at = static_cast<int64_t>(f->nAvgBytesPerSec) * std::max(ms, 0L) / 1000 / block * block;
    const int64_t size = SourceDataSize();
    if (at >= size) at = std::max<int64_t>(size - block, 0);
    source_->SetVirtualStart(at);
  }
}

long CPCMSound::GetMaxSample(const char* start, const char* end) {
  const tWAVEFORMATEX* f = Format();
  if (!f || !start || !end || end <= start) return 0;
  long left = 0, right = 0;
  ::GetMaxSample(reinterpret_cast<const uint8_t*>(start), reinterpret_cast<const uint8_t*>(end), f,
                 left, right);
  return std::max(left, right);
}

long CPCMSound::GetAmplitudes(uint64_t& position, unsigned long framesPerValue, long count,
                              unsigned char* out) {
  Lock lock(section_);
  const tWAVEFORMATEX* f = Format();
  if (!buffer_ || !f || f->nBlockAlign == 0 || framesPerValue == 0 || count <= 0 || !out) return 0;
  uint8_t *first = nullptr, *second = nullptr;
  uint32_t firstLen = 0, secondLen = 0;
  if (!buffer_->Lock(&first, &firstLen, &second, &secondLen)) {
    SetLastError(kErrBufferPosition);
    return 0;
  }
  const uint32_t align = f->nBlockAlign;
  const uint64_t groupBytes = static_cast<uint64_t>(framesPerValue) * align;
  // Frames may straddle the ring's wrap: gather each value's frames in a scratch copy then.
  std::vector<uint8_t> scratch;
  uint64_t consumed = 0;
  long written = 0;
  const uint64_t total = static_cast<uint64_t>(firstLen) + secondLen;
  while (written < count && consumed + groupBytes <= total) {
    const uint8_t* begin;
    if (consumed + groupBytes <= firstLen) {
      begin = first + consumed;
    } else {
      scratch.resize(groupBytes);
      for (uint64_t i = 0; i < groupBytes; ++i) {
        uint64_t at = consumed + i;
        scratch[i] = at < firstLen ? first[at] : second[at - firstLen];
      }
      begin = scratch.data();
    }
    long left = 0, right = 0;
    ::GetMaxSample(begin, begin + groupBytes, f, left, right);
    out[written++] =
        static_cast<unsigned char>(std::min(std::max(left, right), 32767L) * 255 / 32767);
    consumed += groupBytes;
  }
  buffer_->UpdateReadOffset(static_cast<uint32_t>(consumed));
  buffer_->Unlock();
  position += consumed / align;
  return written;
}

double CPCMSound::GetNormalizedVolume(double level) {
  if (!peaks_) return 1.0;
  // A float source louder than full scale was scanned clipped: its decoder
  // brings it down to full scale before narrowing, so that the gain below,
  // taken from the clipped peaks, scales the whole waveform to the level.
  if (decoder_ && decoder_->SourcePeak() > 1.0)
    decoder_->SetSourceGain(1.0 / decoder_->SourcePeak());
  long loudest = std::max(peaks_->GetMaxLeft(), peaks_->GetMaxRight());
  if (loudest <= 0) return 1.0;  // nothing to scale in a silent sound
  return level * 32767.0 / static_cast<double>(loudest);
}

int CPCMSound::IsTotalSilence() { return totalSilence_; }
int CPCMSound::IsPartialSong() { return partialSong_; }
void CPCMSound::SetAutoTrim(int on) { autoTrim_ = on; }
int CPCMSound::IsAutoTrim() { return autoTrim_; }

void CPCMSound::SetPeaks(CPeaks* peaks) {
  if (peaks == peaks_.get()) return;
  peaks_.reset(peaks);
}

uint64_t CPCMSound::GetSourceBytesMixedInPlayOnceMode() {
  Lock lock(section_);
  if (!source_ || !buffer_) return 0;
  if (buffer_->IsLoadedOnce()) return static_cast<uint64_t>(SourceDataSize());
  int64_t done = source_->Tell() - source_->GetDataStart();
  return done > 0 ? static_cast<uint64_t>(done) : 0;
}

int CPCMSound::FinishedWithPlayOnce() {
  Lock lock(section_);
  if (!buffer_ || !source_) return 1;
  if (buffer_->BufferFinished()) return 1;
  if (buffer_->IsLoadedOnce()) {
    uint64_t left = 0;
    buffer_->BytesLeftToRead(&left);
    return left == 0 ? 1 : 0;
  }
  return (source_->GetDataEnd() == source_->Tell() && buffer_->NewDataInBuffer() == 0) ? 1 : 0;
}

// ---- playback controls ----

int CPCMSound::Play(long startMs) {
  // A sound being recorded has nothing to play yet.
  if (startMs > Length(0) || Playing() || recordState_) return 0;
  return PlayAtomOnCurrentMixer(this, startMs);
}

int CPCMSound::Stop() {
  if (Playing()) SetMixerFlag(kMixerStopRequested);
  return 1;
}

void CPCMSound::SetGains(double volume, double pan) {
  double left, right;
  if (pan >= 0.0) {
    left = (1.0 - pan) * volume * kUnityGain;
    right = volume * kUnityGain;
  } else {
    left = volume * kUnityGain;
    right = volume * (pan + 1.0) * kUnityGain;
  }
  leftGain_ = static_cast<int>(std::fabs(left));
  rightGain_ = static_cast<int>(std::fabs(right));
}

void CPCMSound::Pan(double pan) {
  pan_ = pan;
  SetGains(volume_, pan_);
}

void CPCMSound::Volume(double volume) {
  volume_ = volume;
  Pan(pan_);
}

void CPCMSound::Rate(double rate) { rate_ = rate; }

int CPCMSound::Idle(tWAVEFORMATEX*) {
  Lock lock(section_);
  return buffer_ ? buffer_->Fill() : 0;
}

bool CPCMSound::Pause() { return decoder_ ? decoder_->Pause() : true; }
bool CPCMSound::Resume() { return decoder_ ? decoder_->Resume() : true; }

// ---- envelope following ----

void CPCMSound::SetRateStep(double rate) {
  const tWAVEFORMATEX* f = Format();
  if (!f || readiedRate_ == 0) return;
  double step = static_cast<double>(f->nSamplesPerSec) * rate * static_cast<double>(kPhaseOne) /
                static_cast<double>(readiedRate_);
  rateStep_ = static_cast<int64_t>(std::clamp(step, 1.0, static_cast<double>(INT64_MAX / 4)));
}

void CPCMSound::ApplyEnvelopeValue(int kind, double value) {
  if (kind == MAP_VOLUME)
    Volume(value);
  else if (kind == MAP_PAN)
    Pan(value);
  else
    SetRateStep(value);
}

void CPCMSound::ReadyMapForPlayback(long timeMs, const tWAVEFORMATEX* destination) {
  mixFlags_ &= ~kEnvelopeFlags;
  readiedRate_ = destination ? destination->nSamplesPerSec : 0;
  recalcInterval_ = std::max<int>(static_cast<int>(readiedRate_ * 30 / 1000), 1);
  const double defaults[kKinds] = {2.0, 0.0, 1.0};
  for (int k = 0; k < kKinds; ++k) {
    Segment& s = segments_[k];
    s = Segment{};
    s.prevValue = s.nextValue = defaults[k];
    s.nextTime = LONG_MAX;
  }
  SetRateStep(1.0);
  uint32_t kinds = 0;
  for (int k = 0; k < kKinds; ++k) {
    Segment& s = segments_[k];
    bool havePrev = false;
    int index = 0;
    long t = 0;
    while (void* data = GetNextEvent(static_cast<TMapType>(k), index, &t)) {
      if (t <= timeMs) {
        s.prevTime = t;
        s.prevValue = EventValue(data);
        havePrev = true;
      } else {
        s.nextTime = t;
        s.nextValue = EventValue(data);
        s.nextIndex = index;
        kinds |= kNextFlag[k];
        break;
      }
      ++index;
    }
    if (!(kinds & kNextFlag[k])) {
      s.nextValue = s.prevValue;
      // Past the last event the envelope holds its last value.
      if (havePrev) ApplyEnvelopeValue(k, s.prevValue);
    }
  }
  mixFlags_ |= kinds;
  if (kinds) {
    mixFlags_ |= kMixEnvelopeActive;
    SetMapSkipVariables(timeMs, kinds);
    // The mix loop counts down before each frame; no frame has been mixed
    // yet, so the event is reached on the frame of its time, not one early.
    ++skipCountdown_;
  }
  recalcCountdown_ = recalcInterval_;
}

void CPCMSound::SetMapSkipVariables(long timeMs, uint32_t kinds) {
  long earliest = LONG_MAX;
  for (int k = 0; k < kKinds; ++k)
    if (mixFlags_ & kNextFlag[k]) earliest = std::min(earliest, segments_[k].nextTime);
  const int64_t rate = readiedRate_;
  // Counted between the frames of both times, so that rounding each stretch
  // to whole frames does not add up over many events.
  skipCountdown_ =
      earliest == LONG_MAX ? 0 : int64_t{earliest} * rate / 1000 - int64_t{timeMs} * rate / 1000;
  for (int k = 0; k < kKinds; ++k) {
    if (!(kinds & kNextFlag[k]) || !(mixFlags_ & kNextFlag[k])) continue;
    Segment& s = segments_[k];
    if (s.nextValue != s.prevValue) {
      s.counter = static_cast<int>(static_cast<int64_t>(timeMs - s.prevTime) * rate / 1000);
      const double frames =
          static_cast<double>(static_cast<int64_t>(s.nextTime - s.prevTime) * rate / 1000);
      s.slope = frames > 0 ? (s.nextValue - s.prevValue) / frames : 0.0;
      mixFlags_ |= kRampFlag[k];
    } else {
      mixFlags_ &= ~kRampFlag[k];
      ApplyEnvelopeValue(k, s.nextValue);
    }
  }
  CalculateVolumes();
}

void CPCMSound::CalculateVolumes() {
  if (mixFlags_ & (kMixVolumeRamp | kMixPanRamp)) {
    double v = volume_;
    if (mixFlags_ & kMixVolumeRamp) {
      Segment& s = segments_[MAP_VOLUME];
      v = s.counter * s.slope + s.prevValue;
      s.counter += recalcInterval_;
    }
    double p = pan_;
    if (mixFlags_ & kMixPanRamp) {
      Segment& s = segments_[MAP_PAN];
      p = s.counter * s.slope + s.prevValue;
      s.counter += recalcInterval_;
    }
    SetGains(v, p);
  }
  if (mixFlags_ & kMixRateRamp) {
    Segment& s = segments_[MAP_RATE];
    SetRateStep(s.counter * s.slope + s.prevValue);
    s.counter += recalcInterval_;
  }
}

void CPCMSound::GetNextMapSkipInfo() {
  long earliest = LONG_MAX;
  for (int k = 0; k < kKinds; ++k)
    if (mixFlags_ & kNextFlag[k]) earliest = std::min(earliest, segments_[k].nextTime);
  uint32_t advanced = 0;
  for (int k = 0; k < kKinds; ++k) {
    Segment& s = segments_[k];
    if (!(mixFlags_ & kNextFlag[k]) || s.nextTime != earliest) continue;
    s.prevValue = s.nextValue;
    s.prevTime = s.nextTime;
    s.counter = 0;
    int index = s.nextIndex + 1;
    long t = 0;
    if (void* data = GetNextEvent(static_cast<TMapType>(k), index, &t)) {
      s.nextIndex = index;
      s.nextTime = t;
      s.nextValue = EventValue(data);
      advanced |= kNextFlag[k];
    } else {
      // The last event is reached: the value holds from here on.
      mixFlags_ &= ~(kNextFlag[k] | kRampFlag[k]);
      s.nextTime = LONG_MAX;
      s.nextValue = s.prevValue;
      ApplyEnvelopeValue(k, s.prevValue);
    }
  }
  if (mixFlags_ & (kMixVolumeNext | kMixPanNext | kMixRateNext))
    SetMapSkipVariables(earliest, advanced);
  else
    mixFlags_ &= ~kMixEnvelopeActive;
}

// ---- rendering ----

TRenderResult CPCMSound::ReadData(_bufferType* buffer, long& bytesWritten) {
  Lock lock(section_);
  bytesWritten = 0;
  if (decoder_ && !decoder_->EnableStream(1)) {
    SetLastError(kErrDecoderStream);
    return RENDER_ERROR;
  }
  if (!buffer || !buffer->format || !buffer->data || !buffer_ || !Format()) return RENDER_ERROR;
  const tWAVEFORMATEX* dst = buffer->format;
  if (dst->nBlockAlign == 0 || dst->nSamplesPerSec == 0) return RENDER_ERROR;
  mixFlags_ &= ~(kMixDestStereo | kMixDest8Bit);
  if (dst->nChannels == 2) mixFlags_ |= kMixDestStereo;
  if (dst->wBitsPerSample == 8) mixFlags_ |= kMixDest8Bit;
  if (UsingMap()) {
    // Also when the render format differs from the one the envelope was
    // readied for at Load: gains and rate steps depend on the output rate.
    if (GetFlag(kMixerMapRecombined) || readiedRate_ != dst->nSamplesPerSec) {
      const uint64_t avg = Format()->nAvgBytesPerSec;
      long t = startTime_ + static_cast<long>(avg ? buffer_->TotalBytesRead() * 1000 / avg : 0);
      ReadyMapForPlayback(t, dst);
      ClearMixerFlag(kMixerMapRecombined);
    }
  } else {
    readiedRate_ = dst->nSamplesPerSec;
    SetRateStep(rate_);
  }
  return ReadDataMix(buffer, &bytesWritten);
}

TRenderResult CPCMSound::ReadDataMix(_bufferType* buffer, long* bytesWritten) {
  const tWAVEFORMATEX* dst = buffer->format;
  const uint32_t srcAlign = Format()->nBlockAlign;
  uint8_t* const begin = buffer->data;
  uint8_t* const end = begin + buffer->bufferBytes / dst->nBlockAlign * dst->nBlockAlign;
  uint8_t* out = begin;
  TRenderResult result = RENDER_MORE;
  while (out < end && result == RENDER_MORE) {
    uint8_t *first = nullptr, *second = nullptr;
    uint32_t firstLen = 0, secondLen = 0;
    if (!buffer_->Lock(&first, &firstLen, &second, &secondLen) || (firstLen + secondLen) == 0) {
      result = RENDER_ENDED;
      break;
    }
    uint64_t left = 0;
    if (!buffer_->BytesLeftToRead(&left)) {
      buffer_->Unlock();
      break;
    }
    if (firstLen >= left) {
      firstLen = static_cast<uint32_t>(left);
      secondLen = 0;
    }
    if (firstLen < srcAlign) {
      // Less than one frame: a truncated last frame ends the data, so drop
      // it rather than wait for the rest of it.
      const uint32_t fragment = firstLen + secondLen;
      buffer_->Unlock();
      bool ended = left < srcAlign;
      if (!ended) {
        buffer_->Fill();
        buffer_->Lock(&first, &firstLen, &second, &secondLen);
        buffer_->Unlock();
        ended = firstLen + secondLen == fragment;
      }
      if (!ended) continue;
      buffer_->UpdateReadOffset(static_cast<uint32_t>(std::min<uint64_t>(fragment, left)));
      buffer_->MarkAsFinished();
      result = RENDER_ENDED;
      break;
    }
    const uint8_t* cursor = first;
    const uint8_t* pieceEnd = first + firstLen / srcAlign * srcAlign;
    out += MixLoop(&cursor, pieceEnd, out, end, dst);
    uint32_t used = static_cast<uint32_t>(cursor - first);
    if (used) buffer_->UpdateReadOffset(used);
    if (out < end && secondLen && cursor == pieceEnd && used == firstLen) {
      buffer_->BytesLeftToRead(&left);
      if (secondLen > left) secondLen = static_cast<uint32_t>(left);
      cursor = second;
      pieceEnd = second + secondLen / srcAlign * srcAlign;
      out += MixLoop(&cursor, pieceEnd, out, end, dst);
      used = static_cast<uint32_t>(cursor - second);
      if (used) buffer_->UpdateReadOffset(used);
    }
    buffer_->Unlock();
    if (buffer_->BufferFinished()) {
      result = RENDER_ENDED;
      break;
    }
    if (out < end) buffer_->Fill();
  }
  *bytesWritten = static_cast<long>(out - begin);
  return result;
}

long CPCMSound::MixLoop(const uint8_t** cursor, const uint8_t* sourceEnd, uint8_t* destination,
                        uint8_t* destinationEnd, const tWAVEFORMATEX* destinationFormat) {
  const bool srcStereo = mixFlags_ & kMixSourceStereo, src8 = mixFlags_ & kMixSource8Bit;
  const bool dstStereo = destinationFormat->nChannels == 2;
  const bool dst8 = destinationFormat->wBitsPerSample == 8;
  const uint32_t align = destinationFormat->nBlockAlign;
  const int key = (srcStereo ? 8 : 0) | (src8 ? 4 : 0) | (dstStereo ? 2 : 0) | (dst8 ? 1 : 0);
  switch (key) {
#define SONODUCT_MIX_CASE(k, a, b, c, d) \
  case k:                                \
    return MixFrames<a, b, c, d>(cursor, sourceEnd, destination, destinationEnd, align);
    SONODUCT_MIX_CASE(0, false, false, false, false)
    SONODUCT_MIX_CASE(1, false, false, false, true)
    SONODUCT_MIX_CASE(2, false, false, true, false)
    SONODUCT_MIX_CASE(3, false, false, true, true)
    SONODUCT_MIX_CASE(4, false, true, false, false)
    SONODUCT_MIX_CASE(5, false, true, false, true)
    SONODUCT_MIX_CASE(6, false, true, true, false)
    SONODUCT_MIX_CASE(7, false, true, true, true)
    SONODUCT_MIX_CASE(8, true, false, false, false)
    SONODUCT_MIX_CASE(9, true, false, false, true)
    SONODUCT_MIX_CASE(10, true, false, true, false)
    SONODUCT_MIX_CASE(11, true, false, true, true)
    SONODUCT_MIX_CASE(12, true, true, false, false)
    SONODUCT_MIX_CASE(13, true, true, false, true)
    SONODUCT_MIX_CASE(14, true, true, true, false)
    SONODUCT_MIX_CASE(15, true, true, true, true)
#undef SONODUCT_MIX_CASE
  }
  return 0;
}

template <bool kSrcStereo, bool kSrc8, bool kDstStereo, bool kDst8>
long CPCMSound::MixFrames(const uint8_t** cursorPtr, const uint8_t* sourceEnd, uint8_t* destination,
                          uint8_t* destinationEnd, uint32_t destinationAlign) {
  constexpr int kSrcAlign = (kSrcStereo ? 2 : 1) * (kSrc8 ? 1 : 2);
  constexpr int kSampleBytes = kDst8 ? 1 : 2;
  auto sample = [](const uint8_t* p) -> int {
    if constexpr (kSrc8)
      return LoadSample8(p);
    else
      return LoadSample16(p);
  };
  auto load = [](const uint8_t* p) -> int {
    if constexpr (kDst8)
      return LoadSample8(p);
    else
      return LoadSample16(p);
  };
  auto store = [](uint8_t* p, int v) {
    if constexpr (kDst8)
      StoreSample8(p, v);
    else
      StoreSample16(p, v);
  };

  const uint8_t* cursor = *cursorPtr;
  uint8_t* out = destination;
  const bool muted = Muted() != 0;
  while (out + destinationAlign <= destinationEnd) {
    phase_ += rateStep_;
    bool stop = false;
    // Running out of source mid-frame undoes this frame's step, so the frame
    // is made again, at the same phase, from the next piece of data.
    while (phase_ > kPhaseOne) {
      if (cursor >= sourceEnd) {
        phase_ -= rateStep_;
        stop = true;
        break;
      }
      phase_ -= kPhaseOne;
      prevLeft_ = sample(cursor);
      prevRight_ = kSrcStereo ? sample(cursor + kSrcAlign / 2) : prevLeft_;
      cursor += kSrcAlign;
    }
    if (stop) break;
    if (cursor >= sourceEnd) {
      phase_ -= rateStep_;
      break;
    }
    if (mixFlags_ & kMixEnvelopeActive) {
      if (--recalcCountdown_ < 0) {
        recalcCountdown_ = recalcInterval_;
        CalculateVolumes();
      }
      if (--skipCountdown_ <= 0) GetNextMapSkipInfo();
    }
    const int curLeft = sample(cursor);
    const int curRight = kSrcStereo ? sample(cursor + kSrcAlign / 2) : curLeft;
    if (!muted) {
      const int64_t ph = phase_;
      const int64_t interpLeft =
          prevLeft_ + ((static_cast<int64_t>(curLeft - prevLeft_) * ph) >> 27);
      const int64_t left = (interpLeft * leftGain_) >> kGainShift;
      int64_t right;
      if constexpr (kSrcStereo) {
        const int64_t interpRight =
            prevRight_ + ((static_cast<int64_t>(curRight - prevRight_) * ph) >> 27);
        right = (interpRight * rightGain_) >> kGainShift;
      } else {
        right = (interpLeft * rightGain_) >> kGainShift;
      }
      const int l = static_cast<int>(std::clamp<int64_t>(left, INT_MIN / 2, INT_MAX / 2));
      const int r = static_cast<int>(std::clamp<int64_t>(right, INT_MIN / 2, INT_MAX / 2));
      if constexpr (kDstStereo) {
        store(out, Saturate16(load(out) + l));
        store(out + kSampleBytes, Saturate16(load(out + kSampleBytes) + r));
      } else {
        const int mono = kSrcStereo ? r / 2 + l / 2 : l;
        store(out, Saturate16(load(out) + mono));
      }
      prevLeft_ = curLeft;
      prevRight_ = curRight;
    }
    out += destinationAlign;
  }
  *cursorPtr = cursor;
  return static_cast<long>(out - destination);
}

// ---- copies and saving ----

int CPCMSound::CopyData(CPCMSound* other) {
  if (!other) return 0;
  Lock lock(section_);
  Lock otherLock(other->section_);
  mixFlags_ = other->mixFlags_ & ~kEnvelopeFlags;
  pan_ = other->pan_;
  rate_ = other->rate_;
  volume_ = other->volume_;
  leftGain_ = other->leftGain_;
  rightGain_ = other->rightGain_;
  if (other->musicInfo_) {
    musicInfo_.reset(new (std::nothrow) TMusicInfo(*other->musicInfo_));
  }
  if (!other->buffer_ || !other->source_) return 0;
  buffer_.reset(other->buffer_->Copy());
  if (!buffer_) {
    Unload();
    return 0;
  }
  if (other->decoder_) {
    decoder_.reset(other->decoder_->Copy());
    auto* decoding = dynamic_cast<CACMBuffer*>(buffer_.get());
    if (!decoder_ || !decoding) {
      Unload();
      return 0;
    }
    decoding->SetACMObject(decoder_.get());
    if (buffer_->Streaming() && !decoder_->EnableStream(1)) {
      SetLastError(kErrDecoderStream);
      Unload();
      return 0;
    }
  }
  if (buffer_->IsLoadedOnce()) {
    source_ = other->source_;
    source_->AddReference();
  } else {
    source_ = other->source_->Copy();
    if (!source_) {
      Unload();
      return 0;
    }
  }
  source_->SetDataMode(1);
  buffer_->SetRefObj(source_);
  sourceFormat_.Set(other->sourceFormat_.Get());
  if (virtualLength_ == 0) SetVirtualLength(other->virtualLength_);
  if (other->peaks_) peaks_.reset(other->peaks_->Copy());
  autoTrimStart_ = other->autoTrimStart_;
  autoTrimEnd_ = other->autoTrimEnd_;
  totalSilence_ = other->totalSilence_;
  partialSong_ = other->partialSong_;
  return 1;
}

CAudioAtom* CPCMSound::Copy() {
  auto* copy = new (std::nothrow) CPCMSound;
  if (!copy) return nullptr;
  if (!copy->CopyData(this)) {
    CAudioAtom* atom = copy;
    DeleteAtom(&atom);
    return nullptr;
  }
  return copy;
}

CAudioAtom* CPCMSound::Copy(long startMs, long endMs) {
  auto* copy = new (std::nothrow) CPCMSound;
  if (!copy) return nullptr;
  copy->virtualLength_ = endMs == LONG_MAX ? 0 : std::max(endMs - startMs, 0L);
  if (!copy->CopyData(this)) {
    CAudioAtom* atom = copy;
    DeleteAtom(&atom);
    return nullptr;
  }
  const long dataLength = DataLength();
  long start = GetVirtualTimeStart() + static_cast<long>(GetRateMapAdjustedTime(startMs));
  if (dataLength > 0) start %= dataLength;
  copy->SetVirtualTimeStart(start);
  if (copy->peaks_ && copy->peaks_->NumMilsPerPeak())
    copy->peaks_->SetVirtualStart(start / static_cast<long>(copy->peaks_->NumMilsPerPeak()));
  return copy;
}

int CPCMSound::SaveAs(const char* path, TSaveProgress progress, unsigned long user) {
  Lock lock(section_);
  if (!path || !*path || !source_) return 0;
  auto* file = (source_->Type() & kRefObjFile) ? dynamic_cast<CFileObj*>(source_) : nullptr;
  int ok = 0;
  if (file && !file->GetPath().empty() && os::RenameNoReplace(file->GetPath(), path)) {
    file->SetPath(path);
    if (progress) progress(100, user);
    ok = 1;
  } else {
    CFileObj target;
    if (!target.Create(path)) return 0;
    std::vector<uint8_t> piece(kSaveCopyPiece);
    const int64_t size = source_->Size();
    const int64_t position = source_->Tell();
    int64_t copied = 0;
    ok = size >= 0 && source_->Seek(0, kSeekBegin);
    while (ok && copied < size) {
      int64_t want = std::min<int64_t>(kSaveCopyPiece, size - copied);
      int64_t got = source_->Read(piece.data(), want);
      // A copy that stops early is a failed copy, not a shorter file.
      if (got <= 0 || target.Write(piece.data(), got) != got) {
        ok = 0;
        break;
      }
      copied += got;
      if (progress) progress(static_cast<long>(copied * 100 / size), user);
    }
    source_->Seek(position, kSeekBegin);
    target.Close();
    if (!ok) {
      os::RemoveFile(path);
      return 0;
    }
  }
  if (peaks_ && peaks_->GetNumPeaks() > 0)
    peaks_->SaveAs(CInitialLoad::CacheFilePath(path, ".ipk", true).c_str());
  return ok;
}

void CPCMSound::ShrinkBuffer(uint32_t bytes) {
  Lock lock(section_);
  if (!buffer_ || !source_ || bytes >= buffer_->BufferSize()) return;
  std::unique_ptr<CPCMBuffer> smaller(new (std::nothrow) CPCMBuffer);
  if (!smaller) return;
  smaller->format = buffer_->format;
  int mode = source_->SetDataMode(0);
  source_->SeekToData(0);
  int ok = smaller->Init(source_, bytes, 1, 50);
  source_->SetDataMode(mode);
  if (!ok) return;
  smaller->SetRefObj(source_);
  buffer_ = std::move(smaller);
}

// ---- group files ----

CFileObj* CPCMSound::ReferencedFile(int embed) const {
  if (embed || !source_) return nullptr;
  auto* file = (source_->Type() & kRefObjFile) ? dynamic_cast<CFileObj*>(source_) : nullptr;
  return file && !file->GetPath().empty() ? file : nullptr;
}

long CPCMSound::SaveSize(int embed) {
  Lock lock(section_);
  if (!source_ || !ActualFormat()) return 0;
  long size = kListHeaderBytes + AtomChunkSaveSize();
  if (CFileObj* file = ReferencedFile(embed)) {
    if (file->GetPath().size() >= kRefPathBytes) return 0;
    return size + SavedChunkBytes(kRefPathBytes);
  }
  return size + kListHeaderBytes + SavedChunkBytes(sizeof(tWAVEFORMATEX)) +
         SavedChunkBytes(SourceDataSize());
}

int CPCMSound::Save(CRIFF* riff, int embed) {
  Lock lock(section_);
  if (!riff || !source_ || !ActualFormat()) return 0;
  CFileObj* file = ReferencedFile(embed);
  const bool byReference = file != nullptr;
  if (byReference && file->GetPath().size() >= kRefPathBytes) {
    // The stored field holds 260 bytes; a longer path is refused, never cut.
    LogFmt("group file: the path of %s does not fit its field", file->GetPath().c_str());
    return 0;
  }
  if (!riff->WriteListChunkHeader(kListSound) || !SaveAtomChunk(riff)) return 0;
  int ok = 1;
  if (byReference) {
    char path[kRefPathBytes] = {};
    std::memcpy(path, file->GetPath().data(), file->GetPath().size());
    ok = riff->WriteSubChunk(FourCC("sref"), path, sizeof path);
  } else {
    ok = riff->WriteListChunkHeader(FourCC("WAVE")) &&
         riff->WriteSubChunk(FourCC("fmt "), ActualFormat(), sizeof(tWAVEFORMATEX)) &&
         riff->StartWriteStream(FourCC("data"));
    const int64_t second = std::max<int64_t>(ActualFormat()->nAvgBytesPerSec, 1);
    std::vector<uint8_t> piece(static_cast<size_t>(second));
    const int mode = source_->SetDataMode(0);
    const int64_t position = source_->Tell();
    source_->SeekToData(0);
    for (int64_t left = SourceDataSize(); ok && left > 0;) {
      int64_t got = source_->ReadData(piece.data(), std::min(left, second));
      ok = got > 0 && riff->WriteStreamData(piece.data(), got) == got;
      left -= got;
    }
    source_->Seek(position, kSeekBegin);
    source_->SetDataMode(mode);
    ok = riff->EndWriteStream() && ok;
    ok = riff->Ascend() && ok;
  }
  return riff->Ascend() && ok;
}

int CPCMSound::Load(CRIFF* riff, int scanFlag, int buildPeaks, int buildSeekMap, int msPerPeak,
                    TLoadCallback callback, void* user) {
  _chunkInfo list{};
  if (!riff || !riff->GetCurrentChunkInfo(&list) || list.type != kListSound || !riff->Descend())
    return 0;
  auto finish = [&](int result) {
    riff->Ascend();
    riff->SeekToNextChunk();
    return result;
  };
  if (!LoadAtomChunk(riff)) return finish(0);
  if (!riff->SeekToChunk(FourCC("sref"), 1)) return finish(0);  // embedded data is not loaded
  char stored[kRefPathBytes + 1] = {};
  riff->ReadCurrentSubChunk(stored, kRefPathBytes);
  std::string path = stored;
  if (path.empty()) {
    ErrorLoadingFile(kErrNoSoundPath);
    SetLastError(kErrNoSoundPath);
    return finish(0);
  }
  if (IsRelativePath(path)) path = MakeAbsolute(path);
  const long virtualStart = virtualDataStart_;
  if (CPCMSound* existing = SoundExists(path.c_str()); existing && existing != this) {
    if (callback) callback(0, user);
    if (!CopyData(existing)) {
      ErrorLoadingFile(GetLastError());
      return finish(0);
    }
    if (callback) callback(static_cast<unsigned long>(SourceDataSize()), user);
    SetVirtualTimeStart(static_cast<long>(Format() && Format()->nAvgBytesPerSec
                                              ? static_cast<int64_t>(virtualStart) * 1000 /
                                                    Format()->nAvgBytesPerSec
                                              : 0));
    return finish(1);
  }
  auto* file = new (std::nothrow) CFileObj;
  int opened = file && file->Open(path, 0, 0);
  while (file && !opened) {
    const char* other = FindMissingFile(path.data());
    if (!other || !*other) break;
    path = other;
    opened = file->Open(path, 0, 0);
  }
  int ok = opened && InitialLoad(file, 2000, scanFlag, buildPeaks, buildPeaks, buildSeekMap,
                                 msPerPeak, callback, user);
  CRefObj* obj = file;
  DeleteRefObject(&obj);  // the sound keeps its own hold on the source
  if (!ok) {
    ErrorLoadingFile(GetLastError());
    return finish(0);
  }
  return finish(1);
}

// ---- effects, format and members ----

int CPCMSound::SetEffect(CEffect*) { return 0; }
int CPCMSound::SetFormat(const tWAVEFORMATEX*) { return 0; }
CAudioAtom* CPCMSound::AddSubAtom(CAudioAtom*, long) { return nullptr; }
CAudioAtom* CPCMSound::RemoveSubAtom(CAudioAtom*) { return nullptr; }
CAudioAtom* CPCMSound::MoveSubAtom(CAudioAtom*, long) { return nullptr; }
