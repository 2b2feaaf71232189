#include "engine/codecs/Conv2FileFormat.h"

#include <algorithm>
#include <cstring>

#include "engine/base/SampleBuffer.h"
#include "engine/codecs/ACMObject.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/DecoderFacts.h"
#include "engine/media/MusicInfo.h"

CConv2FileFormat::CConv2FileFormat() : CConv2FileFormat(kFormatTagPcm) {}

CConv2FileFormat::CConv2FileFormat(unsigned short tag) {
  std::memset(static_cast<void*>(this), 0, sizeof *this);
  CDQualitySettings(tag);
}

void CConv2FileFormat::CDQualitySettings(unsigned short tag) {
  SetFormatTag(tag);
  nChannels = 2;
  nSamplesPerSec = 44100;
  wBitsPerSample = 16;
  cbSize = kSettingsBytes;
  usePreset = 1;
  bitrate = 192;
  tagType = TAG_ID3_V2;
  privateBit = copyrightBit = originalBit = 0;
  mpegVersion = 1;
  mode = 0;
  minBitrate = 128;
  maxBitrate = 320;
  psyModel = 0;
  crc = 0;
  enableVBR = 0;
  writeVBRHeader = 1;
  resampleRate = 0;
  emphasis = 0;
  vbrQuality = 2;
  enableABR = 0;
  abrBitrate = 192;
  noReservoir = 0;
  CalcBlockAlignNAvgBytesPerSec();
  const TConversionTypeRow* row = ConversionTypeRow(conversionType);
  preset = row ? row->defaultPreset : 0;
  soundQuality = row ? row->defaultQuality : SOUND_QUALITY_CD;
}

void CConv2FileFormat::CalcBlockAlignNAvgBytesPerSec() {
  nBlockAlign = static_cast<uint16_t>(wBitsPerSample * nChannels / 8);
  nAvgBytesPerSec = nSamplesPerSec * nBlockAlign;
}

void CConv2FileFormat::SetFormatTag(unsigned short tag) {
  wFormatTag = tag;
  conversionType = GetFileConversionTypeFromFormatTag(tag);
}

void CConv2FileFormat::SetSoundQuality(_tSoundQualityTypedef quality) {
  soundQuality = quality;
  ValidateSoundQuality();
}

bool CConv2FileFormat::ValidateSoundQuality() {
  const TConversionTypeRow* row = ConversionTypeRow(conversionType);
  if (!row || soundQuality < 0 || soundQuality > SOUND_QUALITY_USER_MAXIMUMS) return true;
  _tSoundQualityTypedef requested = soundQuality;
  soundQuality = row->qualityMap[requested];
  if (soundQuality != requested && requested == SOUND_QUALITY_CD) preset = row->defaultPreset;
  return true;
}

bool CConv2FileFormat::Validate() {
  bool ok = ValidateFormat(this, wFormatTag) != 0;
  cbSize = kSettingsBytes;
  return ok;
}

bool CConv2FileFormat::ValidateEx(CConv2FileObj* writer) {
  bool ok = writer ? writer->ValidateFormat(this) : Validate();
  cbSize = kSettingsBytes;
  return ok;
}

bool CConv2FileFormat::Copy(const CConv2FileFormat* from, CConv2FileObj* writer,
                            unsigned short tag) {
  if (from && from != this) *this = *from;
  if (tag) SetFormatTag(tag);
  return ValidateEx(writer);
}

bool CConv2FileFormat::SetFromWaveFormatEx(const tWAVEFORMATEX* wfx, CConv2FileObj* writer,
                                           unsigned short tag) {
  SetFromWaveFormatEx_C2FFUseOnly(wfx, tag);
  usePreset = 0;
  CConv2FileObj* made = GetConvFObj(writer);
  if (made) made->MakeMostNaturalFormatCallback(this, wfx, nullptr);
  bool ok = ValidateEx(made);
  GetRidOfConvFObj(made, writer);
  return ok;
}

bool CConv2FileFormat::SetFromWaveFormatEx_C2FFUseOnly(const tWAVEFORMATEX* wfx,
                                                       unsigned short tag) {
  if (wfx) {
    std::memcpy(static_cast<void*>(this), wfx, 16);
    cbSize = wfx->cbSize;
  }
  if (tag) SetFormatTag(tag);
  return Validate();
}

void CConv2FileFormat::MakeIntoWaveFormatEx(tWAVEFORMATEX* out) const {
  if (!out) return;
  const CConv2FileFormat* from = this;
  CConv2FileFormat temp(wFormatTag);
  if (usePreset && soundQuality == SOUND_QUALITY_PRESET) {
    CConv2FileObj* writer = GetConvFObj(nullptr);
    if (writer) {
      writer->GetFormatFromPreset(&temp, preset, static_cast<_tTagTypedef>(tagType), soundQuality);
      from = &temp;
    }
    GetRidOfConvFObj(writer, nullptr);
  }
  std::memcpy(out, static_cast<const void*>(from), 16);
  out->cbSize = from->cbSize;
  ValidateFormat(out, wFormatTag);
}

CConv2FileObj* CConv2FileFormat::GetConvFObj(CConv2FileObj* writer) const {
  if (writer) return writer;
  return NewCConv2FileObj(GetFileConversionTypeFromFormatTag(wFormatTag), -1);
}

void CConv2FileFormat::GetRidOfConvFObj(CConv2FileObj* made, CConv2FileObj* given) {
  if (made && made != given) {
    CRefObj* obj = made;
    DeleteRefObject(&obj);
  }
}

void CConv2FileFormat::SmartCopy(unsigned short tag, const CConv2FileFormat* user,
                                 const tWAVEFORMATEX* source, CConv2FileObj* writer,
                                 const TMusicInfo* info, ACMObject* decoder) {
  if (!user) return;
  CConv2FileObj* w = GetConvFObj(writer);
  usePreset = user->usePreset;
  if (user->soundQuality == SOUND_QUALITY_PRESET) {
    if (usePreset && w) {
      CConv2FileFormat temp(tag);
      w->GetFormatFromPreset(&temp, user->preset, static_cast<_tTagTypedef>(user->tagType),
                             user->soundQuality);
      Copy(&temp, w, tag);
    } else {
      Copy(user, w, tag);
    }
  } else {
    SetFormatTag(tag);
    if (user->soundQuality == SOUND_QUALITY_CD) {
      if (w) w->GetFormatFromPreset(this, -1, TAG_ID3_V2, SOUND_QUALITY_CD);
      tagType = user->tagType;
    } else {
      CConv2FileFormat settings = *user;
      if (usePreset && w)
        w->GetFormatFromPreset(&settings, user->preset, static_cast<_tTagTypedef>(user->tagType),
                               user->soundQuality);
      preset = settings.preset;
      SetSoundQuality(settings.soundQuality);
      SetFromWaveFormatEx_C2FFUseOnly(source, tag);
      // A source the codec layer decodes (ADPCM of 4 bits, mu-law of 8, 24-bit
      // or float samples, more than two channels) is written in the shape of
      // its decoded PCM: 16 bits, at most two channels.
      const tWAVEFORMATEX* decoded = decoder && decoder->IsACM() ? decoder->DestFormat() : nullptr;
      if (decoded &&
          (decoded->nChannels != nChannels || decoded->wBitsPerSample != wBitsPerSample)) {
        nChannels = decoded->nChannels;
        wBitsPerSample = decoded->wBitsPerSample;
        CalcBlockAlignNAvgBytesPerSec();
        Validate();
      }
      if (wBitsPerSample != 8 && wBitsPerSample != 16) {
        wBitsPerSample = 16;
        CalcBlockAlignNAvgBytesPerSec();
        Validate();
      }
      if (decoder) {
        bitrate = static_cast<uint32_t>(DecoderBestBitrate(decoder) / 1000);
        unsigned long frequency = DecoderFrequency(decoder);
        if (frequency && nSamplesPerSec != frequency) {
          nSamplesPerSec = static_cast<uint32_t>(frequency);
          Validate();
        }
      } else {
        bitrate = 0;
      }
      tagType = info ? info->tagType : 0;
      if (w) w->MakeMostNaturalFormatCallback(this, source, decoder);
      if (soundQuality == SOUND_QUALITY_USER_MAXIMUMS) {
        nChannels = std::min(nChannels, settings.nChannels);
        nSamplesPerSec = std::min(nSamplesPerSec, settings.nSamplesPerSec);
        wBitsPerSample = std::min(wBitsPerSample, settings.wBitsPerSample);
        if (w) w->UserMaximumsCallback(this, &settings);
      }
      ValidateEx(w);
    }
    privateBit = user->privateBit;
    copyrightBit = user->copyrightBit;
    originalBit = user->originalBit;
    crc = user->crc;
  }
  if (info && info->copyrighted) copyrightBit = info->copyrighted;
  GetRidOfConvFObj(w, writer);
}
