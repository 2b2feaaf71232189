// The MP3 writer over "BladeEnc.so": the basic configuration, MPEG-1 at a
// constant bit rate in stereo, dual-channel or mono.
#pragma once

#include "engine/codecs/Conv2MP3.h"

class CBladeConv2MP3 : public CConv2MP3 {
 public:
  CBladeConv2MP3();

  void MakeMostNaturalFormatCallback(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                                     ACMObject* decoder) override;
  void UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat* maximums) override;
  bool ValidateFormat(CConv2FileFormat* format) override;
  void UpdateSettingsAfterEncoderChange(CConv2FileFormat* format) override;
  void SetupConfig(CConv2FileFormat* format, const tWAVEFORMATEX* pcm) override;

  // An MPEG-1 rate for any rate: below 16000 Hz four times, below 32000 twice.
  static uint32_t MPEG1Rate(uint32_t rate);
};
