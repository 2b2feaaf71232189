#include "platform/outside/wmaglue/WmaDecoder.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/time.h>
#include <libswresample/swresample.h>
}

namespace wmaglue {

namespace {

constexpr int kMaxRate = 48000;
constexpr int kMaxChannels = 2;
constexpr int64_t kOpenMicroseconds = 10 * 1000 * 1000;

bool IsWindowsMediaAudio(AVCodecID id) {
  return id == AV_CODEC_ID_WMAV1 || id == AV_CODEC_ID_WMAV2 || id == AV_CODEC_ID_WMAPRO ||
         id == AV_CODEC_ID_WMALOSSLESS;
}

}  // namespace

// Ends a blocked open of a file that never yields a header.
int DecoderInterrupt(void* opaque) {
  const auto* d = static_cast<const CWmaDecoder*>(opaque);
  return d->deadline_ != 0 && av_gettime_relative() > d->deadline_;
}

CWmaDecoder::CWmaDecoder() = default;

CWmaDecoder::~CWmaDecoder() { Close(); }

void CWmaDecoder::Close() {
  swr_free(&swr_);
  avcodec_free_context(&codec_);
  avformat_close_input(&format_);
  av_packet_free(&packet_);
  av_frame_free(&frame_);
  stream_ = -1;
  draining_ = ended_ = false;
  pcmFrames_ = readFrames_ = 0;
  pcmFirst_ = decodedFrames_ = 0;
}

WmaResult CWmaDecoder::Open(const std::string& path) {
  Close();
  path_ = path;
  const WmaResult r = OpenDecoder();
  if (WmFailed(r)) Close();
  return r;
}

WmaResult CWmaDecoder::OpenDecoder() {
  format_ = avformat_alloc_context();
  packet_ = av_packet_alloc();
  frame_ = av_frame_alloc();
  if (format_ == nullptr || packet_ == nullptr || frame_ == nullptr) return WM_E_OUTOFMEMORY;
  format_->interrupt_callback.callback = DecoderInterrupt;
  format_->interrupt_callback.opaque = this;
  deadline_ = av_gettime_relative() + kOpenMicroseconds;
  const AVInputFormat* asf = av_find_input_format("asf");
  if (avformat_open_input(&format_, path_.c_str(), asf, nullptr) < 0) {
    format_ = nullptr;  // freed by the failed open
    return WM_E_INVALID_FORMAT;
  }
  deadline_ = 0;
  for (unsigned i = 0; i < format_->nb_streams; ++i) {
    const AVCodecParameters* p = format_->streams[i]->codecpar;
    if (p->codec_type == AVMEDIA_TYPE_AUDIO && IsWindowsMediaAudio(p->codec_id) && stream_ < 0)
      stream_ = static_cast<int>(i);
    else
      format_->streams[i]->discard = AVDISCARD_ALL;
  }
  if (stream_ < 0) return WM_E_INVALID_FORMAT;
  const AVCodecParameters* params = format_->streams[stream_]->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(params->codec_id);
  if (decoder == nullptr) return WM_E_INVALID_FORMAT;
  codec_ = avcodec_alloc_context3(decoder);
  if (codec_ == nullptr) return WM_E_OUTOFMEMORY;
  if (avcodec_parameters_to_context(codec_, params) < 0 ||
      avcodec_open2(codec_, decoder, nullptr) < 0)
    return WM_E_INVALID_FORMAT;
  if (codec_->sample_rate <= 0 || codec_->ch_layout.nb_channels <= 0) return WM_E_INVALID_FORMAT;

  AVChannelLayout in{};
  if (codec_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&in, codec_->ch_layout.nb_channels);
  else
    av_channel_layout_copy(&in, &codec_->ch_layout);
  channels_ = std::min(in.nb_channels, kMaxChannels);
  rate_ = std::min(codec_->sample_rate, kMaxRate);
  AVChannelLayout out{};
  av_channel_layout_default(&out, channels_);
  const int made = swr_alloc_set_opts2(&swr_, &out, AV_SAMPLE_FMT_S16, rate_, &in,
                                       codec_->sample_fmt, codec_->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  av_channel_layout_uninit(&out);
  if (made < 0 || swr_init(swr_) < 0) return WM_E_FAIL;
  return WM_OK;
}

int64_t CWmaDecoder::SourceBitrate() const {
  return format_ != nullptr && stream_ >= 0 ? format_->streams[stream_]->codecpar->bit_rate : 0;
}

bool CWmaDecoder::SeekTo(uint64_t frame) {
  // Backwards means decoding from the start again: the sample count then
  // stays exact, whatever the packets' time stamps say.
  if (frame < pcmFirst_ + readFrames_ && WmFailed(Open(path_))) return false;
  while (true) {
    if (readFrames_ < pcmFrames_ && pcmFirst_ + pcmFrames_ > frame) {
      if (frame > pcmFirst_ + readFrames_) readFrames_ = static_cast<size_t>(frame - pcmFirst_);
      return true;
    }
    readFrames_ = pcmFrames_;
    if (!Refill()) return true;  // past the end: the next Read gives 0
  }
}

size_t CWmaDecoder::Read(const int16_t** pcm, uint64_t* first) {
  if (readFrames_ >= pcmFrames_ && !Refill()) return 0;
  *pcm = pcm_.data() + readFrames_ * static_cast<size_t>(channels_);
  *first = pcmFirst_ + readFrames_;
  const size_t n = pcmFrames_ - readFrames_;
  readFrames_ = pcmFrames_;
  return n;
}

// Decodes until some PCM is there; false at the end.
bool CWmaDecoder::Refill() {
  pcmFirst_ = decodedFrames_;
  pcmFrames_ = readFrames_ = 0;
  while (pcmFrames_ == 0 && !ended_ && format_ != nullptr) {
    const int got = avcodec_receive_frame(codec_, frame_);
    if (got == 0) {
      Convert(frame_);
      av_frame_unref(frame_);
      continue;
    }
    if (got == AVERROR_EOF) {
      // What the resampler still holds.
      Convert(nullptr);
      ended_ = true;
      continue;
    }
    if (draining_) {
      ended_ = true;
      continue;
    }
    const int read = av_read_frame(format_, packet_);
    if (read < 0) {
      draining_ = true;
      avcodec_send_packet(codec_, nullptr);
      continue;
    }
    // A damaged packet is passed over, as ffmpeg itself does.
    if (packet_->stream_index == stream_) avcodec_send_packet(codec_, packet_);
    av_packet_unref(packet_);
  }
  return pcmFrames_ > 0;
}

void CWmaDecoder::Convert(const AVFrame* frame) {
  const int inFrames = frame != nullptr ? frame->nb_samples : 0;
  const int room = swr_get_out_samples(swr_, inFrames);
  if (room <= 0) return;
  const size_t have = pcmFrames_;
  pcm_.resize((have + static_cast<size_t>(room)) * static_cast<size_t>(channels_));
  uint8_t* out = reinterpret_cast<uint8_t*>(pcm_.data() + have * static_cast<size_t>(channels_));
  const int made = swr_convert(
      swr_, &out, room,
      frame != nullptr ? const_cast<const uint8_t**>(frame->extended_data) : nullptr, inFrames);
  if (made <= 0) return;
  pcmFrames_ += static_cast<size_t>(made);
  decodedFrames_ += static_cast<uint64_t>(made);
}

}  // namespace wmaglue
