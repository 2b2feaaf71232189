// Decoder of the linear wave formats that the engine does not take as they
// are: integer PCM of 24 or 32 bits, IEEE float of 32 or 64 bits (tag 3),
// WAVE_FORMAT_EXTENSIBLE records with the PCM or float sub-format (any of the
// widths, 8 and 16 bits too), and PCM of more than two channels. Each becomes
// 16-bit PCM of the same rate, in the source's channels when it has one or
// two, else in stereo. Plain 8- and 16-bit PCM of one or two channels is the
// PCM driver's (PcmDriver.h).
#pragma once

#include "platform/acm/AcmDriver.h"

class CWidePcmDriver : public CAcmDriver {
 public:
  const char* ShortName() const override;
  const char* LongName() const override;
  int FormatTagCount() const override;
  void FormatTagDetails(int index, ACMFORMATTAGDETAILSA* details) const override;
  MMRESULT Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                   uint32_t flags) override;
  MMRESULT Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst, CAcmConversion** out) override;
};
