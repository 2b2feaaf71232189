// A PCM output stream on the default sound device, in the shape the engine's
// mixer drives: blocks are queued one at a time and their completion is found
// by polling the play position, never by a callback. No device is an
// ordinary failure of Open.
#pragma once

#include <cstdint>
#include <string>

namespace os {

class WaveOut {
 public:
  WaveOut() = default;
  ~WaveOut() { Close(); }
  WaveOut(const WaveOut&) = delete;
  WaveOut& operator=(const WaveOut&) = delete;

  // Opens the device for 8-bit unsigned or 16-bit signed PCM, with room
  // queued for at least `queueBytes` (the caller's whole ring of blocks), so
  // that writing a block the caller has room for never waits.
  bool Open(uint16_t channels, uint32_t rate, uint16_t bits, int64_t queueBytes);
  void Close();
  bool IsOpen() const { return pcm_ != nullptr; }
  // Queues a block; false when the device failed.
  bool Write(const void* data, int64_t bytes);
  // Drops what is queued; the play position then equals the bytes written.
  void Reset();
  void Pause(bool on);
  // Bytes that have left the device since Open: written minus still queued.
  int64_t PlayedBytes();
  int64_t WrittenBytes() const { return written_; }
  const std::string& Error() const { return error_; }

 private:
  void* pcm_ = nullptr;  // snd_pcm_t*
  uint32_t frameBytes_ = 0;
  int64_t written_ = 0;
  bool paused_ = false;
  int64_t pausedAt_ = 0;  // the play position when paused
  std::string error_;
};

}  // namespace os
