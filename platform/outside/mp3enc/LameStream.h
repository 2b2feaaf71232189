// One encoding stream over libmp3lame: set up from checked settings, fed
// interleaved 16-bit PCM, flushed once. Calls on one stream are serialised,
// so a caller that shares a handle between threads cannot corrupt it.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/outside/BladeEnc.h"
#include "platform/outside/mp3enc/EncoderSettings.h"

struct lame_global_struct;

namespace mp3enc {

class LameStream {
 public:
  LameStream() = default;
  ~LameStream();
  LameStream(const LameStream&) = delete;
  LameStream& operator=(const LameStream&) = delete;

  // Sets LAME up; BE_ERR_INVALID_FORMAT_PARAMETERS when LAME refuses the settings.
  BE_ERR Open(const EncoderSettings& settings);

  // 16-bit samples of all channels per encode call, and the output room that
  // such a call and the flush need.
  uint32_t SamplesPerCall() const { return samplesPerCall_; }
  uint32_t OutputBytes() const { return outputBytes_; }

  // Encodes up to SamplesPerCall() samples (all channels; a whole number of
  // sample frames) into output, which holds OutputBytes().
  BE_ERR Encode(uint32_t samples, const int16_t* pcm, uint8_t* output, uint32_t* outputBytes);
  // The last frames. Only the first call flushes; later ones give no bytes.
  // tagFrame receives LAME's final tag frame when the stream writes one,
  // and is emptied otherwise.
  BE_ERR Flush(uint8_t* output, uint32_t* outputBytes, std::vector<uint8_t>* tagFrame,
               bool* flushedNow);

 private:
  void Configure(const EncoderSettings& settings);
  std::vector<uint8_t> TagFrame() const;

  std::mutex mutex_;
  lame_global_struct* lame_ = nullptr;
  int channels_ = 2;
  bool writesTag_ = false;
  bool flushed_ = false;
  uint32_t samplesPerCall_ = 0;
  uint32_t outputBytes_ = 0;
};

}  // namespace mp3enc
