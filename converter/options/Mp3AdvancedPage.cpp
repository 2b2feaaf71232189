#include "converter/options/Mp3AdvancedPage.h"

#include "engine/codecs/settings/MP3AdvancedSettings.h"

CMp3AdvancedPage::CMp3AdvancedPage(const CConv2FileFormat& working, CConv2MP3* writer)
    : copy_(working), writer_(writer) {
  LoadStringsMP3Versions(&version, writer_);
  SetMP3VersionValue(&version, &copy_);
  LoadStringsMP3Modes(&mode, writer_);
  SetMP3ModeValue(&mode, &copy_, writer_);
  LoadStringsMP3Bitrates(&bitrate, &copy_);
  SetMP3BitrateValue(&bitrate, &copy_);
  LoadStringsMP3MinBitrates(&minBitrate, &copy_);
  SetMP3MinBitrateValue(&minBitrate, &copy_);
  LoadStringsMP3MaxBitrates(&maxBitrate, &copy_);
  SetMP3MaxBitrateValue(&maxBitrate, &copy_);
  InitMP3VBRQualitySlider(&quality, &copy_);
  SetMP3VBRQualityString(&qualityText, &copy_);
  InitMP3ABREdit(&average);
  SetMP3ABREditValue(&average, &copy_);
  variable.checked = copy_.enableVBR != 0;
  constant.checked = !variable.checked;
  averageRate.checked = copy_.enableABR != 0;
  vbrQuality.checked = !averageRate.checked;
  vbrHeader = copy_.writeVBRHeader != 0;
  checksum = copy_.crc != 0;
  ChoiceChanged();
}

void CMp3AdvancedPage::VersionChanged() {
  GetMP3VersionValue(&version, &bitrate, &minBitrate, &maxBitrate, &average, &copy_);
}
void CMp3AdvancedPage::ModeChanged() { GetMP3ModeValue(&mode, &copy_); }
void CMp3AdvancedPage::BitrateChanged() { GetMP3BitrateValue(&bitrate, &copy_); }
void CMp3AdvancedPage::MinChanged() {
  GetMP3MinBitrateValue(&minBitrate, &maxBitrate, &average, &copy_);
}
void CMp3AdvancedPage::MaxChanged() {
  GetMP3MaxBitrateValue(&maxBitrate, &minBitrate, &average, &copy_);
}
void CMp3AdvancedPage::QualityMoved() {
  GetMP3VBRQualityValue(&quality, &copy_);
  SetMP3VBRQualityString(&qualityText, &copy_);
}
void CMp3AdvancedPage::AverageEdited() { GetMP3ABREditValue(&average, &copy_); }

// Constant rate opens its bit rate; variable rate its limits and either the
// quality slider or the average rate.
void CMp3AdvancedPage::ChoiceChanged() {
  bool vbr = variable.checked;
  bitrate.enabled = !vbr;
  minBitrate.enabled = maxBitrate.enabled = vbrQuality.enabled = averageRate.enabled = vbr;
  quality.enabled = vbr && vbrQuality.checked;
  average.enabled = vbr && averageRate.checked;
}

const CConv2FileFormat& CMp3AdvancedPage::Result() {
  copy_.enableVBR = variable.checked ? 1 : 0;
  copy_.enableABR = variable.checked && averageRate.checked ? 1 : 0;
  copy_.writeVBRHeader = vbrHeader ? 1 : 0;
  copy_.crc = checksum ? 1 : 0;
  return copy_;
}
