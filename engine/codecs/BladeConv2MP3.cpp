#include "engine/codecs/BladeConv2MP3.h"

#include <algorithm>
#include <cstring>

#include "engine/codecs/BitrateLadders.h"
#include "engine/codecs/Conv2FileFormat.h"

CBladeConv2MP3::CBladeConv2MP3() {
  encoderType = MP3_ENCODER_BLADE;
  capabilities = kMPEG1 | kDualChannel;
}

uint32_t CBladeConv2MP3::MPEG1Rate(uint32_t rate) {
  return rate < 16000 ? rate * 4 : rate < 32000 ? rate * 2 : rate;
}

void CBladeConv2MP3::SetupConfig(CConv2FileFormat* format, const tWAVEFORMATEX*) {
  BE_CONFIG_BASIC c{};
  c.dwConfig = BE_CONFIG_MP3;
  c.dwSampleRate = format->nSamplesPerSec;
  c.byMode = static_cast<uint8_t>(format->mode);
  c.wBitrate = static_cast<uint16_t>(format->bitrate);
  c.bPrivate = format->privateBit;
  c.bCRC = format->crc;
  c.bCopyright = format->copyrightBit;
  c.bOriginal = format->originalBit;
  std::memcpy(config.data(), &c, sizeof c);
}

void CBladeConv2MP3::UpdateSettingsAfterEncoderChange(CConv2FileFormat* format) {
  if (!format) return;
  format->mpegVersion = 1;
  format->bitrate = static_cast<uint32_t>(FindMostNaturalMPEG1BitRate(format->bitrate));
  format->nSamplesPerSec = MPEG1Rate(format->nSamplesPerSec);
  CConv2MP3::UpdateSettingsAfterEncoderChange(format);
}

void CBladeConv2MP3::MakeMostNaturalFormatCallback(CConv2FileFormat* format,
                                                   const tWAVEFORMATEX* source,
                                                   ACMObject* decoder) {
  if (!format) return;
  CConv2MP3::MakeMostNaturalFormatCallback(format, source, decoder);
  const uint32_t rate = format->nSamplesPerSec;
  uint32_t fallback = rate >= 32000   ? (rate == 32000 ? 128 : 192)
                      : rate >= 16000 ? (rate == 16000 ? 64 : 96)
                                      : 32;
  if (format->nChannels == 1 && rate >= 16000) fallback /= 2;
  format->mpegVersion = 1;
  format->nSamplesPerSec = MPEG1Rate(rate);
  if (!RateOfVersion(format->nSamplesPerSec, 1)) format->nSamplesPerSec = DefaultRate(1);
  format->bitrate = format->bitrate
                        ? static_cast<uint32_t>(FindMostNaturalMPEG1BitRate(format->bitrate))
                        : static_cast<uint32_t>(FindMostNaturalMPEG1BitRate(fallback));
  format->enableVBR = format->enableABR = 0;
  format->CalcBlockAlignNAvgBytesPerSec();
}

void CBladeConv2MP3::UserMaximumsCallback(CConv2FileFormat* format, CConv2FileFormat* maximums) {
  if (!format || !maximums) return;
  CConv2MP3::UserMaximumsCallback(format, maximums);
  format->mpegVersion = 1;
  format->bitrate = static_cast<uint32_t>(
      FindMostNaturalMPEG1BitRate(std::min(format->bitrate, maximums->bitrate)));
  format->nSamplesPerSec = MPEG1Rate(format->nSamplesPerSec);
  format->CalcBlockAlignNAvgBytesPerSec();
}

bool CBladeConv2MP3::ValidateFormat(CConv2FileFormat* format) {
  if (!CConv2MP3::ValidateFormat(format)) return false;
  return FindMostNaturalMPEG1BitRate(format->bitrate) == format->bitrate;
}
