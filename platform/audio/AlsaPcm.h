// Opening ALSA's default device for interleaved 8-bit unsigned or 16-bit
// signed PCM, for the output and the input stream alike. No device is an
// ordinary failure with its reason, never a message of ALSA's own on stderr.
#pragma once

#include <cstdint>
#include <string>

namespace os {

struct TPcmOpen {
  void* pcm = nullptr;  // snd_pcm_t*
  uint32_t frameBytes = 0;
  std::string error;
};

// The device's buffer holds twice the caller's ring of queueBytes, at least
// minLatencyUs and at most two seconds, so that a late poll or a write of
// one block never finds it short.
TPcmOpen OpenDefaultPcm(bool capture, uint16_t channels, uint32_t rate, uint16_t bits,
                        int64_t queueBytes, int64_t minLatencyUs);

}  // namespace os
