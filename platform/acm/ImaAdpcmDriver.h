// IMA ADPCM in its WAV form (format tag 0x11, 4 bits per sample) to and from
// 16-bit PCM. A block starts with one 4-byte header per channel (first sample,
// step index, a reserved byte); then each channel in turn contributes 4 bytes
// holding 8 samples, low nibble first. The first sample is the header's.
#pragma once

#include "platform/acm/AcmDriver.h"

class CImaAdpcmDriver : public CAcmDriver {
 public:
  const char* ShortName() const override;
  const char* LongName() const override;
  int FormatTagCount() const override;
  void FormatTagDetails(int index, ACMFORMATTAGDETAILSA* details) const override;
  MMRESULT Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                   uint32_t flags) override;
  MMRESULT Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst, CAcmConversion** out) override;

  // Frames one block holds: the header's sample and 8 per 4 bytes of each channel.
  static uint32_t MaxSamplesPerBlock(uint32_t blockAlign, uint16_t channels);
  // The samples per block a format stores, 0 when it is not a usable IMA ADPCM format.
  static uint32_t SamplesPerBlock(const tWAVEFORMATEX* f);
};
