// The audio of a Windows Media file decoded with FFmpeg into 16-bit
// interleaved PCM of at most two channels and 48 kHz, counted in sample
// frames from the first one the decoder gives, as `ffmpeg -i` does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/outside/WindowsMedia.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace wmaglue {

class CWmaDecoder {
 public:
  CWmaDecoder();
  ~CWmaDecoder();
  CWmaDecoder(const CWmaDecoder&) = delete;
  CWmaDecoder& operator=(const CWmaDecoder&) = delete;

  // WM_OK, or a failure when the file does not open or holds no Windows
  // Media audio that FFmpeg decodes.
  WmaResult Open(const std::string& path);
  void Close();

  int Channels() const { return channels_; }
  int Rate() const { return rate_; }
  // Average bytes per second of the compressed stream, as the container says.
  int64_t SourceBitrate() const;

  // Makes the next Read begin at sample frame `frame`; false when decoding
  // could not be started again.
  bool SeekTo(uint64_t frame);
  // The next block of decoded PCM: its frame count, 0 at the end. *pcm and
  // *first (the index of its first frame) stay valid until the next call.
  size_t Read(const int16_t** pcm, uint64_t* first);

 private:
  WmaResult OpenDecoder();
  bool Refill();
  void Convert(const AVFrame* frame);

  std::string path_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  int stream_ = -1;
  int channels_ = 0;
  int rate_ = 0;
  bool draining_ = false;  // the demuxer has ended; the decoder and resampler give what they hold
  bool ended_ = false;
  std::vector<int16_t> pcm_;  // decoded, not yet read
  size_t pcmFrames_ = 0;
  size_t readFrames_ = 0;       // of pcm_, already read or skipped
  uint64_t pcmFirst_ = 0;       // frame index of pcm_[0]
  uint64_t decodedFrames_ = 0;  // frames converted since the start
  int64_t deadline_ = 0;        // av_gettime_relative() after which opening gives up
  friend int DecoderInterrupt(void* opaque);
};

}  // namespace wmaglue
