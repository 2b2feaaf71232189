#include "platform/outside/mp3enc/LameStream.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>

namespace mp3enc {

namespace {

// LAME's set-up and tear-down touch tables shared by all its streams; they
// are kept from running at the same time. Encoding needs no such guard.
std::mutex& SetupMutex() {
  static std::mutex mutex;
  return mutex;
}

// LAME reports through these; a library inside another program keeps quiet.
void Silent(const char*, va_list) {}

// The largest layer III frame (320 kbit/s at 32000 Hz, or 160 kbit/s at
// 8000 Hz): room for the tag frame LAME puts in front of the first audio.
constexpr uint32_t kMaxFrameBytes = 1441;

// LAME's documented worst case for one call: 1.25 bytes per sample of one
// channel, plus 7200 bytes (which also covers the flush).
uint32_t WorstCaseBytes(uint32_t samplesPerChannel) {
  return samplesPerChannel + (samplesPerChannel + 3) / 4 + 7200;
}

vbr_mode LameVbrMode(BitRateMode mode) {
  switch (mode) {
    case BitRateMode::kVariable:
      return vbr_default;
    case BitRateMode::kAverage:
      return vbr_abr;
    case BitRateMode::kConstant:
      break;
  }
  return vbr_off;
}

MPEG_mode LameMode(int mode) {
  switch (mode) {
    case BE_MP3_MODE_JSTEREO:
      return JOINT_STEREO;
    case BE_MP3_MODE_DUALCHANNEL:
      return DUAL_CHANNEL;
    case BE_MP3_MODE_MONO:
      return MONO;
    default:
      return STEREO;
  }
}

}  // namespace

LameStream::~LameStream() {
  if (!lame_) return;
  std::lock_guard<std::mutex> setup(SetupMutex());
  lame_close(lame_);
}

BE_ERR LameStream::Open(const EncoderSettings& settings) {
  std::lock_guard<std::mutex> setup(SetupMutex());
  lame_ = lame_init();
  if (!lame_) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  Configure(settings);
  if (lame_init_params(lame_) < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const int frame = lame_get_framesize(lame_);
  if (frame <= 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  channels_ = settings.channels;
  writesTag_ = settings.writeVbrTag;
  samplesPerCall_ = static_cast<uint32_t>(frame * channels_);
  // A call's input may grow when LAME resamples up.
  const uint64_t perChannel = static_cast<uint64_t>(frame);
  const uint64_t resampled =
      (perChannel * settings.outputRate + settings.inputRate - 1) / settings.inputRate;
  outputBytes_ =
      WorstCaseBytes(static_cast<uint32_t>(std::max(perChannel, resampled))) + kMaxFrameBytes;
  return BE_ERR_SUCCESSFUL;
}

void LameStream::Configure(const EncoderSettings& s) {
  lame_set_errorf(lame_, Silent);
  lame_set_debugf(lame_, Silent);
  lame_set_msgf(lame_, Silent);
  lame_set_in_samplerate(lame_, s.inputRate);
  lame_set_out_samplerate(lame_, s.outputRate);
  lame_set_num_channels(lame_, s.channels);
  lame_set_mode(lame_, LameMode(s.mode));
  lame_set_VBR(lame_, LameVbrMode(s.bitRateMode));
  switch (s.bitRateMode) {
    case BitRateMode::kConstant:
      lame_set_brate(lame_, s.bitRate);
      break;
    case BitRateMode::kAverage:
      lame_set_VBR_mean_bitrate_kbps(lame_, s.meanBitRate);
      [[fallthrough]];
    case BitRateMode::kVariable:
      lame_set_VBR_q(lame_, s.vbrQuality);
      if (s.bitRate) lame_set_VBR_min_bitrate_kbps(lame_, s.bitRate);
      if (s.maxBitRate) lame_set_VBR_max_bitrate_kbps(lame_, s.maxBitRate);
      break;
  }
  lame_set_error_protection(lame_, s.crc);
  lame_set_copyright(lame_, s.copyright);
  lame_set_original(lame_, s.original);
  lame_set_extension(lame_, s.privateBit);
  lame_set_emphasis(lame_, s.emphasis);
  lame_set_disable_reservoir(lame_, s.noReservoir);
  // Both always set: a CBR file carries no tag frame unless one was asked
  // for, and the writers put the ID3 tags in themselves.
  lame_set_bWriteVbrTag(lame_, s.writeVbrTag);
  lame_set_write_id3tag_automatic(lame_, 0);
}

BE_ERR LameStream::Encode(uint32_t samples, const int16_t* pcm, uint8_t* output,
                          uint32_t* outputBytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!outputBytes) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  *outputBytes = 0;
  if (samples > samplesPerCall_ || samples % channels_ || !output || (samples && !pcm) || flushed_)
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (!samples) return BE_ERR_SUCCESSFUL;
  const int frames = static_cast<int>(samples / channels_);
  const int room = static_cast<int>(outputBytes_);
  // LAME's buffers are not const-qualified, but it only reads them.
  short* in = const_cast<short*>(reinterpret_cast<const short*>(pcm));
  const int produced = channels_ == 1
                           ? lame_encode_buffer(lame_, in, in, frames, output, room)
                           : lame_encode_buffer_interleaved(lame_, in, frames, output, room);
  if (produced == -1) return BE_ERR_BUFFER_TOO_SMALL;
  if (produced < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  *outputBytes = static_cast<uint32_t>(produced);
  return BE_ERR_SUCCESSFUL;
}

BE_ERR LameStream::Flush(uint8_t* output, uint32_t* outputBytes, std::vector<uint8_t>* tagFrame,
                         bool* flushedNow) {
  std::lock_guard<std::mutex> lock(mutex_);
  *flushedNow = false;
  if (!outputBytes) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  *outputBytes = 0;
  if (flushed_) return BE_ERR_SUCCESSFUL;
  if (!output) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const int produced = lame_encode_flush(lame_, output, static_cast<int>(outputBytes_));
  if (produced == -1) return BE_ERR_BUFFER_TOO_SMALL;
  if (produced < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  flushed_ = true;
  *flushedNow = true;
  *outputBytes = static_cast<uint32_t>(produced);
  *tagFrame = TagFrame();
  return BE_ERR_SUCCESSFUL;
}

std::vector<uint8_t> LameStream::TagFrame() const {
  if (!writesTag_) return {};
  // With no room given LAME tells the size it needs.
  const size_t size = lame_get_lametag_frame(lame_, nullptr, 0);
  std::vector<uint8_t> frame(size);
  if (!size || lame_get_lametag_frame(lame_, frame.data(), frame.size()) != size) return {};
  return frame;
}

}  // namespace mp3enc
