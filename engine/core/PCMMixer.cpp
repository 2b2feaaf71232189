#include "engine/core/PCMMixer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/base/SampleBuffer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundEngine.h"
#include "engine/core/SoundGroup.h"
#include "platform/os/SystemInfo.h"

CPCMMixer::CPCMMixer(_tInitMixer* init) {
  _tInitMixer defaults{0, 2, 512, {WAVE_FORMAT_PCM, 2, 44100, 0, 0, 16, 0}};
  if (!init) init = &defaults;
  InitPlayback(init);
  InitRecording(init);
  SetMixerService(&CPCMMixer::ServeDevice);
  SetCurrentMixer(this);
}

CPCMMixer::~CPCMMixer() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (recordingOn_) EndRecording();
  if (IsOpen()) {
    openCount_ = 1;  // however often it was opened, it closes now
    Close();
  }
  // Atoms still held (played without a device pass since) are let go too.
  CleanUpPlayingSounds(1);
  while (!held_.empty()) StopAtom(held_.back(), 1);
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
  const int count = std::clamp<int32_t>(playback_.bufferCount, 0, 64);
  buffers_.assign(static_cast<size_t>(count), MixBuffer{});
  for (MixBuffer& b : buffers_) b.block.resize(playback_.bufferBytes);
  return 1;
}

int CPCMMixer::InitRecording(_tInitMixer* init) {
  if (!init) return 0;
  recording_[0] = recording_[1] = *init;
  return 1;
}

int CPCMMixer::Open() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (device_.IsOpen()) {
    ++openCount_;
    return 1;
  }
  tWAVEFORMATEX& f = playback_.format;
  if (requested_.nChannels != f.nChannels || requested_.nSamplesPerSec != f.nSamplesPerSec ||
      requested_.wBitsPerSample != f.wBitsPerSample) {
    f = requested_;
    _tInitMixer again = playback_;
    InitPlayback(&again);
  }
  if (buffers_.empty() || playback_.bufferBytes == 0) return 0;
  if (!device_.Open(f.nChannels, f.nSamplesPerSec, f.wBitsPerSample,
                    int64_t{playback_.bufferBytes} * static_cast<int64_t>(buffers_.size()))) {
    deviceError_ = device_.Error();
    return 0;
  }
  deviceError_.clear();
  for (MixBuffer& b : buffers_) b.free = true;
  openCount_ = 1;
  if (paused_) device_.Pause(true);
  return 1;
}

void CPCMMixer::Close() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (openCount_ == 1) {
    paused_ = 0;
    Stop();
    SetPlayMode(0);
    CloseDevice();
  }
  if (openCount_ > 0) --openCount_;
}

void CPCMMixer::CloseDevice() {
  device_.Reset();
  for (MixBuffer& b : buffers_) b.free = true;
  device_.Close();
}

int CPCMMixer::IsOpen() { return device_.IsOpen() ? 1 : 0; }

void CPCMMixer::Lock() { GetMixerLock().lock(); }
void CPCMMixer::Unlock() { GetMixerLock().unlock(); }

int CPCMMixer::Play(CAudioAtom* atom, long startMs, long lengthMs) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (!atom || playMode_ || !Open()) return 0;
  playTick_ = os::TickCountMs();
  SetPlayMode(1);
  if (top_) StopAtom(top_, 1);
  top_ = atom;
  windowPos_ = playStart_ = static_cast<double>(startMs);
  playEnd_ = static_cast<double>(startMs) +
             static_cast<double>(lengthMs > 0 ? lengthMs : atom->Length(0) - startMs);
  PlayAtom(atom, startMs, 0.0);
  return 1;
}

int CPCMMixer::Stop() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (playMode_) {
    if (top_) StopAtom(top_, 1);
    device_.Reset();
    for (MixBuffer& b : buffers_) b.free = true;
    CleanUpPlayingSounds(1);
    playMode_ = 0;
  }
  return 1;
}

long CPCMMixer::GetMillisecondsPlayedSoFar() {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  const uint32_t avg = playback_.format.nAvgBytesPerSec;
  if (device_.IsOpen() && avg) return static_cast<long>(device_.PlayedBytes() * 1000 / avg);
  int64_t ticks = os::TickCountMs() - playTick_;
  int64_t latency = Latency();
  return static_cast<long>(ticks > latency ? ticks - latency : ticks);
}

bool CPCMMixer::IsMixing(CAudioAtom* atom) const {
  for (const PlayingEntry& e : playing_)
    if (e.atom == atom) return true;
  return false;
}

void CPCMMixer::StopAtom(CAudioAtom* atom, int force) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (!atom) return;
  if (recordingOn_ && atom == recordingSound_) {
    EndRecording();
    return;
  }
  auto held = std::find(held_.begin(), held_.end(), atom);
  if (!force && held == held_.end()) return;
  playing_.erase(std::remove_if(playing_.begin(), playing_.end(),
                                [&](const PlayingEntry& e) { return e.atom == atom; }),
                 playing_.end());
  if (atom->Type() == kAtomGroup) {
    // Its members that play stop with it.
    for (size_t i = playing_.size(); i-- > 0;) {
      if (i >= playing_.size()) continue;
      CAudioAtom* member = playing_[i].atom;
      for (CAudioAtom* p = member->Parent(); p; p = p->Parent())
        if (p == atom) {
          StopAtom(member, 1);
          break;
        }
    }
  }
  atom->ClearMixerFlag(kMixerStopRequested);
  SetAtomPlayMode(atom, 0, 0);
  if (top_ == atom) top_ = nullptr;
  held = std::find(held_.begin(), held_.end(), atom);
  if (held != held_.end()) {
    held_.erase(held);
    DeleteAtom(&atom);  // the reference PlayAtom took
  }
}

void CPCMMixer::PlayAtom(CAudioAtom* atom, long startMs, double delayMs) {
  if (std::find(held_.begin(), held_.end(), atom) != held_.end()) return;
  atom->AddReference();
  held_.push_back(atom);
  StartMixingAtom(atom, startMs, delayMs);
  SetAtomPlayMode(atom, 1, startMs);
}

// Only single sounds are mixed; a group's members are started by the time
// window as their time comes.
void CPCMMixer::StartMixingAtom(CAudioAtom* atom, long startMs, double delayMs) {
  if (atom->Type() != kAtomSound) return;
  auto* sound = static_cast<CPCMSound*>(atom);
  if (!sound->Load(startMs)) return;
  sound->Idle(&playback_.format);
  playing_.insert(playing_.begin(), PlayingEntry{atom, 1, delayMs, startMs});
}

void CPCMMixer::SetAtomPlayMode(CAudioAtom* atom, int mode, long timeMs) {
  if (mode) {
    startNotices_.emplace_back(atom, timeMs);
    return;
  }
  startNotices_.erase(
      std::remove_if(startNotices_.begin(), startNotices_.end(),
                     [&](const std::pair<CAudioAtom*, long>& n) { return n.first == atom; }),
      startNotices_.end());
  atom->SetPlayMode(0, timeMs);
}

void CPCMMixer::Pause(int on) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (on && !paused_) {
    paused_ = 1;
    if (device_.IsOpen()) device_.Pause(true);
  } else if (!on && paused_) {
    paused_ = 0;
    if (device_.IsOpen()) device_.Pause(false);
  }
}

int CPCMMixer::IsPaused() { return paused_; }

void CPCMMixer::SetPlayMode(int mode) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  playMode_ = mode;
}

int CPCMMixer::ServeDevice(CPCMMixer* mixer) {
  mixer->Idle();
  if (mixer->Playing()) {
    if (mixer->Recording()) mixer->ContinueRecording();
    mixer->Mix();
    return 1;
  }
  if (mixer->Recording()) {
    mixer->ContinueRecording();
    return 1;
  }
  if (mixer->IsOpen()) mixer->Close();
  return 0;
}

void CPCMMixer::Idle() {
  for (const PlayingEntry& e : playing_)
    if (e.atom->Type() == kAtomSound) static_cast<CPCMSound*>(e.atom)->Idle(&playback_.format);
}

void CPCMMixer::Mix() {
  // A paused device takes no blocks; what is mixed now would be lost.
  if (paused_ && device_.IsOpen()) return;
  const bool topEnded = top_ && (top_->GetFlag(kMixerStopRequested) ||
                                 playEnd_ - playStart_ <= GetMillisecondsPlayedSoFar());
  const bool active = (top_ && top_->Playing()) || !startNotices_.empty() || !playing_.empty();
  if (top_ && !topEnded && active) {
    const int64_t played = device_.PlayedBytes();
    double ms = 0.0;
    for (MixBuffer& b : buffers_)
      if (b.free || played >= b.end) {
        b.free = true;
        ms += bufferMs_;
      }
    if (ms <= 0.0) return;
    IncrementTimeWindow(ms);
    for (MixBuffer& b : buffers_)
      if (b.free) {
        MixIntoBuffer(b);
        b.free = false;
      }
    std::vector<std::pair<CAudioAtom*, long>> notices;
    notices.swap(startNotices_);
    for (auto& [atom, time] : notices) atom->SetPlayMode(1, time);
    return;
  }
  if (topEnded) {
    if (top_->Playing() || std::find(held_.begin(), held_.end(), top_) != held_.end())
      StopAtom(top_, 1);
  } else {
    // Nothing left to mix: close once the device has played what it holds.
    if (device_.IsOpen() && device_.PlayedBytes() < device_.WrittenBytes()) return;
  }
  if (device_.IsOpen()) {
    windowPos_ += bufferMs_;
    SetPlayMode(0);
    Close();
  }
}

void CPCMMixer::MixIntoBuffer(MixBuffer& buffer) {
  const tWAVEFORMATEX& f = playback_.format;
  std::fill(buffer.block.begin(), buffer.block.end(), f.wBitsPerSample == 8 ? 128 : 0);
  CleanUpPlayingSounds(0);
  const int64_t avg = f.nAvgBytesPerSec, align = f.nBlockAlign;
  const int64_t bytes = static_cast<int64_t>(buffer.block.size());
  for (PlayingEntry& e : playing_) {
    if (e.state != 1) continue;
    if (e.delayMs >= bufferMs_) {
      e.delayMs -= bufferMs_;
      continue;
    }
    int64_t offset = align ? align * static_cast<int64_t>(static_cast<double>(avg) * e.delayMs *
                                                          0.001 / static_cast<double>(align))
                           : 0;
    offset = std::clamp<int64_t>(offset, 0, bytes);
    _bufferType out{};
    out.precision = PRECISION_NATIVE;
    out.format = &playback_.format;
    out.data = buffer.block.data() + offset;
    out.bufferBytes = static_cast<uint32_t>(bytes - offset);
    long written = 0;
    e.delayMs = 0.0;
    e.state = e.atom->Type() == kAtomSound
                  ? static_cast<CPCMSound*>(e.atom)->ReadData(&out, written)
                  : RENDER_ENDED;
    if (avg) e.renderedMs += static_cast<double>(written) * 1000.0 / static_cast<double>(avg);
    if (e.state == RENDER_ENDED) e.delayMs = static_cast<double>(buffers_.size()) * bufferMs_;
  }
  if (device_.IsOpen()) {
    device_.Write(buffer.block.data(), bytes);
    buffer.end = device_.WrittenBytes();
  }
}

void CPCMMixer::CleanUpPlayingSounds(int force) {
  if (force) {
    while (!playing_.empty()) StopAtom(playing_.front().atom, 1);
    return;
  }
  // Entries go away while walking: go over a copy of the atoms.
  std::vector<CAudioAtom*> atoms;
  for (const PlayingEntry& e : playing_) atoms.push_back(e.atom);
  for (CAudioAtom* atom : atoms) {
    auto it = std::find_if(playing_.begin(), playing_.end(),
                           [&](const PlayingEntry& e) { return e.atom == atom; });
    if (it == playing_.end()) continue;
    if (it->state == 1 && atom->GetFlag(kMixerNewPosition)) {
      atom->ClearMixerFlag(kMixerNewPosition);
      // Where the sound stands in its own time, not what it read since its
      // last start, which differs once it was started inside itself.
      long offset = CurrentOffset(atom);
      if (offset < atom->Length(0) && atom->Type() == kAtomSound &&
          static_cast<CPCMSound*>(atom)->Load(offset)) {
        it->startMs = offset;
        it->renderedMs = 0.0;
        continue;
      }
      StopAtom(atom, 1);
    } else if (atom->GetFlag(kMixerStopRequested)) {
      StopAtom(atom, 1);
    } else if (it->state != 1) {
      if (it->delayMs > bufferMs_)
        it->delayMs -= bufferMs_;
      else
        StopAtom(atom, 1);
    }
  }
}

// Moves the time window on; for a group being played, its members whose
// start falls into the new window begin, each after its delay.
void CPCMMixer::IncrementTimeWindow(double ms) {
  if (top_ && top_->Type() == kAtomGroup) {
    auto* group = static_cast<CSoundGroup*>(top_);
    MixTimeWindow(group, group->AbsoluteOffset(), windowPos_, windowPos_ + ms);
  }
  windowPos_ += ms;
}

void CPCMMixer::MixTimeWindow(CSoundGroup* group, long groupOffset, double windowStart,
                              double windowEnd) {
  const bool first = windowStart <= playStart_;
  int n = group->NumAtoms(kAtomMaskAll, 0);
  for (int i = 0; i < n; ++i) {
    CAudioAtom* atom = group->GetAtom(i, nullptr);
    if (!atom) continue;
    if (atom->Type() == kAtomGroup) {
      MixTimeWindow(static_cast<CSoundGroup*>(atom), groupOffset, windowStart, windowEnd);
      continue;
    }
    if (atom->Type() != kAtomSound || std::find(held_.begin(), held_.end(), atom) != held_.end())
      continue;
    double start = static_cast<double>(atom->AbsoluteOffset() - groupOffset);
    if (start >= windowStart && start < windowEnd) {
      PlayAtom(atom, 0, start - windowStart);
    } else if (first && start < windowStart && start + atom->Length(0) > windowStart) {
      // Playing from inside the group: a sound under way at the start joins midway.
      PlayAtom(atom, static_cast<long>(windowStart - start), 0.0);
    }
  }
}

long CPCMMixer::CurrentOffset(CAudioAtom* atom) {
  std::lock_guard<std::recursive_mutex> lock(GetMixerLock());
  if (!atom) return -1;
  for (const PlayingEntry& e : playing_)
    if (e.atom == atom) return e.startMs + static_cast<long>(e.renderedMs);
  if (atom == top_) return static_cast<long>(windowPos_);
  return -1;
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

const tWAVEFORMATEX* CPCMMixer::GetFormat() const {
  if (mixingToFile_) return &fileFormat_;
  if (device_.IsOpen()) return &playback_.format;
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
  if (chunk <= 0) {
    mixingToFile_ = 0;
    return 0;
  }
  try {
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
