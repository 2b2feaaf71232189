// Base of the drivers for companded formats that store one byte per sample
// (mu-law, A-law): conversion to and from 16-bit PCM of the same rate and
// channels, sample by sample. A subclass names its tag and gives the two
// per-sample mappings.
#pragma once

#include "platform/acm/AcmDriver.h"

class CCompandingDriver : public CAcmDriver {
 public:
  using DecodeFn = int16_t (*)(uint8_t);
  using EncodeFn = uint8_t (*)(int16_t);

  CCompandingDriver(uint16_t tag, const char* tagName, DecodeFn decode, EncodeFn encode);

  int FormatTagCount() const override;
  void FormatTagDetails(int index, ACMFORMATTAGDETAILSA* details) const override;
  MMRESULT Suggest(const tWAVEFORMATEX* src, tWAVEFORMATEX* dst, uint32_t dstSize,
                   uint32_t flags) override;
  MMRESULT Open(const tWAVEFORMATEX* src, const tWAVEFORMATEX* dst, CAcmConversion** out) override;

 private:
  bool IsOwnFormat(const tWAVEFORMATEX* f) const;

  uint16_t tag_;
  const char* tagName_;
  DecodeFn decode_;
  EncodeFn encode_;
};
