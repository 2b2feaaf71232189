#include "engine/core/PCMMixer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/core/PCMSound.h"
#include "engine/core/SampleBuffer.h"
#include "engine/core/SoundEngine.h"
#include "engine/core/SoundGroup.h"

CPCMMixer::CPCMMixer(_tInitMixer* init) {
  _tInitMixer defaults{0, 2, 512, {WAVE_FORMAT_PCM, 2, 44100, 0, 0, 16, 0}};
  if (!init) init = &defaults;
  InitPlayback(init);
  InitRecording(init);
  SetCurrentMixer(this);
}

CPCMMixer::~CPCMMixer() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (IsOpen()) Close();
  toFile_.RemoveAll();
  if (GetCurrentMixer() == this) SetCurrentMixer(nullptr);
}

int CPCMMixer::InitPlayback(_tInitMixer* init) {
  if (!init) return 0;
  playback_ = *init;
  uint32_t& rate = playback_.format.nSamplesPerSec;
  if (rate <= 11024)
    rate = 11025;
  else if (rate > 11025 && rate < 22050)
    rate = 22050;
  else if (rate > 22050)
    rate = 44100;
  ValidateFormat(&playback_.format, WAVE_FORMAT_PCM);
  requested_ = playback_.format;
  bufferMs_ = playback_.format.nAvgBytesPerSec
                  ? playback_.bufferBytes * 1000.0 / playback_.format.nAvgBytesPerSec
                  : 0.0;
  if (playback_.format.nBlockAlign)
    playback_.bufferBytes =
        playback_.bufferBytes / playback_.format.nBlockAlign * playback_.format.nBlockAlign;
  return 1;
}

int CPCMMixer::InitRecording(_tInitMixer* init) {
  if (!init) return 0;
  recording_[0] = recording_[1] = *init;
  return 1;
}

int CPCMMixer::Open() { return 0; }

void CPCMMixer::Close() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (openCount_ == 1) {
    paused_ = 0;
    Stop();
    SetPlayMode(0);
  }
  if (openCount_ > 0) --openCount_;
}

int CPCMMixer::IsOpen() { return openCount_ > 0; }

int CPCMMixer::Play(CAudioAtom*, long, long) { return 0; }

int CPCMMixer::Stop() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  playMode_ = 0;
  return 1;
}

int CPCMMixer::SetFormat(const tWAVEFORMATEX* format) {
  if (format) requested_ = *format;
  return 1;
}

long CPCMMixer::Latency() {
  uint32_t avg = playback_.format.nAvgBytesPerSec;
  return avg ? static_cast<long>(int64_t{playback_.bufferBytes} * playback_.bufferCount * 1000 /
                                 avg)
             : 0;
}

void CPCMMixer::Pause(int on) { paused_ = on ? 1 : 0; }

int CPCMMixer::IsPaused() { return paused_; }

void CPCMMixer::SetPlayMode(int mode) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  playMode_ = mode;
}

const tWAVEFORMATEX* CPCMMixer::GetFormat() const {
  if (mixingToFile_) return &fileFormat_;
  if (openCount_ > 0) return &playback_.format;
  return &requested_;
}

int CPCMMixer::MixingSoundToFile(CPCMSound* sound) { return toFile_.Member(sound); }

// Puts the sounds that start inside the window on the list (loaded from
// their beginning) and takes off those that are done.
void CPCMMixer::ReadAtomsOnRIFFList(CSoundGroup* group, long groupOffset, double windowStart,
                                    double windowEnd) {
  int n = group->NumAtoms(kAtomMaskAll, 0);
  for (int i = 0; i < n; ++i) {
    CAudioAtom* atom = group->GetAtom(i, nullptr);
    if (!atom) continue;
    if (atom->Type() == kAtomGroup) {
      ReadAtomsOnRIFFList(static_cast<CSoundGroup*>(atom), groupOffset, windowStart, windowEnd);
      continue;
    }
    if (atom->Type() != kAtomSound) continue;
    auto* sound = static_cast<CPCMSound*>(atom);
    double start = static_cast<double>(sound->AbsoluteOffset() - groupOffset);
    if (toFile_.Member(sound)) {
      bool done = sound->InPlayOnceMode() ? sound->FinishedWithPlayOnce() != 0
                                          : windowStart >= start + sound->Length(0);
      if (done) toFile_.Remove(sound);
    } else if (start >= windowStart && start < windowEnd) {
      if (sound->Load(0)) toFile_.InsertNewHead(sound, static_cast<long>(start - windowStart));
    }
  }
}

int CPCMMixer::MixToDataSink(CSoundGroup* group, TDataSink sink, void* user,
                             const tWAVEFORMATEX* format, long totalMs, long chunkBytes) {
  if (!group || !sink || !format || format->nAvgBytesPerSec == 0 || format->nBlockAlign == 0)
    return 0;
  percentMixed_ = 0;
  fileFormat_ = *format;
  mixingToFile_ = 1;
  const int64_t avg = format->nAvgBytesPerSec;
  const int64_t align = format->nBlockAlign;
  int64_t chunk = chunkBytes == -1 ? avg : chunkBytes;
  chunk = chunk / align * align;
  std::vector<uint8_t> buffer;
  try {
    if (chunk <= 0) throw std::bad_alloc();
    buffer.resize(static_cast<size_t>(chunk));
  } catch (const std::bad_alloc&) {
    mixingToFile_ = 0;
    return 0;
  }
  const int64_t total = align * (avg * totalMs / 1000 / align);
  double chunkMs = static_cast<double>(chunk) * 1000.0 / static_cast<double>(avg);
  const long groupOffset = group->AbsoluteOffset();

  // When the last atom starts, relative to the group: follow the last member
  // down through nested groups, summing their offsets.
  long lastStart = 0;
  for (CSoundGroup* g = group; g;) {
    int n = g->NumAtoms(kAtomMaskAll, 0);
    long offset = 0;
    CAudioAtom* last = n > 0 ? g->GetAtom(n - 1, &offset) : nullptr;
    if (!last) break;
    lastStart += offset;
    g = last->Type() == kAtomGroup ? static_cast<CSoundGroup*>(last) : nullptr;
  }

  const uint8_t silence = format->wBitsPerSample == 8 ? 128 : 0;
  double time = 0.0;
  int64_t produced = 0;
  while (produced < total || (group->InPlayOnceMode() && toFile_.Count() > 0)) {
    std::memset(buffer.data(), silence, static_cast<size_t>(chunk));
    const double windowEnd = time + chunkMs;
    ReadAtomsOnRIFFList(group, groupOffset, time, windowEnd);

    int64_t largest = 0;
    listed_.clear();
    for (int i = 0; i < toFile_.Count(); ++i) {
      long key = 0;
      if (auto* sound = static_cast<CPCMSound*>(toFile_.Index(i, &key)))
        listed_.emplace_back(sound, key);
    }
    keep_.clear();
    for (auto [sound, key] : listed_) {
      sound->Idle(&fileFormat_);
      int64_t offset = align * (static_cast<int64_t>(key) * avg / 1000 / align);
      if (offset >= chunk) {
        keep_.push_back(sound);
        continue;
      }
      _bufferType out{};
      out.precision = PRECISION_NATIVE;
      out.format = &fileFormat_;
      out.data = buffer.data() + offset;
      out.bufferBytes = static_cast<uint32_t>(chunk - offset);
      long written = 0;
      TRenderResult r = sound->ReadData(&out, written);
      largest = std::max(largest, offset + static_cast<int64_t>(written));
      if (r == RENDER_MORE) keep_.push_back(sound);
    }
    toFile_.RemoveAll();
    for (CPCMSound* s : keep_) toFile_.InsertNewHead(s, 0);

    long bytes = static_cast<long>(chunk);
    if (toFile_.Count() == 0 && static_cast<double>(lastStart) < windowEnd) {
      bytes = static_cast<long>(largest);
      if (bytes == 0) break;
    }
    TDataWriteCode code = sink(reinterpret_cast<char*>(buffer.data()), bytes, user);
    int64_t accepted = std::clamp<int64_t>(bytes, 0, chunk);
    produced += accepted;
    time += static_cast<double>(accepted) * 1000.0 / static_cast<double>(avg);
    percentMixed_ =
        total > 0 ? static_cast<long>(std::min<int64_t>(100, produced * 100 / total)) : 100;
    if (accepted != largest && accepted > 0 && accepted / align * align == accepted) {
      chunk = accepted;
      chunkMs = static_cast<double>(chunk) * 1000.0 / static_cast<double>(avg);
    }
    if (code != 0) break;
    if (accepted == 0) break;  // a sink that takes nothing would loop for ever
  }
  toFile_.RemoveAll();
  mixingToFile_ = 0;
  percentMixed_ = 0;
  return 1;
}
