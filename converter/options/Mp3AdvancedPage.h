// The advanced MP3 settings as plain state, over its own copy of the MP3
// page's working format: version, mode, constant or variable bit rate with
// its limits, VBR quality or average bit rate, the VBR header and the checksum.
#pragma once

#include "engine/codecs/Conv2FileFormat.h"
#include "engine/codecs/settings/SettingsModels.h"

class CConv2MP3;

class CMp3AdvancedPage {
 public:
  CMp3AdvancedPage(const CConv2FileFormat& working, CConv2MP3* writer);

  CComboModel version, mode, bitrate, minBitrate, maxBitrate;
  CRadioModel constant, variable, vbrQuality, averageRate;
  CSliderModel quality;
  CTextModel qualityText;
  CEditModel average;
  bool vbrHeader = false, checksum = false;

  void VersionChanged();
  void ModeChanged();
  void BitrateChanged();
  void MinChanged();
  void MaxChanged();
  void QualityMoved();
  void AverageEdited();
  void ChoiceChanged();
  // OK: the edited copy, for the MP3 page.
  const CConv2FileFormat& Result();

 private:
  CConv2FileFormat copy_;
  CConv2MP3* writer_;
};
