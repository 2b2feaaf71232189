#include "platform/audio/WaveOut.h"

#include <alsa/asoundlib.h>

#include <algorithm>

#include "platform/audio/AlsaPcm.h"

namespace os {

namespace {

snd_pcm_t* Pcm(void* p) { return static_cast<snd_pcm_t*>(p); }

}  // namespace

bool WaveOut::Open(uint16_t channels, uint32_t rate, uint16_t bits, int64_t queueBytes) {
  Close();
  // Never under 100 ms, so that a write of one block always finds room.
  TPcmOpen opened = OpenDefaultPcm(false, channels, rate, bits, queueBytes, 100000);
  error_ = opened.error;
  if (!opened.pcm) return false;
  snd_pcm_t* pcm = Pcm(opened.pcm);
  frameBytes_ = opened.frameBytes;
  // Start as soon as the caller's ring has been queued, not when ALSA's
  // larger buffer is full.
  snd_pcm_sw_params_t* sw = nullptr;
  snd_pcm_sw_params_alloca(&sw);
  if (snd_pcm_sw_params_current(pcm, sw) == 0) {
    snd_pcm_uframes_t start =
        static_cast<snd_pcm_uframes_t>(std::max<int64_t>(1, queueBytes / frameBytes_));
    snd_pcm_sw_params_set_start_threshold(pcm, sw, start);
    snd_pcm_sw_params(pcm, sw);
  }
  pcm_ = pcm;
  written_ = 0;
  paused_ = false;
  return true;
}

void WaveOut::Close() {
  if (!pcm_) return;
  snd_pcm_drop(Pcm(pcm_));
  snd_pcm_close(Pcm(pcm_));
  pcm_ = nullptr;
  written_ = 0;
  paused_ = false;
}

bool WaveOut::Write(const void* data, int64_t bytes) {
  if (!pcm_ || frameBytes_ == 0) return false;
  const auto* p = static_cast<const uint8_t*>(data);
  snd_pcm_uframes_t frames = static_cast<snd_pcm_uframes_t>(bytes / frameBytes_);
  while (frames > 0) {
    snd_pcm_sframes_t n = snd_pcm_writei(Pcm(pcm_), p, frames);
    if (n < 0) n = snd_pcm_recover(Pcm(pcm_), static_cast<int>(n), 1);  // an underrun
    if (n < 0) {
      error_ = snd_strerror(static_cast<int>(n));
      return false;
    }
    p += static_cast<size_t>(n) * frameBytes_;
    frames -= static_cast<snd_pcm_uframes_t>(n);
    written_ += n * int64_t{frameBytes_};
  }
  return true;
}

void WaveOut::Reset() {
  if (!pcm_) return;
  snd_pcm_drop(Pcm(pcm_));
  snd_pcm_prepare(Pcm(pcm_));
  paused_ = false;
}

void WaveOut::Pause(bool on) {
  if (!pcm_ || on == paused_) return;
  // Devices that can't pause simply keep playing what is queued.
  if (on) {
    int64_t played = PlayedBytes();
    if (snd_pcm_pause(Pcm(pcm_), 1) == 0) {
      paused_ = true;
      pausedAt_ = played;
    }
  } else if (snd_pcm_pause(Pcm(pcm_), 0) == 0) {
    paused_ = false;
  }
}

int64_t WaveOut::PlayedBytes() {
  if (!pcm_) return 0;
  // A paused device plays nothing, whatever a plugin without a clock reports.
  if (paused_) return pausedAt_;
  snd_pcm_sframes_t delay = 0;
  // A device that can't say (after an underrun) has played everything.
  if (snd_pcm_delay(Pcm(pcm_), &delay) < 0) delay = 0;
  int64_t queued = std::clamp<int64_t>(delay * int64_t{frameBytes_}, 0, written_);
  return written_ - queued;
}

}  // namespace os
