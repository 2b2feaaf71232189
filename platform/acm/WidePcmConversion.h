// One stream from a linear wave format (CSampleLayout) to 16-bit PCM of the
// same rate in one or two channels: wider samples are rounded to the nearest
// 16-bit value, floats beyond full scale saturate, and more than two channels
// are mixed down to stereo (CDownmixMatrix). Every frame converts alone, so
// the stream holds nothing between calls.
//
// For float sources the stream keeps the peak of its output before
// narrowing and takes a gain applied before it (ACMDM_STREAM_GET_PEAK,
// ACMDM_STREAM_SET_GAIN), so that a source louder than full scale can be
// brought down to it instead of being clipped.
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
  MMRESULT Message(uint32_t message, uintptr_t param1, uintptr_t param2) override;

 private:
  template <class Sample>
  void Decode(const uint8_t* in, uint8_t* out, uint32_t frames);
  // A value on the 16-bit scale through the gain to 16 bits; keeps the peak.
  int32_t Narrow(double v);

  const CSampleLayout layout_;
  const int dstChannels_;
  const uint32_t srcAlign_;
  const uint32_t dstAlign_;
  const CDownmixMatrix matrix_;
  double gain_ = 1;
  double peak_ = 0;  // on the 16-bit scale
};
