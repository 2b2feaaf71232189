// A conversion stream between 16-bit PCM and a block codec (IMA ADPCM,
// Microsoft ADPCM): each block of blockAlign bytes holds samplesPerBlock
// frames. The codec supplies the two block transforms; this class does the
// stream's bookkeeping: whole blocks, the source's last partial block, the
// frames an encoder holds until a block is full, and the size estimates.
#pragma once

#include <vector>

#include "platform/acm/AcmDriver.h"

class CBlockConversion : public CAcmConversion {
 public:
  // encoding: PCM in, blocks out; otherwise blocks in, PCM out.
  CBlockConversion(bool encoding, uint16_t channels, uint32_t blockAlign, uint32_t samplesPerBlock);

  MMRESULT Convert(ACMSTREAMHEADER* header, uint32_t flags) override;
  MMRESULT Size(uint32_t input, uint32_t* output, uint32_t flags) override;
  void Reset() override;

 protected:
  // Decodes a block of len bytes (len < blockAlign for the source's last,
  // partial block) into interleaved frames; returns the frames decoded, at
  // most samplesPerBlock.
  virtual uint32_t DecodeBlock(const uint8_t* block, uint32_t len, int16_t* frames) = 0;
  // Encodes samplesPerBlock interleaved frames into one block of blockAlign bytes.
  virtual void EncodeBlock(const int16_t* frames, uint8_t* block) = 0;
  // Drops running encoder state (START).
  virtual void ResetCodec() {}

  const uint16_t channels_;
  const uint32_t blockAlign_;
  const uint32_t samplesPerBlock_;

 private:
  MMRESULT Decode(ACMSTREAMHEADER* h, uint32_t flags);
  MMRESULT Encode(ACMSTREAMHEADER* h, uint32_t flags);

  const bool encoding_;
  std::vector<int16_t> frames_;  // one block of frames: decoded, or held for encoding
  uint32_t held_ = 0;            // frames held for the next encoded block
};
