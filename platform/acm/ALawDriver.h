// G.711 A-law (format tag 6) to and from 16-bit PCM.
#pragma once

#include "platform/acm/CompandingDriver.h"

class CALawDriver : public CCompandingDriver {
 public:
  CALawDriver();
  const char* ShortName() const override;
  const char* LongName() const override;

  // One sample each way: the decoded values span -32256 .. 32256.
  static int16_t Decode(uint8_t code);
  static uint8_t Encode(int16_t sample);
};
