// Decodes one complete MPEG audio frame of any layer into 16-bit PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/codecs/mpeg/MpegHeader.h"

namespace mpegaudio {

class CLayer12;
class CLayer3;
class CSynthesis;

enum : int {
  kFrameOk = 0,
  kFrameBadData = -1,  // the frame's contents are inconsistent; it was skipped (output is silence)
  kFrameNeedReservoir = -2  // layer III: main data reaches back into bytes not yet seen or of a
                            // refused frame; output is silence
};

// Largest output of one frame: 1152 samples per channel, two channels.
constexpr int kMaxFrameSamples = 1152 * 2;

class CFrameDecoder {
 public:
  CFrameDecoder();
  ~CFrameDecoder();
  CFrameDecoder(const CFrameDecoder&) = delete;
  CFrameDecoder& operator=(const CFrameDecoder&) = delete;

  // Forgets the bit reservoir, the IMDCT overlap and the synthesis history
  // (after a seek or a change of stream). A change of sample rate does the
  // same by itself.
  void Reset();

  // frame holds the whole frame from its header on, len >= h.frameBytes.
  // Writes h.samplesPerFrame samples per channel, interleaved when stereo,
  // into pcm (room for kMaxFrameSamples) and returns kFrameOk, or a negative
  // kFrame... code; on a negative code pcm still holds a frame of silence so
  // that timing is kept.
  int DecodeFrame(const FrameHeader& h, const uint8_t* frame, size_t len, int16_t* pcm);

  // Frames since the last Reset whose CRC did not match; they were decoded anyway.
  int CrcErrors() const { return crcErrors_; }

 private:
  std::unique_ptr<CLayer12> layer12_;
  std::unique_ptr<CLayer3> layer3_;
  std::unique_ptr<CSynthesis> synthesis_[2];
  alignas(64) float subbands_[2][36][32];
  int crcErrors_ = 0;
  int sampleRate_ = 0;  // of the last frame decoded, 0 after Reset
};

}  // namespace mpegaudio
