// One stream from a linear wave format (CSampleLayout) to 16-bit PCM of the
// same rate in one or two channels: wider samples are rounded to the nearest
// 16-bit value, floats beyond full scale saturate, and more than two channels
// are mixed down to stereo (CDownmixMatrix). Every frame converts alone, so
// the stream holds nothing between calls.
#pragma once

#include "platform/acm/AcmDriver.h"
#include "platform/acm/DownmixMatrix.h"
#include "platform/acm/SampleLayout.h"

class CWidePcmConversion : public CAcmConversion {
 public:
  // dstChannels: the source's own count for one or two, else 2.
  CWidePcmConversion(const CSampleLayout& layout, int dstChannels);

  MMRESULT Convert(ACMSTREAMHEADER* header, uint32_t flags) override;
  MMRESULT Size(uint32_t input, uint32_t* output, uint32_t flags) override;
  void Reset() override;

 private:
  template <class Sample>
  void Decode(const uint8_t* in, uint8_t* out, uint32_t frames);

  const CSampleLayout layout_;
  const int dstChannels_;
  const uint32_t srcAlign_;
  const uint32_t dstAlign_;
  const CDownmixMatrix matrix_;
};
