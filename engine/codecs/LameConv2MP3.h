// The MP3 writer over "Lame_enc.so": the extended configuration, MPEG-1, 2
// and 2.5, variable and average bit rates and the VBR header written into
// the file after the flush.
#pragma once

#include "engine/codecs/Conv2MP3.h"

class CLameConv2MP3 : public CConv2MP3 {
 public:
  CLameConv2MP3();

  using CConv2MP3::Create;
  int Create(const char* path, CConv2FileFormat* format, const tWAVEFORMATEX* pcm) override;
  long FinalData(const char* targetPath, const char* softwareName, int* listWritten,
                 TMusicInfo* info) override;
  void MakeMostNaturalFormatCallback(CConv2FileFormat* format, const tWAVEFORMATEX* source,
                                     ACMObject* decoder) override;
  void UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat* maximums) override;
  bool ValidateFormat(CConv2FileFormat* format) override;
  void UpdateSettingsAfterEncoderChange(CConv2FileFormat* format) override;
  void SetupConfig(CConv2FileFormat* format, const tWAVEFORMATEX* pcm) override;

  // MPEG-2.5 frames carry at most this bit rate (kbit/s).
  static constexpr uint32_t kMaxMPEG2_5Bitrate = 64;

 private:
  // Bit rates snapped to the version's ladder, MPEG-2.5 ones capped, and the
  // ABR bit rate moved strictly inside minimum and maximum.
  static void SnapBitrates(CConv2FileFormat* format);

  BEWRITEVBRHEADER writeVBRHeader = nullptr;
  bool vbrHeaderWanted = false;
};
