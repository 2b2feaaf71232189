// PCM to PCM: sample rate (linear interpolation), channels (1 to and from
// any count up to 8, or equal counts) and width (8 or 16 bits).
#pragma once

#include "platform/acm/AcmDriver.h"

class CPcmDriver : public CAcmDriver {
 public:
  const char* ShortName() const override;
  const char* LongName() const override;
  int FormatTagCount() const override;
  void FormatTagDetails(int index, ACMFORMATTAGDETAILSA* details) const override;
  MMRESULT Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                   uint32_t flags) override;
  MMRESULT Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst, CAcmConversion** out) override;
};
