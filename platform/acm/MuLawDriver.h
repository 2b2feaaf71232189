// G.711 mu-law (format tag 7) to and from 16-bit PCM.
#pragma once

#include "platform/acm/CompandingDriver.h"

class CMuLawDriver : public CCompandingDriver {
 public:
  CMuLawDriver();
  const char* ShortName() const override;
  const char* LongName() const override;

  // One sample each way: the decoded values span -32124 .. 32124.
  static int16_t Decode(uint8_t code);
  static uint8_t Encode(int16_t sample);
};
