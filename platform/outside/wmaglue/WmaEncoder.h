// PCM encoded into WMA version 2 in an ASF file with FFmpeg. Input of any
// rate and channel count is converted to the target's first. The coded
// frames are stamped from the sample count, and the encoder's delay is
// made up for so that ffmpeg's decoding of the file lines up with the input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/outside/WindowsMedia.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct AVAudioFifo;
struct SwrContext;

namespace wmaglue {

struct TEncoderSettings {
  uint32_t rate = 0;  // of the file
  uint32_t channels = 0;
  uint32_t bitrate = 0;  // bit/s
  uint32_t inputRate = 0;
  uint32_t inputChannels = 0;
};

class CWmaEncoder {
 public:
  CWmaEncoder();
  ~CWmaEncoder();
  CWmaEncoder(const CWmaEncoder&) = delete;
  CWmaEncoder& operator=(const CWmaEncoder&) = delete;

  WmaResult Begin(const std::string& path, const TEncoderSettings& settings);
  // Interleaved 16-bit input frames.
  WmaResult Write(const int16_t* pcm, size_t frames);
  // Pads the last frame with silence, drains the encoder and finishes the file.
  WmaResult End();
  bool Writing() const { return format_ != nullptr; }

 private:
  WmaResult OpenCodec(const std::string& path);
  WmaResult EncodeFrames(bool all);
  WmaResult Drain();
  void Free();

  TEncoderSettings settings_;
  std::string path_;
  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  std::vector<float> converted_;  // one conversion's output, planar
  int frameSize_ = 0;
  int64_t packets_ = 0;
  uint64_t inputFrames_ = 0;  // at the file's rate
};

}  // namespace wmaglue
