// Layer III audio data of one frame: side information, bit reservoir, scale
// factors, Huffman decoding, requantisation, stereo processing, reordering,
// alias reduction, IMDCT with overlap-add and frequency inversion, giving the
// subband samples that the synthesis filter bank turns into PCM.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/codecs/mpeg/MpegHeader.h"

namespace mpegaudio {

class CLayer3 {
 public:
  CLayer3();
  ~CLayer3();
  // Forgets the reservoir and the IMDCT overlap.
  void Reset();
  // Forgets the IMDCT overlap only, keeping the reservoir: after a frame that
  // gave no output the next one does not continue the last one played.
  void ResetOverlap();
  // data points just past the header and CRC; len is the rest of the frame.
  // Fills out[ch][slot][subband] for h.channels channels and 18 slots per
  // granule (36 for MPEG-1, 18 for the lower rates); returns the number of
  // slots written, or a negative kFrame... code (out then holds silence for
  // the same number of slots, returned through *slots).
  int Decode(const FrameHeader& h, const uint8_t* data, size_t len, float (*out)[36][32],
             int* slots);

 private:
  void JointStereo(const FrameHeader& h, int gr, bool msStereo, bool intensity);
  void Hybrid(const FrameHeader& h, int gr, int ch, float (*out)[32]);

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace mpegaudio
