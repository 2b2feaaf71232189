// The codec-layer driver for MPEG audio inside RIFF WAVE: format tag 0x0055
// (MPEG layer III) and 0x0050 (MPEG layers I and II) to 16-bit PCM of the
// same rate and channels, decoded by the engine's own MPEG decoder. With it
// such data also decodes through the ordinary ACMObject path.
#pragma once

#include <cstdint>

#include "platform/acm/AcmDriver.h"

class CMpegAcmDriver : public CAcmDriver {
 public:
  const char* ShortName() const override;
  const char* LongName() const override;
  int FormatTagCount() const override;
  void FormatTagDetails(int index, ACMFORMATTAGDETAILSA* details) const override;
  MMRESULT Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                   uint32_t flags) override;
  MMRESULT Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst, CAcmConversion** out) override;

  // 1 when the record is an MPEG wave format this driver decodes.
  static int IsMpegFormat(const tWAVEFORMATEX* f);
};

// Adds the driver to the codec layer once per process; 1 when it is there.
int RegisterMpegAcmDriver();
