#include "platform/audio/WaveIn.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>

namespace os {

namespace {

snd_pcm_t* Pcm(void* p) { return static_cast<snd_pcm_t*>(p); }

// ALSA reports a missing device on stderr by itself; here that is an
// ordinary failure that the caller handles.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

bool WaveIn::Open(uint16_t channels, uint32_t rate, uint16_t bits, int64_t queueBytes) {
  Close();
  error_.clear();
  if ((channels != 1 && channels != 2) || rate == 0 || (bits != 8 && bits != 16)) {
    error_ = "unsupported PCM shape";
    return false;
  }
  snd_lib_error_set_handler(Quiet);
  snd_pcm_t* pcm = nullptr;
  int rc = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
  if (rc < 0) {
    error_ = snd_strerror(rc);
    return false;
  }
  frameBytes_ = channels * bits / 8u;
  // Twice the caller's ring, and never under 200 ms, so that a late poll
  // loses nothing.
  int64_t queueUs = queueBytes * 1000000 / (int64_t{rate} * frameBytes_);
  unsigned latency = static_cast<unsigned>(std::clamp<int64_t>(2 * queueUs, 200000, 2000000));
  rc = snd_pcm_set_params(pcm, bits == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE,
                          SND_PCM_ACCESS_RW_INTERLEAVED, channels, rate, 1, latency);
  if (rc < 0) {
    error_ = snd_strerror(rc);
    snd_pcm_close(pcm);
    return false;
  }
  pcm_ = pcm;
  rate_ = rate;
  captured_ = 0;
  started_ = false;
  return true;
}

void WaveIn::Close() {
  if (!pcm_) return;
  snd_pcm_drop(Pcm(pcm_));
  snd_pcm_close(Pcm(pcm_));
  pcm_ = nullptr;
  captured_ = 0;
  started_ = false;
}

bool WaveIn::Start() {
  if (!pcm_) return false;
  int rc = snd_pcm_start(Pcm(pcm_));
  if (rc < 0) {
    error_ = snd_strerror(rc);
    return false;
  }
  started_ = true;
  start_ = std::chrono::steady_clock::now();
  return true;
}

// What the clock allows since the start, with 0.5 % and 20 ms to spare so that
// a real device whose clock runs a little fast is never held back.
int64_t WaveIn::FramesDue() const {
  auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                  start_)
                .count();
  int64_t due = us * int64_t{rate_} / 1000000;
  return due + due / 200 + rate_ / 50;
}

int64_t WaveIn::Read(void* data, int64_t bytes) {
  if (!pcm_ || !started_ || frameBytes_ == 0) return -1;
  int64_t frames = bytes / frameBytes_;
  frames = std::min(frames, FramesDue() - captured_ / frameBytes_);
  if (frames <= 0) return 0;
  snd_pcm_sframes_t n = snd_pcm_readi(Pcm(pcm_), data, static_cast<snd_pcm_uframes_t>(frames));
  if (n == -EAGAIN) return 0;
  if (n < 0) {
    // An overrun loses what the device could not hold; capturing goes on.
    int rc = snd_pcm_recover(Pcm(pcm_), static_cast<int>(n), 1);
    if (rc == 0) rc = snd_pcm_start(Pcm(pcm_));
    if (rc < 0 && rc != -EBADFD) {
      error_ = snd_strerror(rc);
      return -1;
    }
    return 0;
  }
  captured_ += n * int64_t{frameBytes_};
  return n * int64_t{frameBytes_};
}

}  // namespace os
