#include "platform/outside/wmaglue/WmaEncoder.h"

#include <algorithm>
#include <cstdio>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "platform/outside/wmaglue/AsfHeader.h"

namespace wmaglue {

namespace {

// Larger Header Objects are not rewritten after writing.
constexpr uint64_t kMaxHeaderBytes = 1u << 20;

// Sets the play duration of the finished file to the input's length: the
// muxer counts whole coded frames, padding included.
bool SetPlayDuration(const std::string& path, uint64_t duration) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "r+b"), std::fclose);
  if (!file) return false;
  uint8_t prefix[CAsfHeader::kPrefixSize];
  if (std::fread(prefix, 1, sizeof prefix, file.get()) != sizeof prefix) return false;
  const uint64_t size = CAsfHeader::ObjectSize(prefix, sizeof prefix);
  if (size == 0 || size > kMaxHeaderBytes) return false;
  std::vector<uint8_t> header(static_cast<size_t>(size));
  std::rewind(file.get());
  if (std::fread(header.data(), 1, header.size(), file.get()) != header.size()) return false;
  if (!CAsfHeader::SetDuration(header.data(), header.size(), duration)) return false;
  std::rewind(file.get());
  return std::fwrite(header.data(), 1, header.size(), file.get()) == header.size();
}

}  // namespace

CWmaEncoder::CWmaEncoder() = default;

CWmaEncoder::~CWmaEncoder() { Free(); }

void CWmaEncoder::Free() {
  if (format_ != nullptr) {
    if (format_->pb != nullptr) avio_closep(&format_->pb);
    avformat_free_context(format_);
    format_ = nullptr;
  }
  avcodec_free_context(&codec_);
  swr_free(&swr_);
  if (fifo_ != nullptr) av_audio_fifo_free(fifo_);
  fifo_ = nullptr;
  av_frame_free(&frame_);
  av_packet_free(&packet_);
}

WmaResult CWmaEncoder::Begin(const std::string& path, const TEncoderSettings& settings) {
  Free();
  settings_ = settings;
  path_ = path;
  packets_ = 0;
  inputFrames_ = 0;
  const WmaResult r = OpenCodec(path);
  if (WmFailed(r)) Free();
  return r;
}

WmaResult CWmaEncoder::OpenCodec(const std::string& path) {
  const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  if (encoder == nullptr) return WM_E_FAIL;
  if (avformat_alloc_output_context2(&format_, nullptr, "asf", path.c_str()) < 0) return WM_E_FAIL;
  codec_ = avcodec_alloc_context3(encoder);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (codec_ == nullptr || frame_ == nullptr || packet_ == nullptr) return WM_E_OUTOFMEMORY;
  codec_->sample_rate = static_cast<int>(settings_.rate);
  av_channel_layout_default(&codec_->ch_layout, static_cast<int>(settings_.channels));
  codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
  codec_->bit_rate = settings_.bitrate;
  codec_->time_base = AVRational{1, codec_->sample_rate};
  if (format_->oformat->flags & AVFMT_GLOBALHEADER) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(codec_, encoder, nullptr) < 0 || codec_->frame_size <= 0) return WM_E_FAIL;
  frameSize_ = codec_->frame_size;

  AVStream* stream = avformat_new_stream(format_, nullptr);
  if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec_) < 0)
    return WM_E_FAIL;
  stream->time_base = codec_->time_base;

  AVChannelLayout in{};
  av_channel_layout_default(&in, static_cast<int>(settings_.inputChannels));
  const int made =
      swr_alloc_set_opts2(&swr_, &codec_->ch_layout, AV_SAMPLE_FMT_FLTP, codec_->sample_rate, &in,
                          AV_SAMPLE_FMT_S16, static_cast<int>(settings_.inputRate), 0, nullptr);
  av_channel_layout_uninit(&in);
  if (made < 0 || swr_init(swr_) < 0) return WM_E_FAIL;
  fifo_ = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, codec_->ch_layout.nb_channels, 4 * frameSize_);
  if (fifo_ == nullptr) return WM_E_OUTOFMEMORY;

  frame_->nb_samples = frameSize_;
  frame_->format = AV_SAMPLE_FMT_FLTP;
  frame_->sample_rate = codec_->sample_rate;
  if (av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout) < 0 ||
      av_frame_get_buffer(frame_, 0) < 0)
    return WM_E_OUTOFMEMORY;

  if (avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return WM_E_FAIL;
  if (avformat_write_header(format_, nullptr) < 0) return WM_E_FAIL;

  // ffmpeg's decoding of a WMA stream starts one frame into what was coded:
  // a frame of silence in front keeps the input's first sample first.
  av_samples_set_silence(frame_->data, 0, frameSize_, codec_->ch_layout.nb_channels,
                         AV_SAMPLE_FMT_FLTP);
  if (av_audio_fifo_write(fifo_, reinterpret_cast<void**>(frame_->data), frameSize_) < frameSize_)
    return WM_E_OUTOFMEMORY;
  return WM_OK;
}

WmaResult CWmaEncoder::Write(const int16_t* pcm, size_t frames) {
  if (format_ == nullptr) return WM_E_UNEXPECTED;
  const int channels = codec_->ch_layout.nb_channels;
  size_t done = 0;
  while (done < frames || pcm == nullptr) {
    // In pieces, so that one conversion's output stays small.
    const int n = pcm == nullptr ? 0 : static_cast<int>(std::min<size_t>(frames - done, 65536));
    const int room = swr_get_out_samples(swr_, n);
    if (room < 0) return WM_E_FAIL;
    converted_.resize(static_cast<size_t>(room) * static_cast<size_t>(channels) + 1);
    uint8_t* planes[2] = {reinterpret_cast<uint8_t*>(converted_.data()),
                          reinterpret_cast<uint8_t*>(converted_.data() + room)};
    const uint8_t* input = reinterpret_cast<const uint8_t*>(
        pcm == nullptr ? nullptr : pcm + done * settings_.inputChannels);
    const int made = swr_convert(swr_, planes, room, pcm == nullptr ? nullptr : &input, n);
    if (made < 0) return WM_E_FAIL;
    if (made > 0) {
      if (av_audio_fifo_write(fifo_, reinterpret_cast<void**>(planes), made) < made)
        return WM_E_OUTOFMEMORY;
      inputFrames_ += static_cast<uint64_t>(made);
    }
    if (pcm == nullptr) break;
    done += static_cast<size_t>(n);
    const WmaResult r = EncodeFrames(false);
    if (WmFailed(r)) return r;
  }
  return WM_OK;
}

// Encodes the whole frames waiting; with `all` also the rest, padded with silence.
WmaResult CWmaEncoder::EncodeFrames(bool all) {
  while (av_audio_fifo_size(fifo_) >= frameSize_ || (all && av_audio_fifo_size(fifo_) > 0)) {
    if (av_frame_make_writable(frame_) < 0) return WM_E_OUTOFMEMORY;
    const int got = av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->data), frameSize_);
    if (got < 0) return WM_E_FAIL;
    if (got < frameSize_)
      av_samples_set_silence(frame_->data, got, frameSize_ - got, codec_->ch_layout.nb_channels,
                             AV_SAMPLE_FMT_FLTP);
    frame_->pts = packets_ * frameSize_;
    if (avcodec_send_frame(codec_, frame_) < 0) return WM_E_FAIL;
    const WmaResult r = Drain();
    if (WmFailed(r)) return r;
  }
  return WM_OK;
}

// Writes the packets the encoder has ready, each stamped from the frame count.
WmaResult CWmaEncoder::Drain() {
  while (true) {
    const int got = avcodec_receive_packet(codec_, packet_);
    if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return WM_OK;
    if (got < 0) return WM_E_FAIL;
    packet_->pts = packet_->dts = packets_ * frameSize_;
    packet_->duration = frameSize_;
    packet_->stream_index = 0;
    ++packets_;
    av_packet_rescale_ts(packet_, codec_->time_base, format_->streams[0]->time_base);
    if (av_write_frame(format_, packet_) < 0) {
      av_packet_unref(packet_);
      return WM_E_FAIL;
    }
    av_packet_unref(packet_);
  }
}

WmaResult CWmaEncoder::End() {
  if (format_ == nullptr) return WM_E_UNEXPECTED;
  // What the resampler holds, then the last frame padded, then the encoder's rest.
  WmaResult r = Write(nullptr, 0);
  if (!WmFailed(r)) r = EncodeFrames(true);
  if (!WmFailed(r) && avcodec_send_frame(codec_, nullptr) < 0) r = WM_E_FAIL;
  if (!WmFailed(r)) r = Drain();
  if (!WmFailed(r) && av_write_trailer(format_) < 0) r = WM_E_FAIL;
  const uint64_t frames = inputFrames_;
  const uint64_t rate = settings_.rate;
  Free();
  if (!WmFailed(r) &&
      !SetPlayDuration(path_, frames / rate * 10000000 + frames % rate * 10000000 / rate))
    r = WM_E_FAIL;
  return r;
}

}  // namespace wmaglue
