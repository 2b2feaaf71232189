#include "platform/outside/wmaglue/EncoderLimits.h"

#include <map>
#include <mutex>
#include <tuple>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

namespace wmaglue {

namespace {

constexpr uint32_t kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
// The WMA bit-rate ladder, kbit/s.
constexpr uint32_t kLadder[] = {5,  6,  8,  10, 12, 16, 20,  22,  32,
                                36, 40, 48, 64, 80, 96, 128, 160, 192};
constexpr int kTrialFrames = 4;

struct TTrial {
  bool accepted = false;
  int blockAlign = 0;
};

// Opens the encoder and encodes a few frames of full-scale noise.
TTrial Try(uint32_t rate, uint32_t channels, uint32_t bitrate) {
  TTrial t;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  if (codec == nullptr || channels < 1 || channels > 2 || rate == 0 || bitrate == 0) return t;
  AVCodecContext* c = avcodec_alloc_context3(codec);
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  if (c != nullptr && frame != nullptr && packet != nullptr) {
    c->sample_rate = static_cast<int>(rate);
    av_channel_layout_default(&c->ch_layout, static_cast<int>(channels));
    c->sample_fmt = AV_SAMPLE_FMT_FLTP;
    c->bit_rate = bitrate;
    t.accepted = avcodec_open2(c, codec, nullptr) >= 0 && c->frame_size > 0;
    if (t.accepted) {
      t.blockAlign = c->block_align;
      frame->nb_samples = c->frame_size;
      frame->format = c->sample_fmt;
      av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
      t.accepted = av_frame_get_buffer(frame, 0) >= 0;
      uint32_t seed = 1;
      for (int i = 0; i < kTrialFrames && t.accepted; ++i) {
        for (uint32_t ch = 0; ch < channels; ++ch) {
          auto* d = reinterpret_cast<float*>(frame->data[ch]);
          for (int s = 0; s < frame->nb_samples; ++s) {
            seed = seed * 1664525u + 1013904223u;
            d[s] = static_cast<float>(static_cast<int32_t>(seed)) / 2147483648.0f * 0.9f;
          }
        }
        frame->pts = static_cast<int64_t>(i) * frame->nb_samples;
        t.accepted = avcodec_send_frame(c, frame) >= 0;
        while (t.accepted && avcodec_receive_packet(c, packet) >= 0) av_packet_unref(packet);
      }
    }
  }
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&c);
  return t;
}

std::mutex& CacheLock() {
  static std::mutex lock;
  return lock;
}

const TTrial& Cached(uint32_t rate, uint32_t channels, uint32_t bitrate) {
  static std::map<std::tuple<uint32_t, uint32_t, uint32_t>, TTrial> cache;
  std::lock_guard<std::mutex> lock(CacheLock());
  const auto key = std::make_tuple(rate, channels, bitrate);
  auto it = cache.find(key);
  if (it == cache.end()) it = cache.emplace(key, Try(rate, channels, bitrate)).first;
  return it->second;
}

}  // namespace

bool CEncoderLimits::Accepts(uint32_t rate, uint32_t channels, uint32_t bitrate) {
  return Cached(rate, channels, bitrate).accepted;
}

uint16_t CEncoderLimits::BlockAlign(uint32_t rate, uint32_t channels, uint32_t bitrate) {
  return static_cast<uint16_t>(Cached(rate, channels, bitrate).blockAlign);
}

uint32_t CEncoderLimits::LowestBitrate(uint32_t rate, uint32_t channels) {
  // The encoder's floor lies well inside this range; it accepts every rate
  // above a working one, so halving the interval finds it.
  uint32_t low = 1, high = 320;  // kbit/s: low refused (or untried), high accepted
  if (!Accepts(rate, channels, high * 1000)) return 0;
  if (Accepts(rate, channels, low * 1000)) return low * 1000;
  while (high - low > 1) {
    const uint32_t mid = (low + high) / 2;
    if (Accepts(rate, channels, mid * 1000))
      high = mid;
    else
      low = mid;
  }
  return high * 1000;
}

const std::vector<tWAVEFORMATEX>& CEncoderLimits::CodecList() {
  static const std::vector<tWAVEFORMATEX> list = [] {
    std::vector<tWAVEFORMATEX> formats;
    for (uint32_t rate : kRates) {
      for (uint16_t channels = 1; channels <= 2; ++channels) {
        for (uint32_t kbps : kLadder) {
          if (!Accepts(rate, channels, kbps * 1000)) continue;
          tWAVEFORMATEX f{};
          f.wFormatTag = WAVE_FORMAT_WMAUDIO2;
          f.nChannels = channels;
          f.nSamplesPerSec = rate;
          f.nAvgBytesPerSec = kbps * 1000 / 8;
          f.nBlockAlign = BlockAlign(rate, channels, kbps * 1000);
          f.wBitsPerSample = 16;
          f.cbSize = 0;
          formats.push_back(f);
        }
      }
    }
    return formats;
  }();
  return list;
}

}  // namespace wmaglue
