#include "platform/audio/WaveIn.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>

#include "platform/audio/AlsaPcm.h"

namespace os {

namespace {

snd_pcm_t* Pcm(void* p) { return static_cast<snd_pcm_t*>(p); }

}  // namespace

bool WaveIn::Open(uint16_t channels, uint32_t rate, uint16_t bits, int64_t queueBytes) {
  Close();
  // Never under 200 ms, so that a late poll loses nothing.
  TPcmOpen opened = OpenDefaultPcm(true, channels, rate, bits, queueBytes, 200000);
  error_ = opened.error;
  if (!opened.pcm) return false;
  frameBytes_ = opened.frameBytes;
  pcm_ = opened.pcm;
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
