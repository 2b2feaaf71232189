// Microsoft ADPCM (format tag 2, 4 bits per sample) to and from 16-bit PCM.
// The format's extra bytes hold the samples per block, the count of predictor
// coefficient pairs and the pairs (the usual seven). A block starts with each
// channel's predictor number, then its initial step (delta), its second and
// its first sample (in that order per field, channel by channel); the two
// samples are the block's first two frames, the older first. Then each byte
// holds two codes, high nibble first, channels alternating.
#pragma once

#include <vector>

#include "platform/acm/AcmDriver.h"

class CMsAdpcmDriver : public CAcmDriver {
 public:
  struct Coefficients {
    int16_t first;   // weight of the newer sample, in 1/256
    int16_t second;  // weight of the older sample
  };

  const char* ShortName() const override;
  const char* LongName() const override;
  int FormatTagCount() const override;
  void FormatTagDetails(int index, ACMFORMATTAGDETAILSA* details) const override;
  MMRESULT Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                   uint32_t flags) override;
  MMRESULT Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst, CAcmConversion** out) override;

  static uint32_t MaxSamplesPerBlock(uint32_t blockAlign, uint16_t channels);
  // The samples per block and the coefficient pairs of a usable format;
  // 0 when the format is damaged or not Microsoft ADPCM.
  static uint32_t ReadFormat(const tWAVEFORMATEX* f, std::vector<Coefficients>* coefficients);
};
