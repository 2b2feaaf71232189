#include "platform/audio/WaveOut.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace os {

namespace {

snd_pcm_t* Pcm(void* p) { return static_cast<snd_pcm_t*>(p); }

// ALSA reports a missing device on stderr by itself; here that is an
// ordinary failure that the caller handles.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

bool WaveOut::Open(uint16_t channels, uint32_t rate, uint16_t bits, int64_t queueBytes) {
  Close();
  error_.clear();
  if ((channels != 1 && channels != 2) || rate == 0 || (bits != 8 && bits != 16)) {
    error_ = "unsupported PCM shape";
    return false;
  }
  snd_lib_error_set_handler(Quiet);
  snd_pcm_t* pcm = nullptr;
  int rc = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
  if (rc < 0) {
    error_ = snd_strerror(rc);
    return false;
  }
  frameBytes_ = channels * bits / 8u;
  // Twice the caller's ring, and never under 100 ms, so that a write of one
  // block always finds room.
  int64_t queueUs = queueBytes * 1000000 / (int64_t{rate} * frameBytes_);
  unsigned latency = static_cast<unsigned>(std::clamp<int64_t>(2 * queueUs, 100000, 2000000));
  rc = snd_pcm_set_params(pcm, bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE,
                          SND_PCM_ACCESS_RW_INTERLEAVED, channels, rate, 1, latency);
  if (rc < 0) {
    error_ = snd_strerror(rc);
    snd_pcm_close(pcm);
    return false;
  }
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
