// The MPEG audio codec module: reads the stream through the decoder
// instance's input, skips a leading ID3v2 tag and a Xing/Info/VBRI header
// frame, decodes one frame per call and publishes the stream's level, layer
// and mode as properties.
#pragma once

#include <cstdint>

#include "engine/codecs/mpeg/FrameDecoder.h"
#include "engine/codecs/mpeg/MpegModule.h"
#include "engine/codecs/mpeg/MpegStream.h"

namespace mpegaudio {

const MpegCodecModule* MpegCodecModuleDescriptor();

constexpr int kMpegCodecMaxOutputBytes = kMaxFrameSamples * 2;  // 4608
// Samples of delay the layer III synthesis puts before the encoder's delay.
constexpr int kMpegDecoderDelay = 529;

class CMpegCodec {
 public:
  explicit CMpegCodec(MpegDecoder* host);

  int Open();
  int Decode(MpegOutputBlock* output, MpegStatusBlock* status);

  // What a Xing, Info or VBRI header frame (which carries no audio) says.
  struct VbrHeader {
    bool present = false;
    int64_t frames = -1;  // audio frames in the stream, -1 when not given
    int delay = -1;       // encoder delay and padding in samples from a LAME tag, -1 when absent
    int padding = -1;
  };
  static VbrHeader ReadVbrHeader(const FrameHeader& h, const uint8_t* frame);
  static bool IsVbrHeaderFrame(const FrameHeader& h, const uint8_t* frame) {
    return ReadVbrHeader(h, frame).present;
  }
  // Next smoothed bit rate in kbit/s with 10 fraction bits.
  static int64_t SmoothBitrate(int64_t average, int kbps) {
    return (int64_t(kbps) * 1024 + average * 31 + 16) / 32;
  }

 private:
  static int64_t ReadInput(void* context, uint8_t* buffer, int64_t size);
  void PublishFormat(const FrameHeader& h);

  MpegDecoder* host_;
  CMpegStream stream_;
  CFrameDecoder frameDecoder_;
  int16_t pcm_[kMaxFrameSamples];
  bool empty_ = false;       // an ID3v2 tag claims more than the whole input
  int64_t startOffset_ = 0;  // input bytes before the stream (the ID3v2 tag)
  int64_t framesSeen_ = 0;   // frames found, also skipped ones
  bool haveFormat_ = false;
  FrameHeader format_;
  int64_t averageBitrate_ = 0;  // kbit/s << 10
  int reportedBitrate_ = 0;
  // Gapless decoding (property "mpeg/gapless" nonzero when the input opens)
  // drops the encoder delay and padding that a LAME tag announces.
  bool gapless_ = false;
  int64_t produced_ = 0;   // samples per channel decoded so far, before trimming
  int64_t trimStart_ = 0;  // samples per channel to drop at the start
  int64_t keep_ = -1;      // samples per channel to keep after those, -1 for all
};

}  // namespace mpegaudio
