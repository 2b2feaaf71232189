// A PCM capture stream on the default sound device, in the shape the
// engine's mixer drives: the caller polls for what has been captured and
// never waits. A device that delivers faster than the clock (ALSA's null
// and file plugins deliver at once) is paced to real time, so that a
// recording lasts as long as it ran. No device is an ordinary failure of
// Open.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace os {

class WaveIn {
 public:
  WaveIn() = default;
  ~WaveIn() { Close(); }
  WaveIn(const WaveIn&) = delete;
  WaveIn& operator=(const WaveIn&) = delete;

  // Opens the device for 8-bit unsigned or 16-bit signed PCM, holding at
  // least `queueBytes` of captured audio between two polls.
  bool Open(uint16_t channels, uint32_t rate, uint16_t bits, int64_t queueBytes);
  void Close();
  bool IsOpen() const { return pcm_ != nullptr; }
  bool Start();
  // Takes at most `bytes` (whole frames) of what has been captured so far;
  // 0 when nothing is waiting, -1 when the device failed.
  int64_t Read(void* data, int64_t bytes);
  // Bytes handed out by Read since Open.
  int64_t CapturedBytes() const { return captured_; }
  const std::string& Error() const { return error_; }

 private:
  int64_t FramesDue() const;

  void* pcm_ = nullptr;  // snd_pcm_t*
  uint32_t frameBytes_ = 0;
  uint32_t rate_ = 0;
  int64_t captured_ = 0;
  bool started_ = false;
  std::chrono::steady_clock::time_point start_{};
  std::string error_;
};

}  // namespace os
